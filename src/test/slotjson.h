#pragma once

#include "test/slotmodel.h"

#include <QJsonObject>
#include <QString>

namespace ondrel {

// A slot's values as JSON, for the command-line runner's lines and the telemetry's messages:
// numbers as numbers, currents in amperes, capacity in Ah and energy in Wh on every model.

// The firmware version as the device names it: 302 -> "3.02".
QString firmwareText(const ModelParams& params);
// "running" or "idle".
QString runState(const SlotModel& m, int c);
// A value rounded to `decimals`, so that a JSON line reads 3.912, not 3.91199994.
double jsonNumber(double v, int decimals);
// 0.001 on models that count in mA, mAh and mWh, else 1.
double toBaseUnits(const SlotModel& m);

// {"port","channel","t","state","mode","v","a","w","ah","wh"[,"temp_c"]}
QJsonObject sampleObject(const SlotModel& m, int c);
// {"event":"identified","port","model","firmware","channels","modes",...ranges}
QJsonObject identifiedObject(const SlotModel& m);
// {"event":"started","port","channel","model","mode","set","limit","time"}: the channel's values
// as its boxes hold them.
QJsonObject startedObject(const SlotModel& m, int c, const QString& mode);
// {"event":"ended","port","channel","reason","t","capacity_ah","energy_wh","data_file"}: the data
// file is null when none was written.
QJsonObject endedObject(const SlotModel& m, int c, const QString& reason, const QString& dataFile);

} // namespace ondrel
