#pragma once

#include "link/modeltable.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace ondrel {

// The recording file of a running channel ("<RecPath>.bak"): a short header and one line per
// accepted sample, TAB-separated, CR LF line ends. It lets an interrupted test be continued.

inline constexpr char kRecordingTitleLine[] = "-----------Ondrel Tester Software------------";
inline constexpr char kDataTitleLine[] = "-----------Ondrel Tester Software-----------";
// The 41-character banner that names the maker's site in both file kinds.
inline constexpr char kBannerLine[] = "-------------www.ondrel.com--------------";

// Column headings: "Time(S)", "Cur(A)" (or "Cur(mA)" for models that head currents in mA, without
// temperature), "Vol(V)" and, with temperature shown, "Temp(C)".
QStringList columnHeadings(bool withTemperature, const ModelCaps& caps);

// Base path (no extension) of a channel's recording: "<folder>/ondrel-<device>-<port>-<s>-<c>".
QString recordingBasePath(const QString& folder, const QString& deviceName, const QString& port,
                          int slot, int channel);

// Header lines 1 to 6.
QStringList recordingHeader(const QString& device, const QString& mode, const QString& beginVolt,
                            bool withTemperature, const ModelCaps& caps);

// One sample line: TestSec, current ("00.00" with CurDiv 100 else "0.000"), voltage "0.000",
// and the temperature "0.0" when shown.
QString recordingLine(qint32 testSec, float cur, float volt, std::optional<float> temp, int curDiv);

// Creates "<basePath>.bak" anew with the header; appends one line. Both open, write and close
// the file in the one call and throw Failure when the file cannot be written completely.
void createRecordingFile(const QString& basePath, const QStringList& header);
// A file may end inside a line cut short by a crash: the line appended then starts a line of its
// own. `endsWithWholeLine` says the caller knows better (its own last append to this file went
// through), and the file's last byte is not read.
void appendRecordingLine(const QString& basePath, const QString& line,
                         bool endsWithWholeLine = false);

// The line appended when a test ends normally, "End:2026-12-10 14:03:05" (local time). It is no
// sample line, so the file shows a finished test that must not be continued by itself.
QString recordingEndLine(const QDateTime& when);
void appendRecordingEnd(const QString& basePath, const QDateTime& when);
// Moves a recording to the name of a device that was named after it began, and writes the new
// name into its header. Throws Failure when it cannot; the old file then stays.
void renameRecording(const QString& fromBase, const QString& toBase, const QString& device);

// What a sound sample line may hold. Values beyond these are no reading of any device this
// program drives, and within them a test's charge and energy sums stay far inside 64 bits.
inline constexpr qint32 kMaxRecordingSeconds = 315'360'000; // ten years of test time
inline constexpr double kMaxRecordingCurrent = 1000.0;      // A, whatever unit the file uses
inline constexpr double kMaxRecordingVoltage = 1000.0;      // V

struct RecordingSample {
  qint32 time;    // TestSec
  double current; // as written: A, or mA in a "Cur(mA)" file
  double voltage;
};

// A recording as read back by Continue.
struct RecordingContent {
  std::optional<QString> device, mode, beginVolt; // header values with at least two characters
  bool currentInMilliamps = false;                // the column line reads "Cur(mA)"
  std::vector<RecordingSample> samples;           // the sound sample lines, in file order
  bool endedNormally = false;                     // the last non-empty line is an end line
  int skippedLines = 0;                           // sample lines that were not sound
};

// Reads a recording's bytes, CR LF or LF lines. Header lines "Device:", "Mode:", "Begin Volt:"
// give their values; the first column line decides the current's unit; a line starting with a
// digit is a sample "time TAB current TAB voltage [TAB temperature]", sound when the time is a
// whole number of seconds up to kMaxRecordingSeconds and not below the previous sound sample's,
// current and voltage are plain non-negative decimals within their bounds, and the line ends
// with a line end (the writer writes whole lines, so a last line without one was cut short).
// Unsound sample lines are counted and skipped; they never end the reading. Anything else, the
// temperature column too, is ignored.
RecordingContent parseRecording(const QByteArray& bytes);

// Reads "<basePath>.bak": nothing when there is no such file; Failure when it cannot be read.
std::optional<RecordingContent> readRecording(const QString& basePath);

} // namespace ondrel
