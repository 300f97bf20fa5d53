#pragma once

#include "data/channeldata.h"
#include "link/modeltable.h"

#include <QString>

#include <array>
#include <utility>

namespace ondrel {

// The arithmetic of a channel's live update, free of widgets: which samples are accepted, the
// pictures of the readouts, the texts of the result grid and the fitting of the graph's axes.

// A sample is accepted when Volt <= MaxVoltage, Cur <= MaxCurrent and Temp <= 100.
bool sampleAccepted(const ChannelData& ch, const ModelParams& params);
// The log tag of a rejected sample: "ErrData" & slot & " " & Volt & "-" & MaxVoltage & " " &
// Cur & "-" & MaxCurrent, numbers in their shortest form.
QString rejectedSampleTag(int slot, const ChannelData& ch, const ModelParams& params);
// The log tag of any other failure of the update: "ErrData" & slot & " " & Volt & " " & Cur &
// " " & Temp.
QString failedUpdateTag(int slot, const ChannelData& ch);

// Shortest text that reads back as the same float ("4.49", "12", "0.1").
QString shortestText(float value);

QString voltagePicture(float volt, const ModelParams& params);
QString currentPicture(float cur, const ModelParams& params);
QString powerPicture(float pwr);
// The picture of current values on curves and in files: "0.00" with CurDiv 100, else "0.000".
QString curveCurrentPicture(const ModelParams& params);

// "9500mAh" below 10 Ah, else "10.00Ah"; the same for energy in mWh/Wh. A model that counts in
// milliamperes has its capacity in mAh and its energy in mWh already: "0.999mAh" below 10, else
// "12.50mAh".
QString capacityText(float cap, const ModelCaps& caps);
QString energyText(float energy, const ModelCaps& caps);
// The texts of a capacity in mAh and an energy in mWh of a milliampere model.
QString milliampHourText(double mAh);
QString milliwattHourText(double mWh);

// hh:mm:ss with hours not wrapped (100:00:00 after a hundred hours).
QString testTimeText(qint32 testSec);
// A single-channel test tells the device the elapsed time once a minute.
bool sendsElapsedTime(qint32 testSec);

// Running extremes of the graph's three Y axes (0 voltage, 1 current, 2 third value).
struct AxisExtremes {
  std::array<float, 3> max{};
  std::array<float, 3> min{};
  bool unset(int axis) const { return max[axis] == 0.0f && min[axis] == 0.0f; }
};
// Widens one axis for a new value: margin and threshold are 0.1 for voltage and current, 1 for
// the third value. A value at or below the threshold pins the minimum to 0.
void widenAxis(AxisExtremes& axes, int axis, float value);

// The visible X range keeps between 5 and 30 seconds of room after the curve end.
double fitMaxX(double maxX, qint32 curveEnd);
// Voltage and current ranges widened to whole steps; the current step is 0.5 A, or 0.05 A for
// models with fine current steps.
std::pair<double, double> fitVoltageRange(float min, float max);
std::pair<double, double> fitCurrentRange(float min, float max, const ModelCaps& caps);

// The average voltage of the test so far, or a negative number when no point belongs to it.
double averageVoltage(const ChannelData& ch, qint32 voltagePoints);
// Energy := max(Energy, average x Cap): it never decreases during a test.
void growEnergy(ChannelData& ch, double average);
// The USB meter's capacity, integrated on the PC in whole seconds.
void integrateMeterCapacity(ChannelData& ch);

// The meter window's D+ or D- readout: the voltage in "0.000", or "-.---" while the USB trigger
// window is open, as a charger's negotiation drives the data lines then.
QString dataLineText(float volts, bool usbWinOpen);

// Info list rows.
QString runStateRow(const QString& who, int number, bool running); // "Device1: START "
QString temperatureRow(int slot, float temp);                      // "Temp1: 25.0 ℃ "
QString versionText(qint16 fwVersion);                             // "V3.20", "" for 0

} // namespace ondrel
