#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

namespace ondrel {

// Reading a data file for the data viewer, and the viewer's axis arithmetic. No widgets: the
// viewer window (data/ui/frmdata.h) shows what these compute.

// Grid columns of the viewer: the seven result headings and "Title".
inline constexpr int kViewerColumns = 8;
extern const std::array<const char*, kViewerColumns> kViewerHeadings;
// The "Title" column, the one the user names.
constexpr int kTitleColumn = kViewerColumns - 1;

// "," when the name ends in "csv" (any case of the whole ending: "csv" or "CSV"), else TAB.
char viewerSeparator(const QString& fileName);

// Longest line the reader looks at; a longer one is skipped as junk, so one huge line cannot
// stall the window.
inline constexpr qsizetype kViewerMaxLine = 64 * 1024;

// One file as the viewer draws it.
struct ViewerFile {
  std::array<QString, kViewerColumns> cells; // grid row: header values, computed ones filled in
  bool deviceSeen = false;                   // a "Device" line was read
  bool smallCurrent = false;                 // ... and the last one named "KL-18"
  // Per data line: time (s), X (time, or mAh with VolCap), voltage (V), current (A), and the
  // running capacity (Ah) and energy (Wh), both rounded to three decimals.
  std::vector<float> t, x, volt, cur, capAh, energyWh;
  double capAcc = 0;  // mA·s, 64-bit: long tests pass what a 32-bit sum can hold
  double voltSum = 0; // V
  double average = 0; // V, two decimals
  QString problem;    // why the file cannot be shown; empty when it can
};

// Reads a data file's bytes: header lines into the grid row, data lines into points. A file that
// is no text, or has no data line, gets its `problem` and no points. `volCap`: X is the capacity
// in mAh. Currents of a "Cur(mA)" file are taken in amperes; its capacity and energy are shown in
// mAh and mWh with decimals, and its result lines as older versions wrote them (the device's mAh
// taken for Ah, so 1000 times too large) are read in those units.
ViewerFile readViewerFile(const QByteArray& bytes, char separator, bool volCap);

// The running extremes over every file shown.
struct ViewerExtremes {
  float VMax = 0, VMin = 0, CMax = 0, CMin = 0;
  qint32 XMax = 0;
};
// The extremes after one more point (AddViewerPoint's arithmetic).
void addViewerPoint(ViewerExtremes& e, float x, float volt, float cur);

// Axis ranges from the extremes (FitViewerAxes): spans made multiples of 0.5 V and of the current
// step (0.05 A for a small-current device, else 0.5 A).
struct ViewerAxes {
  double vLow = 0, vHigh = 0, cLow = 0, cHigh = 0;
  qint32 xMax = 0;
};
ViewerAxes fitViewerAxes(const ViewerExtremes& e, bool smallCurrent);

} // namespace ondrel
