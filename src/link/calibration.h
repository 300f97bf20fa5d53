#pragma once

#include "link/modeltable.h"

#include <QString>

#include <optional>

namespace ondrel {

// Calibration: the user types what a reference instrument measures, and it goes to the device as
// one of four points. The device does the arithmetic; these are the PC's checks and units.

enum class CalibPoint : int {
  LowVolt = 0,
  HighVolt = 1,
  LowCurr = 2,
  HighCurr = 3,
  Keep = 4,  // "OK": the device keeps its new calibration
  Reset = 5, // the device returns to its defaults
};

inline bool isVoltagePoint(CalibPoint p) {
  return p == CalibPoint::LowVolt || p == CalibPoint::HighVolt;
}

inline constexpr QStringView kCalibVoltPicture = u"0.000";
// The current boxes' picture for a current scale: two decimals at 100 units per ampere, three at
// 1000, four otherwise.
QString calibCurrentPicture(float scale);

// A box left by the user: the message to show (focus then returns to the box), else the text in
// the box's picture.
struct CalibBoxCheck {
  std::optional<QString> message;
  QString text;
};
CalibBoxCheck checkCalibBox(const QString& text, float most, QStringView picture);

// A "Calibration" button: the value to send, or the message. The typed value must be a number
// from 0 to `most` and within 10 % of what the panel shows (`shown`); its value in device units
// (x 1000 for volts, x the current scale for amperes) must fit the frame's pair, whose high byte
// would otherwise reach the frame delimiters.
struct CalibValue {
  std::optional<QString> message;
  int value = 0;
};
CalibValue calibrationValue(const QString& text, float most, const QString& shown, float scale);

} // namespace ondrel
