#pragma once

#include "data/preferences.h"
#include "data/support/ini.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace ondrel {

// The settings file "ondrel.ini": its keys, their defaults, how each is read at start-up and the
// texts each is written as.

// A key of the settings file with the text its default would be written as.
struct SettingsKey {
  const char* section;
  const char* key;
  const char* defaultText;
};

namespace settings {
inline constexpr SettingsKey LANG{"LANGUAGE", "LANG", "0"};
inline constexpr SettingsKey SAVE{"AUTO", "SAVE", "False"};
inline constexpr SettingsKey MSG{"AUTO", "MSG", "False"};
inline constexpr SettingsKey HIDE{"AUTO", "HIDE", "False"};
inline constexpr SettingsKey DISP{"AUTO", "DISP", "False"};
inline constexpr SettingsKey CSV{"AUTO", "CSV", "True"};
inline constexpr SettingsKey TEMP{"AUTO", "TEMP", "False"};
inline constexpr SettingsKey BDF{"AUTO", "BDF", "False"};
inline constexpr SettingsKey VCOL0{"DATA", "VCOL0", "16711680"};
inline constexpr SettingsKey CCOL0{"DATA", "CCOL0", "255"};
inline constexpr SettingsKey VCOL1{"DATA", "VCOL1", "16711680"};
inline constexpr SettingsKey CCOL1{"DATA", "CCOL1", "255"};
inline constexpr SettingsKey PCOL{"DATA", "PCOL", "32896"};
inline constexpr SettingsKey TCOL{"DATA", "TCOL", "8421504"};
inline constexpr SettingsKey MDOT{"DATA", "MDOT", "0"};
inline constexpr SettingsKey SDOT{"DATA", "SDOT", "1"};
inline constexpr SettingsKey BCOL{"DATA", "BCOL", "16777215"};
inline constexpr SettingsKey GCOL{"DATA", "GCOL", "8421504"};
inline constexpr SettingsKey ACOL{"DATA", "ACOL", "0"};
inline constexpr SettingsKey LINE{"DATA", "LINE", "2"};
inline constexpr SettingsKey SLA{"DATA", "SLA", "0"};
inline constexpr SettingsKey SCALE{"DATA", "SCALE", "1"};
inline constexpr SettingsKey XTIME{"DATA", "XTIME", "True"};
inline constexpr SettingsKey SAH{"DATA", "SAH", "0"};
inline constexpr SettingsKey SWH{"DATA", "SWH", "0"};
inline constexpr SettingsKey VY0{"CURVE", "VY0", "0"};
inline constexpr SettingsKey VY1{"CURVE", "VY1", "20"};
inline constexpr SettingsKey CY0{"CURVE", "CY0", "0"};
inline constexpr SettingsKey CY1{"CURVE", "CY1", "10"};
inline constexpr SettingsKey CT0{"CURVE", "CT0", "0"};
inline constexpr SettingsKey CT1{"CURVE", "CT1", "100"};
// "PORT" & (slot + 1) of section "COMM", default "2".
SettingsKey port(int slot);
} // namespace settings

// The comment line a new settings file holds.
inline constexpr char kSettingsFileComment[] = ";--------Ondrel Config File----------";

// A closed range of an axis.
struct AxisRange {
  double low = 0;
  double high = 0;
  friend bool operator==(const AxisRange&, const AxisRange&) = default;
};

// The configured ranges of a slot's graph. An empty one leaves the graph's own range (limits out
// of bounds or too close together at start-up).
struct AxisRanges {
  std::optional<AxisRange> volt; // Y axis 0
  std::optional<AxisRange> cur;  // Y axis 1
  std::optional<AxisRange> time; // X axis, whole seconds
};

// What start-up takes from the settings file.
struct StartupSettings {
  int LANG = 0;
  Preferences prefs;
  AxisRanges ranges;
  // "SECTION/KEY: value" for every value that was unusable and replaced by its default.
  QStringList problems;
};

// Reads every start-up key of the settings text (each value cut to 254 characters, a missing or
// empty value giving the default). Never fails: unusable values take their defaults and are
// listed in `problems`.
StartupSettings readStartupSettings(const IniDocument& ini);

// The texts the keys are written as.
inline QString boolText(bool on) {
  return on ? QStringLiteral("True") : QStringLiteral("False");
}
inline QString checkText(bool ticked) {
  return ticked ? QStringLiteral("1") : QStringLiteral("0");
}
inline QString colourText(quint32 colour) {
  return QString::number(colour);
}

// Reads one key of the settings file (IniRead with the key's default).
QString readSetting(const QString& file, const SettingsKey& key);
// Writes one key of the settings file (IniWrite).
void writeSetting(const QString& file, const SettingsKey& key, const QString& value);

// ---- "Coordinate Settings" ------------------------------------------------------------------

enum class AxisBox { Voltage, Current, Time };

// The verdict on one box of the coordinate dialog when it is left: an empty message and the box's
// reformatted text ("0.0" for voltage and current, "0" for time), or the message to show (the
// focus then stays in the box).
struct BoxCheck {
  QString message;
  QString text;
};
BoxCheck checkCoordinateBox(AxisBox box, const QString& text);

// The six boxes of the coordinate dialog.
struct CoordinateTexts {
  QString voltLow, voltHigh, curLow, curHigh, timeLow, timeHigh;
};
// The OK checks in their order: the first failure's message, or "" when all pass.
QString checkCoordinates(const CoordinateTexts& texts);

// The dialog's texts for a graph's ranges: "0.0" for volts and amperes, whole seconds for time.
CoordinateTexts coordinateTexts(double voltLow, double voltHigh, double curLow, double curHigh,
                                double timeLow, double timeHigh);

} // namespace ondrel
