#pragma once

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

} // namespace ondrel
