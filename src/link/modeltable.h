#pragma once

#include "link/frame.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace ondrel {

// A device never names itself: b15 of every report carries 100 x channel + model code, and the
// model table turns the code into ranges, wire scales and the panel's modes. These are pure
// functions; the slot applies their answers to its panel, grid, menus and graph.

// How a start, adjust or continue frame carries the panel's three values in the device's modes.
enum class StartPacking : quint8 {
  AsTyped, // set value, limit and time as typed, in every mode
  // Mode 1 (D-CP) sets a power; mode 3 (the meter) carries neither set value nor limit.
  Load,
  PowerInMode1, // mode 1 (D-CP) sets a power
  // Mode 1 sets a power; modes 2 to 6 (battery chemistries) carry a cell count in place of the
  // limit; modes from 8 carry neither set value nor limit; modes 0 and 7 go as typed.
  Charger,
  ChargerCvMode2, // as Charger, but mode 2 is the constant-voltage charge and goes as typed
  CellCounts,     // modes 1 to 5 (battery chemistries) carry a cell count in place of the limit
};

// How the panel presents and checks the three parameter boxes of the model's modes.
enum class ParamGroup : quint8 {
  Other,            // discharge modes only: D-CC, and on some models D-CV in mode 1
  ClassicCharger,   // D-CC, five chemistries counted in cells (modes 1 to 5), C-CV in mode 6
  ChemistryCharger, // D-CC, D-CP, chemistries in cells (modes 2 to 6), C-CV 7, meter 8
  PowerCharger,     // D-CC, D-CP, C-CV
  CvCharger,        // D-CC, C-CV with a cutoff current
  MilliampCharger,  // D-CC, C-CV, currents in milliamperes
  Load,             // electronic loads: D-CC, D-CP, constant-voltage modes, meter
};

// What sets a model apart beyond its ranges and scales, from its row of the model table. Codes
// without a row have the defaults.
struct ModelCaps {
  StartPacking startPacking = StartPacking::AsTyped;
  // Two channels on one panel; the device is connected once channel 1 reports.
  bool twoChannels = false;
  // A USB meter: b5..b8 carry the data lines' voltages, not capacity and temperature, so the PC
  // counts the capacity itself; voltages below 10 V show three decimals; the quick-charge tests
  // are offered.
  bool usbMeter = false;
  bool fineLowVoltage = false;     // voltages below 4.5 V show three decimals
  bool currentInMilliamps = false; // files without temperature head the current "Cur(mA)"
  bool twoDecimalsFrom10A = false; // the current readout drops to two decimals from 10 A
  bool fineCurrentSteps = false;   // the graph's current axis is fitted in 0.05 A, not 0.5 A
  bool fineAutoCurrents = false;   // the auto test's currents and steps go by 0.01 A, not 0.1 A
  bool milliampAxis = false;       // the graph's current axis is captioned "[mA]"
  // Quirks of later firmware, which info reports may make known after identification: from this
  // version on (0 = never) currents arrive in tenths of a milliampere, and a continue is sent as
  // a start.
  int tenthMilliampsFromFw = 0;
  int continueAsStartFromFw = 0;
  // From this version on (0 = never) the meter mode feeds the USB meter window.
  int meterWindowFromFw = 0;
  ParamGroup paramGroup = ParamGroup::Other;
  bool fineSetCurrent = false;     // set currents and cutoff currents show three decimals
  bool cvLocksSetAndLimit = false; // the constant-voltage charge takes only its cutoff current
  bool meterAtIndexOne = false;    // mode 1 is the meter, not D-CP
  // Highest cell count of the chemistry modes 1 to 5 (0: not limited by the model).
  std::array<quint8, 5> maxCells{};
  // The model's name depends on its firmware version: it is known after the first info report.
  bool namedByInfoReport = false;
  // Calibration currents travel in tenfold CurDiv units: on every firmware, from a version on,
  // or on one version only (0 = not).
  bool calibCurrentTimes10 = false;
  int calibTimes10FromFw = 0;
  int calibTimes10AtFw = 0;
  friend bool operator==(const ModelCaps&, const ModelCaps&) = default;
};

// The capabilities of a model code.
ModelCaps modelCaps(int code);

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
  ModelCaps caps;       // of ModelCode, set with the table row
  friend bool operator==(const ModelParams&, const ModelParams&) = default;
};

// A typed number against one of the model's limits, compared in single precision as the limits
// are kept: "0.20" typed is the 0.2 minimum, though as a double it lies below it.
bool belowLimit(double typed, float limit);
bool aboveLimit(double typed, float limit);
bool withinLimits(double typed, float low, float high);

// The firmware-dependent quirks of the model, by the version known now.
bool reportsTenthMilliamps(const ModelParams& params);
bool continuesAsStart(const ModelParams& params);
// Units per ampere in which a calibration current is sent.
float calibrationCurrentScale(const ModelParams& params);

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

// The defaults set before every table lookup, then the code's row and capabilities. The previous
// FwVersion picks the row of code 26. Returns the name the grid shows, or nullopt where none is
// written (codes 5, 6, 20 and 25 are named by their info reports; unknown codes keep the previous
// name).
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
