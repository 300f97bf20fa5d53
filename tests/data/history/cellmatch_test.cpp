#include "history/cellmatch.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QStringList>

using namespace ondrel;

namespace {
std::vector<MatchCell> cellsOf(std::initializer_list<double> caps) {
  std::vector<MatchCell> cells;
  int n = 0;
  for (double c : caps)
    cells.push_back({QStringLiteral("c%1").arg(++n), c, 30.0 + n, n});
  return cells;
}
} // namespace

TEST(CellMatch, FindsTheKnownBestPacks) {
  struct Case {
    const char* what;
    std::vector<MatchCell> cells;
    int s, p;
    double spreadMah;
    size_t leftOver;
  };
  const std::vector<Case> cases{
      {"2S2P pairs big with small", cellsOf({1.0, 2.0, 3.0, 4.0}), 2, 2, 0.0, 0},
      {"3S1P takes the three closest", cellsOf({1.0, 2.0, 2.1, 2.05, 3.0}), 3, 1, 100.0, 2},
      {"2S3P balances exactly", cellsOf({3.0, 2.9, 2.8, 2.7, 2.6, 2.4}), 2, 3, 0.0, 0},
      {"2S2P from six leaves the odd ones", cellsOf({2.0, 2.0, 2.5, 2.5, 9.0, 0.1}), 2, 2, 0.0, 2},
  };
  for (const Case& k : cases) {
    const MatchResult r = matchCells(k.cells, k.s, k.p);
    ASSERT_TRUE(r.problem.isEmpty()) << k.what;
    ASSERT_EQ(r.groups.size(), size_t(k.s)) << k.what;
    for (const auto& g : r.groups)
      EXPECT_EQ(g.cells.size(), size_t(k.p)) << k.what;
    EXPECT_NEAR(r.spreadMah, k.spreadMah, 1e-6) << k.what;
    EXPECT_EQ(r.leftOver.size(), k.leftOver) << k.what;
  }
}

TEST(CellMatch, ResistanceDecidesBetweenEqualCapacities) {
  // Two ways to reach equal groups; only one also evens the resistances.
  std::vector<MatchCell> cells{{"a", 2.0, 20.0, 1}, {"b", 2.0, 60.0, 2}, {"c", 2.0, 20.0, 3},
                               {"d", 2.0, 60.0, 4}};
  const MatchResult r = matchCells(cells, 2, 2);
  EXPECT_NEAR(r.spreadMah, 0.0, 1e-9);
  EXPECT_NEAR(r.resistanceSpreadMohm, 0.0, 1e-9);
}

TEST(CellMatch, NeverWorseThanPlainSortingAndUsesEachCellOnce) {
  QRandomGenerator rng(31);
  for (int round = 0; round < 40; ++round) {
    const int s = 1 + int(rng.bounded(6)), p = 1 + int(rng.bounded(4));
    const int n = s * p + int(rng.bounded(8));
    std::vector<MatchCell> cells;
    for (int i = 0; i < n; ++i)
      cells.push_back({QString::number(i), 2.5 + rng.bounded(0.6), 20 + rng.bounded(30.0), i});
    const MatchResult r = matchCells(cells, s, p);
    const MatchResult plain = sortedAssignment(cells, s, p);
    EXPECT_LE(r.spreadMah, plain.spreadMah + 1e-9) << s << "S" << p << "P of " << n;
    std::vector<int> seen;
    for (const auto& g : r.groups)
      seen.insert(seen.end(), g.cells.begin(), g.cells.end());
    seen.insert(seen.end(), r.leftOver.begin(), r.leftOver.end());
    std::sort(seen.begin(), seen.end());
    ASSERT_EQ(seen.size(), size_t(n));
    for (int i = 0; i < n; ++i)
      EXPECT_EQ(seen[size_t(i)], i);
  }
}

TEST(CellMatch, RefusesTooFewCellsAndWritesTheAssignment) {
  EXPECT_FALSE(matchCells(cellsOf({1, 2, 3}), 2, 2).problem.isEmpty());
  EXPECT_FALSE(matchCells(cellsOf({1, 2, 3}), 0, 2).problem.isEmpty());
  const auto cells = cellsOf({2.0, 2.0, 1.0});
  const QStringList lines = matchCsv(cells, matchCells(cells, 2, 1)).split(QStringLiteral("\r\n"));
  EXPECT_EQ(lines[0], QStringLiteral("Group,Cell,Capacity(Ah),Resistance(mOhm),Group Capacity(Ah),Group Resistance(mOhm)"));
  EXPECT_TRUE(lines[1].startsWith(QStringLiteral("1,c")));
  EXPECT_TRUE(lines[3].startsWith(QStringLiteral(",c3,1.0000")));
}
