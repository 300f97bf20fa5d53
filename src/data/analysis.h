#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <span>
#include <vector>

namespace ondrel {

// One point of a differential-capacity curve: dQ/dV in Ah per volt at a voltage.
struct DqDvPoint {
  double volt = 0.0;
  double dqdv = 0.0;
};

// The differential capacity of one charge or discharge: capacity (Ah, growing through the test)
// against voltage. The voltage is made monotonic first (a running minimum on a discharge, a
// running maximum on a charge) so that measuring noise does not fold the curve back; capacity is
// then read at every `stepVolts` and differentiated, and the result smoothed over `smoothing`
// points (1: none). Plateaus of the voltage curve are the peaks, so a discharge's values are given
// as magnitudes. Fewer than three samples, or a voltage span below two steps, give no curve.
std::vector<DqDvPoint> dqdvCurve(std::span<const double> volt, std::span<const double> ah,
                                 double stepVolts = 0.005, int smoothing = 5);

// The voltage of the curve's highest point, if it has one.
std::optional<double> dqdvPeakVoltage(std::span<const DqDvPoint> curve);

// The capacity (Ah) at which the test first reached `target` volts, interpolated between the two
// samples around it; nothing when it never did.
std::optional<double> capacityAtVoltage(std::span<const double> volt, std::span<const double> ah,
                                        double target);

// One shown file as the analysis views take it: its name in the table, and its samples' voltage
// (V) and running capacity (Ah).
struct AnalysisFile {
  QString name;
  std::vector<double> volt, ah;
};

// A shown file's samples as the viewer keeps them (single precision) made an AnalysisFile: the
// values are rounded to a micro-unit, so that 4.200 read from a file is 4.2 again and a typed
// 4.2 V is found at its first sample rather than never.
AnalysisFile analysisFile(const QString& name, std::span<const float> volt,
                          std::span<const float> ah);

// The smoothing window the dQ/dV view uses for a typed number: 1..51 points, an even number
// taken as the next odd one so the window stays centred.
int smoothingPoints(int typed);

// Each file's dQ/dV curve with `smoothing` points (after smoothingPoints), in the files' order;
// a file too short to differentiate gets an empty curve.
std::vector<std::vector<DqDvPoint>> dqdvCurves(std::span<const AnalysisFile> files, int smoothing);

// The voltages typed for the capacity table, separated by spaces or semicolons; a decimal comma
// is taken as a point. Words that are no voltage (not a finite number above zero) are left out
// and returned in `rejected`; at most kMaxVoltages are kept, in the order typed.
struct VoltageList {
  static constexpr int kMaxVoltages = 20;
  std::vector<double> volts;
  QStringList rejected;
};
VoltageList parseVoltages(const QString& text);

// "Capacity at voltage": a heading row (the files' column, then each voltage in volts) and one
// row per file: its name, then the capacity in mAh at which it first reached each voltage, "-"
// when it never did.
struct AnalysisTable {
  QStringList headings;
  std::vector<QStringList> rows;
};
AnalysisTable analysisTable(std::span<const AnalysisFile> files, std::span<const double> volts);

} // namespace ondrel
