#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

namespace ondrel {

// A parameter file (".cfg") keeps what the user typed on a slot's panel, and the graph's title,
// so that the test can be set up again on a device of the same model. Seven lines: the title
// line, "D:" device name, "T:" graph title, "S:" set value, "L:" limit, "M:" the panel's time
// readout, the banner. Values stand as the panel shows them, from the third character on.

inline constexpr char kParameterTitleLine[] = "---------Ondrel Tester Software--------";

struct ParameterFileValues {
  QString device; // the model name in the result grid
  QString title;  // the graph's title
  QString sval, slmt, time;
};

QStringList parameterFileLines(const ParameterFileValues& values);

// The proposed name: Y-M-D-h-m-s-device, the device name made safe for a file name.
QString parameterFileStem(const QDateTime& when, const QString& device);

enum class ParameterKey { Title, Sval, Slmt, Time };

// One line of an opened file that asks for a value.
struct ParameterSetting {
  ParameterKey key;
  QString value; // a number's text stands trimmed; a title as it is
  int line = 0;  // 1-based, for telling the user which line was refused
  QString text;  // the whole line
  friend bool operator==(const ParameterSetting&, const ParameterSetting&) = default;
};

struct ParameterFileContent {
  bool deviceMatched = false;
  // After the first "D:" line naming `device`, in file order: every "T:" line, and the "S:",
  // "L:" and "M:" lines whose value is a number. Nothing before the match.
  std::vector<ParameterSetting> settings;
};

// Reads a parameter file's bytes for a slot whose device is `device`. The first line is skipped
// whatever it holds, and so is every line of three characters or fewer; lines end in LF or
// CR LF and read as UTF-8, or GBK when they are not. Until a line "D:" + `device` (exact) is
// found, no other line counts; later "D:" lines are ignored.
ParameterFileContent parseParameterFile(const QByteArray& bytes, const QString& device);

} // namespace ondrel
