#pragma once

namespace ondrel {

// Names for the places of a slot's curves, result grid and info list, so that no caller counts
// columns or curve blocks by hand.

// A graph keeps five curves per channel (and the data viewer five per file).
enum class Curve : int {
  Voltage = 0,  // Y axis 0
  Current = 1,  // Y axis 1
  Third = 2,    // temperature or power, Y axis 2
  Capacity = 3, // Ah, never drawn; the cursor readout uses it
  Energy = 4,   // Wh, never drawn
};
inline constexpr int kCurvesPerChannel = 5;
constexpr int curveIndex(int channel, Curve k) {
  return channel * kCurvesPerChannel + static_cast<int>(k);
}

// Columns of the result grid `gridRun`; row 0 holds the headings, row channel + 1 the channel.
enum GridColumn : int {
  colDevice = 0,
  colMode = 1,
  colBeginVolt = 2,
  colCutoffVolt = 3,
  colCapacity = 4,
  colEnergy = 5,
  colAvgVolt = 6,
  colVoltSwatch = 7,
  colCurSwatch = 8,
};
inline constexpr int kGridColumns = 9;
constexpr int gridRow(int channel) {
  return channel + 1;
}

// What a press on a result-grid cell picks as a curve colour swatch: the channel and its voltage
// or current curve. Only the swatch columns of a channel's own row count: the heading row and the
// second row of a one-channel slot name no curve.
struct SwatchTarget {
  int channel = -1; // -1: the cell is no swatch
  Curve curve = Curve::Voltage;
  constexpr bool valid() const { return channel >= 0; }
};
constexpr SwatchTarget swatchAt(int row, int column, bool twoChannel) {
  const int channel = row - 1;
  if (channel < 0 || channel > (twoChannel ? 1 : 0))
    return {};
  if (column == colVoltSwatch)
    return {channel, Curve::Voltage};
  if (column == colCurSwatch)
    return {channel, Curve::Current};
  return {};
}

// Rows of the info list `lstInfo`.
enum InfoRow : int {
  infoClock = 0,     // date, time and firmware version
  infoRunState1 = 1, // "Device1: START" or "Channel1: ..."
  infoRunState2 = 2, // "Channel2: ..." or the temperature of a one-channel device
  infoMonitor1 = 3,  // monitor line of channel 0 (also: a monitor runs on that channel)
  infoMonitor2 = 4,
};
inline constexpr int kInfoRows = 5;
constexpr int infoMonitorRow(int channel) {
  return infoMonitor1 + channel;
}

} // namespace ondrel
