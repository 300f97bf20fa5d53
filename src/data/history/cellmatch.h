#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace ondrel {

// Building a pack of S groups in series, each of P cells in parallel, from tested cells: the
// groups' capacities as equal as possible, their resistances as a second key.

struct MatchCell {
  QString name;                   // the label (or whatever names the cell to the user)
  double capacityAh = 0;
  std::optional<double> resistanceMohm;
  qint64 id = 0;                  // the catalogue row
};

struct MatchGroup {
  std::vector<int> cells; // indices into the input
  double capacityAh = 0;  // the parallel cells' sum
  std::optional<double> resistanceMohm; // the parallel cells' resistance, when all have one
};

struct MatchResult {
  std::vector<MatchGroup> groups; // S groups
  std::vector<int> leftOver;      // cells not used
  double spreadMah = 0;           // strongest group's capacity minus the weakest's
  double spreadPercent = 0;       // ... as a share of the weakest group's
  double resistanceSpreadMohm = 0;
  QString problem;                // why no pack can be built (too few cells, S or P below 1)
};

// The assignment. Small selections are searched exhaustively (the best there is); larger ones
// start from several orders and improve by swapping cells between groups, and the result is never
// worse than taking the strongest S×P cells in sorted order.
MatchResult matchCells(const std::vector<MatchCell>& cells, int series, int parallel);

// The plain sorted assignment the search must beat: the S×P cells of most capacity, P neighbours a
// group.
MatchResult sortedAssignment(const std::vector<MatchCell>& cells, int series, int parallel);

// The assignment as CSV: one line per cell (group, name, capacity, resistance), then the cells
// left over (group empty).
QString matchCsv(const std::vector<MatchCell>& cells, const MatchResult& result);

} // namespace ondrel
