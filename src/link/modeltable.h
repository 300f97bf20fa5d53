#pragma once

#include "link/frame.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace ondrel {

// A device never names itself: b15 of every report carries 100 x channel + model code, and the
// model table turns the code into ranges, wire scales and the panel's modes. These are pure
// functions; the slot applies their answers to its panel, grid, menus and graph.

// Model parameters of one slot. MinCurrent..CvCutoff are reset before every table lookup; the
// maximums keep their value for codes without a row.
struct ModelParams {
  qint16 ModelCode = 0; // 0 = no device
  float MaxCurrent = 0.0f;
  float MinCurrent = 0.1f;
  float MaxVoltage = 0.0f;
  float MinVoltage = 0.8f;
  qint16 CurDiv = 100; // wire units per ampere
  qint16 VolDiv = 100; // wire units per volt
  qint16 PwrDiv = 1;   // wire units per watt
  qint16 LastDischargeMode = 0;
  qint16 CvModeNo = 0;
  bool CvCutoff = false; // the constant-voltage charge ends on a cutoff current
  bool HasTemp = false;
  qint16 FwVersion = 0; // 302 means 3.02
  friend bool operator==(const ModelParams&, const ModelParams&) = default;
};

// Panel tab keys: "key1" Single Test, "key2" Auto Test, "key3" Cycle Test.
struct ModelLayout {
  QStringList modes;           // mode numbers are indices into this list
  QStringList tabs;            // keys, added at positions 1, 2, 3
  bool resistanceMenu = false; // "Resistance Test" shown, else hidden
  bool HasTemp = false;
  bool twoChannels = false; // Dev2S
  bool usbMenu = false;     // "Quick Charger Test" shown (never hidden by identification)
  QString currentAxisCaption = QStringLiteral("[A]");
  friend bool operator==(const ModelLayout&, const ModelLayout&) = default;
};

// Mode list, tabs and menus of a model code (the fallback for codes without a row).
ModelLayout modelLayout(int code);

// The defaults set before every table lookup, then the code's row. `fwVersion` picks the row of
// code 26. Returns the name the grid shows, or nullopt where none is written (codes 5, 6, 20 and 25
// are named by their info reports; unknown codes keep the previous name).
struct ModelLookup {
  ModelParams params;
  std::optional<QString> name;
};
ModelLookup lookupModel(const ModelParams& previous, int code);

// Name of codes 5, 6, 20 and 25 by firmware version; nullopt for other codes.
std::optional<QString> infoReportName(int code, int fwVersion);

int reportModelCode(const RecBody& body); // b15 mod 100
int reportChannel(const RecBody& body);   // b15 div 100

// What an ordinary or info report means for a slot that is connecting.
struct Identification {
  // Model code 0, or a channel digit other than 0 and 1: ignore the report and the rest of the
  // bytes read in this tick.
  bool ignored = false;
  int channel = 0;
  // Stop the connect timer (and enable "Add Device" when fewer than 10 slots are in use). A
  // two-channel model waits for a report of channel 1.
  bool connected = false;
  QString currentAxisCaption; // the slot graph's current axis unit (AxesY1Txt)
  bool Dev2S = false;
  // Mode list and tabs to rebuild; nullopt leaves them (channel 1 of a two-channel model).
  std::optional<QStringList> modes;
  std::optional<QStringList> tabs;
  bool resistanceMenu = false; // show (true) or hide (false) "Resistance Test"
  bool showUsbMenu = false;    // show "Quick Charger Test"
  bool showTempMenu = false;   // show "Temprature Data"
  bool rebuildTwoChannelLegends = false;
  bool initAutoPage = false;   // channel 0 initialises the slot's automatic test
  std::optional<QString> name; // grid row 1, column 0
  ModelParams params;          // ModelCode, HasTemp and the table row applied
};
Identification identifyReport(const RecBody& body, const ModelParams& current);

// The firmware version of an info report (b9, b10); a Failure ("Overflow") beyond 16 bits.
qint16 reportFirmwareVersion(const RecBody& body);
// An info report's version and ranges: FwVersion, MaxVoltage = b11,b12 / VolDiv and
// MaxCurrent = b13,b14 / CurDiv.
void takeInfoRanges(ModelParams& params, const RecBody& body);

// What an info report (b0 >= 100) means for a slot, connecting or not. `panelModes` is the
// panel's current mode list. Throws Failure("Overflow") for a firmware version beyond 16 bits.
struct InfoReport {
  ModelParams params; // FwVersion, MaxVoltage, MaxCurrent and perhaps MinCurrent updated
  // A replacement mode list: reselect the channel's current mode number afterwards.
  std::optional<QStringList> modes;
  std::optional<QString> name;
};
InfoReport infoReport(const RecBody& body, const ModelParams& current,
                      const QStringList& panelModes);

} // namespace ondrel
