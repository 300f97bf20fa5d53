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

struct DataFileContent {
  QStringList resultBlock; // "Device:KL-F2", "Mode:...", ... seven lines, or "*" step lines
  QString title;           // the graph's title
  bool withTemperature = false;
  ModelCaps caps;
  int curDiv = 100;
  bool csv = true;                   // "," separators, else TAB
  std::vector<DataFilePoint> points; // from the test's start point on
};

// The file's lines, without line ends.
QStringList dataFileLines(const DataFileContent& content);

// The automatic name stem: Y-M-D-h-m-s-device-slot-channel (1-based, no leading zeros), the
// device name made safe for a file name.
QString dataFileStem(const QDateTime& when, const QString& device, int slot, int channel);

// Writes the lines with CR LF, replacing any file at `path`. Throws Failure when it cannot.
void writeDataFile(const QString& path, const QStringList& lines);

} // namespace ondrel
