#pragma once

#include "link/frame.h"
#include "link/modeltable.h"

namespace ondrel {

// The fields of a report body that say what the report is: b0 = 100 x info + 10 x state + mode,
// b15 = 100 x channel + model code.
struct ReportFields {
  int info = 0;    // 1 marks an info report: b9..b14 carry version and ranges
  int state = 0;   // 1 and 2 mean the channel runs a test
  int mode = 0;    // index into the panel's mode list
  int channel = 0; // 0 or 1
  int modelCode = 0;
  bool running() const { return state == 1 || state == 2; }
};
ReportFields reportFields(const RecBody& body);

// Live values in the device's units. Products are taken in double and stored as float, as the
// device's values are single-precision.
float decodeCurrent(const RecBody& body, const ModelParams& params);
// The meter current with four decimals: only for models whose CurDiv is not 100.
bool hasMeterCurrent(const ModelParams& params);
float decodeMeterCurrent(const RecBody& body);
float decodeVoltage(const RecBody& body);
// The capacity the device counted (Ah), without any continue offset.
float decodeCapacity(const RecBody& body);
// Temperature in °C; 0 on two-channel panels and for a USB meter.
float decodeTemperature(const RecBody& body, bool dev2S, const ModelCaps& caps);
// USB data-line voltages of a USB meter: b5,b6 and b7,b8 in mV.
float decodeDPlus(const RecBody& body);
float decodeDMinus(const RecBody& body);
// The resistance test's voltage drop, read from the capacity field in mV.
float decodeResistanceDrop(const RecBody& body);

// The parameter echo b9..b14 of a non-info report.
struct ParamEchoValues {
  qint32 SetRaw = 0;
  qint32 LimitRaw = 0;
  qint32 TimeRaw = 0;
};
ParamEchoValues decodeParams(const RecBody& body);

} // namespace ondrel
