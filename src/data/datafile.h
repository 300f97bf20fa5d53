#pragma once

#include "link/modeltable.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

namespace ondrel {

// A data file written at the end of a test (or on command) from the points of a channel's
// curves: a header, then one line per point with the time counted from the test's start point.
struct DataFilePoint {
  float x = 0;       // curve time, seconds
  float current = 0; // as the curve holds it
  float voltage = 0;
  float temperature = 0;
};

// The headings of the result grid's columns 0 to 6, the keys of the file's result block.
inline constexpr const char* kResultHeadings[] = {"Device",   "Mode",   "Begin Volt", "Cutoff Volt",
                                                  "Capacity", "Energy", "Avg Volt"};

struct DataFileContent {
  QStringList resultValues; // the channel's grid texts of columns 0 to 6, with their units
  // The step result table's rows (heading row included), four cells each, of a step program's
  // curves: written as "*" lines instead of the result block when there are any.
  std::vector<QStringList> stepRows;
  QString title; // the graph's title
  bool withTemperature = false;
  ModelCaps caps;
  int curDiv = 100;
  bool csv = true;                   // "," separators, else TAB
  std::vector<DataFilePoint> points; // from the test's start point on
};

// The file's lines, without line ends.
QStringList dataFileLines(const DataFileContent& content);

// "csv" when the "CSV" preference is set, else "dat"; the save dialog's filter for it.
QString dataFileExtension(bool csv);
QString dataFileFilter(bool csv);

// "Y-M-D-h-m-s" of a moment, the parts as plain numbers without leading zeros.
QString dateTimeStem(const QDateTime& when);

// The automatic name stem: Y-M-D-h-m-s-device-slot-channel (1-based, no leading zeros), the
// device name made safe for a file name.
QString dataFileStem(const QDateTime& when, const QString& device, int slot, int channel);

// The extension rule of the save commands: `name` with "." + `extension` appended unless its
// last three characters are the extension already (compared case-sensitively).
QString withExtension(const QString& name, const QString& extension);

} // namespace ondrel
