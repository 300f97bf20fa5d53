#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace ondrel {

// What a data file from another program is, as far as its header row tells: which columns hold
// time, voltage and current (and capacity and temperature where present), their scales to
// seconds, volts, amperes and ampere-hours, the separator and whether numbers use a decimal comma.
struct ColumnMap {
  int time = -1, volt = -1, current = -1, capacity = -1, temp = -1;
  double timeScale = 1.0, voltScale = 1.0, currentScale = 1.0, capacityScale = 1.0;
  char separator = ',';
  bool decimalComma = false;
  // Empty when time, voltage and current were all found; else what was missing, in words.
  QStringList missing;
  bool usable() const { return missing.isEmpty(); }
};

// Reads a header row such as "Test Time / s,Voltage / V,Current / A" or
// "Test_Time(s);Current(mA);Voltage(V)": names are matched without regard to case, spacing or
// punctuation, units in "/ unit", "(unit)" or "[unit]" set the scales. `firstDataLine` (may be
// empty) helps tell a decimal comma from a separator.
ColumnMap mapColumns(const QByteArray& headerLine, const QByteArray& firstDataLine = {});

// One data line cut at the map's separator, numbers read with its decimal mark; a cell that is
// no number is NaN.
std::vector<double> splitNumbers(const QByteArray& line, const ColumnMap& map);

} // namespace ondrel
