#include "link/modeltable.h"

#include "data/support/failure.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <limits>
#include <vector>

namespace ondrel {
namespace {

struct Row {
  int code;
  int minFw; // the row applies when minFw <= FwVersion < maxFw (only code 26 differs by version)
  int maxFw;
  const char* name; // nullptr: named by its info report
  float maxCurrent, minCurrent, maxVoltage, minVoltage;
  qint16 curDiv, volDiv, pwrDiv, lastDischargeMode, cvModeNo;
  bool cvCutoff;
};

constexpr int kAnyFw = 1 << 30;

// clang-format off
constexpr std::array kRows = {
  //  code      fw range   name       MaxCur MinCur  MaxVol MinVol CurDiv VolDiv PwrDiv LastDis CvMode CvCutoff
  Row{ 1, 0, kAnyFw, "KC-F1",    5,    0.1f,   15,    0.8f,  100,   100,   1,     0,      6,     false},
  Row{ 2, 0, kAnyFw, "KC-F2",    5,    0.1f,   20,    0.8f,  100,   100,   1,     0,      6,     false},
  Row{ 3, 0, kAnyFw, "KC-F3",    10,   0.1f,   15,    0.8f,  100,   100,   1,     0,      6,     false},
  Row{ 4, 0, kAnyFw, "KC-F4",    10,   0.1f,   30,    0.8f,  100,   100,   1,     0,      6,     false},
  Row{ 5, 0, kAnyFw, nullptr,    5,    0.06f,  30,    0,     1000,  100,   10,    1,      7,     true },
  Row{ 6, 0, kAnyFw, nullptr,    10,   0.05f,  30,    0,     100,   100,   1,     1,      7,     true },
  Row{ 7, 0, kAnyFw, "KC-01",    10,   0.1f,   30,    0,     100,   100,   1,     1,      2,     true },
  Row{ 8, 0, kAnyFw, "KC-02",    10,   0.1f,   20,    0.8f,  100,   100,   1,     0,      1,     true },
  Row{ 9, 0, kAnyFw, "KC-03",    20,   0.1f,   30,    0,     100,   100,   1,     1,      2,     true },
  Row{10, 0, kAnyFw, "KC-04",    40,   0.1f,   5,     0.8f,  100,   100,   1,     1,      2,     true },
  Row{11, 0, kAnyFw, "KL-F1",    10,   0.1f,   30,    0,     100,   100,   1,     4,      4,     false},
  Row{12, 0, kAnyFw, "KL-F2",    10,   0.1f,   99,    0,     100,   100,   1,     4,      4,     false},
  Row{13, 0, kAnyFw, "KL-F3",    30,   0.2f,   30,    0.8f,  100,   100,   1,     4,      4,     false},
  Row{14, 0, kAnyFw, "KL-F4",    30,   0.2f,   60,    0.8f,  100,   100,   1,     4,      4,     false},
  Row{15, 0, kAnyFw, "KL-01",    10,   0.1f,   30,    0,     100,   100,   1,     4,      4,     false},
  Row{16, 0, kAnyFw, "KL-02",    15,   0.2f,   30,    0,     100,   100,   1,     4,      4,     false},
  Row{17, 0, kAnyFw, "KL-03",    2.5f, 0.03f,  15,    0,     1000,  1000,  10,    1,      1,     false},
  Row{18, 0, kAnyFw, "KL-04",    5,    0.05f,  15,    0,     1000,  1000,  10,    1,      1,     false},
  Row{19, 0, kAnyFw, "KL-05",    20,   0.1f,   30,    0,     100,   100,   1,     1,      1,     false},
  Row{20, 0, kAnyFw, nullptr,    10,   0.1f,   30,    0,     100,   100,   1,     1,      1,     false},
  Row{21, 0, kAnyFw, "KL-06",    10,   0.5f,   100,   2,     100,   100,   1,     0,      0,     false},
  Row{22, 0, kAnyFw, "KL-07",    15,   0.5f,   70,    2,     100,   100,   1,     0,      0,     false},
  Row{23, 0, kAnyFw, "KL-08",    10,   0.5f,   88,    2,     100,   100,   1,     0,      0,     false},
  Row{24, 0, kAnyFw, "KL-09",    2.5f, 0.1f,   15,    0.1f,  1000,  100,   1,     0,      0,     false},
  Row{25, 0, kAnyFw, nullptr,    3,    0.05f,  20,    0.1f,  1000,  100,   1,     0,      0,     false},
  Row{26, 320, kAnyFw, "KL-10",  4,    0.01f,  21,    0,     1000,  100,   1,     0,      0,     false},
  Row{26, -kAnyFw, 320, "KL-11", 4,    0.03f,  13.5f, 0,     1000,  100,   1,     0,      0,     false},
  Row{27, 0, kAnyFw, "KL-12",    20,   0.5f,   90,    2,     100,   100,   1,     0,      0,     false},
  Row{28, 0, kAnyFw, "KC-05",    20,   0.1f,   90,    2,     100,   100,   1,     0,      1,     true },
  Row{29, 0, kAnyFw, "KC-06",    50,   0.1f,   20,    0.8f,  100,   100,   1,     0,      1,     true },
  Row{30, 0, kAnyFw, "KL-13",    40,   0.5f,   90,    2,     100,   100,   1,     0,      0,     false},
  Row{31, 0, kAnyFw, "KL-14",    50,   0.1f,   30,    0,     100,   100,   1,     0,      0,     false},
  Row{32, 0, kAnyFw, "KL-15",    40,   0.1f,   30,    0,     100,   100,   1,     0,      0,     false},
  Row{33, 0, kAnyFw, "KL-16",    30,   0.1f,   60,    0,     100,   100,   1,     0,      0,     false},
  Row{34, 0, kAnyFw, "KL-17",    100,  2,      150,   0.8f,  100,   100,   1,     0,      0,     false},
  Row{35, 0, kAnyFw, "KL-18",    1,    0.001f, 30,    0,     1000,  100,   10,    1,      1,     false},
  Row{36, 0, kAnyFw, "KC-07",    1,    0.001f, 30,    0,     1000,  100,   10,    1,      2,     true },
  Row{37, 0, kAnyFw, "KC-08",    100,  0.1f,   5,     0.8f,  100,   100,   1,     1,      2,     true },
  Row{38, 0, kAnyFw, "KL-19",    100,  0.1f,   20,    0.1f,  100,   100,   1,     1,      1,     false},
  Row{39, 0, kAnyFw, "KC-09",    30,   0.1f,   90,    2,     100,   100,   1,     0,      1,     true },
  Row{40, 0, kAnyFw, "KC-10",    50,   0.001f, 30,    0,     1000,  100,   1,     0,      1,     true },
  Row{41, 0, kAnyFw, "KL-20",    5,    0.1f,   100,   0,     1000,  100,   1,     2,      0,     false},
  Row{42, 0, kAnyFw, "KL-F5",    3,    0.1f,   14,    0.01f, 1000,  100,   1,     0,      0,     false},
};
// clang-format on

// Code 26 splits at version 320; KL-11 takes every version below it.
static_assert(kRows[26].maxFw == 320 && kRows[25].minFw == 320);

struct CapsRow {
  int code;
  ModelCaps caps;
};

// Capabilities beyond the defaults, one row per code; codes that have none are left out.
// clang-format off
constexpr CapsRow kCapsRows[] = {
  { 1, {.startPacking = StartPacking::CellCounts, .paramGroup = ParamGroup::ClassicCharger, .maxCells = {8, 8, 3, 4, 6}}},
  { 2, {.startPacking = StartPacking::CellCounts, .paramGroup = ParamGroup::ClassicCharger, .maxCells = {12, 12, 4, 4, 8}}},
  { 3, {.startPacking = StartPacking::CellCounts, .paramGroup = ParamGroup::ClassicCharger, .maxCells = {8, 8, 3, 4, 6}}},
  { 4, {.startPacking = StartPacking::CellCounts, .paramGroup = ParamGroup::ClassicCharger, .maxCells = {12, 12, 4, 4, 8}}},
  { 5, {.startPacking = StartPacking::Charger, .fineLowVoltage = true, .paramGroup = ParamGroup::ChemistryCharger, .namedByInfoReport = true, .calibTimes10AtFw = 310}},
  { 6, {.startPacking = StartPacking::Charger, .fineLowVoltage = true, .paramGroup = ParamGroup::ChemistryCharger, .namedByInfoReport = true, .calibCurrentTimes10 = true}},
  { 7, {.startPacking = StartPacking::ChargerCvMode2, .fineLowVoltage = true, .paramGroup = ParamGroup::PowerCharger, .calibCurrentTimes10 = true}},
  { 8, {.fineLowVoltage = true, .paramGroup = ParamGroup::CvCharger}},
  { 9, {.startPacking = StartPacking::PowerInMode1, .fineLowVoltage = true, .paramGroup = ParamGroup::PowerCharger, .calibCurrentTimes10 = true}},
  {10, {.startPacking = StartPacking::PowerInMode1, .fineLowVoltage = true, .paramGroup = ParamGroup::PowerCharger, .calibCurrentTimes10 = true}},
  {11, {.startPacking = StartPacking::Load, .fineLowVoltage = true, .paramGroup = ParamGroup::Load}},
  {12, {.startPacking = StartPacking::Load, .fineLowVoltage = true, .paramGroup = ParamGroup::Load}},
  {13, {.startPacking = StartPacking::Load, .fineLowVoltage = true, .paramGroup = ParamGroup::Load}},
  {14, {.startPacking = StartPacking::Load, .fineLowVoltage = true, .paramGroup = ParamGroup::Load}},
  {15, {.startPacking = StartPacking::Load, .fineLowVoltage = true, .paramGroup = ParamGroup::Load}},
  {16, {.startPacking = StartPacking::Load, .fineLowVoltage = true, .paramGroup = ParamGroup::Load}},
  {17, {.startPacking = StartPacking::Load, .twoChannels = true, .paramGroup = ParamGroup::Load}},
  {18, {.startPacking = StartPacking::Load, .twoChannels = true, .paramGroup = ParamGroup::Load}},
  {19, {.startPacking = StartPacking::Load, .fineLowVoltage = true, .paramGroup = ParamGroup::Load, .calibCurrentTimes10 = true}},
  {20, {.startPacking = StartPacking::Load, .fineLowVoltage = true, .paramGroup = ParamGroup::Load, .namedByInfoReport = true, .calibCurrentTimes10 = true}},
  {21, {.startPacking = StartPacking::Load, .paramGroup = ParamGroup::Load}},
  {22, {.startPacking = StartPacking::Load, .paramGroup = ParamGroup::Load}},
  {23, {.startPacking = StartPacking::Load, .paramGroup = ParamGroup::Load}},
  {24, {.startPacking = StartPacking::Load, .fineLowVoltage = true, .paramGroup = ParamGroup::Load}},
  {25, {.fineLowVoltage = true, .paramGroup = ParamGroup::Load, .meterAtIndexOne = true, .namedByInfoReport = true}},
  {26, {.usbMeter = true, .tenthMilliampsFromFw = 320, .continueAsStartFromFw = 320, .meterWindowFromFw = 320, .paramGroup = ParamGroup::Load, .meterAtIndexOne = true, .namedByInfoReport = true, .calibTimes10FromFw = 320}},
  {27, {.startPacking = StartPacking::Load, .paramGroup = ParamGroup::Load}},
  {28, {.startPacking = StartPacking::Load, .paramGroup = ParamGroup::CvCharger, .cvLocksSetAndLimit = true}},
  {29, {.paramGroup = ParamGroup::CvCharger}},
  {30, {.startPacking = StartPacking::Load, .paramGroup = ParamGroup::Load}},
  {31, {.startPacking = StartPacking::Load, .paramGroup = ParamGroup::Load, .calibCurrentTimes10 = true}},
  {32, {.startPacking = StartPacking::Load, .fineLowVoltage = true, .paramGroup = ParamGroup::Load, .calibCurrentTimes10 = true}},
  {33, {.startPacking = StartPacking::Load, .paramGroup = ParamGroup::Load, .calibCurrentTimes10 = true}},
  {34, {.startPacking = StartPacking::Load, .paramGroup = ParamGroup::Load}},
  {35, {.startPacking = StartPacking::Load, .fineLowVoltage = true, .fineCurrentSteps = true, .fineAutoCurrents = true, .paramGroup = ParamGroup::Load, .fineSetCurrent = true, .calibCurrentTimes10 = true}},
  {36, {.startPacking = StartPacking::ChargerCvMode2, .fineLowVoltage = true, .paramGroup = ParamGroup::PowerCharger, .fineSetCurrent = true, .calibCurrentTimes10 = true}},
  {37, {.startPacking = StartPacking::ChargerCvMode2, .fineLowVoltage = true, .paramGroup = ParamGroup::PowerCharger}},
  {38, {.startPacking = StartPacking::Load, .paramGroup = ParamGroup::Load, .calibCurrentTimes10 = true}},
  {39, {.paramGroup = ParamGroup::CvCharger}},
  {40, {.fineLowVoltage = true, .currentInMilliamps = true, .twoDecimalsFrom10A = true, .paramGroup = ParamGroup::MilliampCharger}},
  {51, {.milliampAxis = true}},
};
// clang-format on

struct LayoutRow {
  std::vector<int> codes;
  QStringList modes;
  QStringList tabs;
  bool resistanceMenu;
  bool hasTemp;
};

// clang-format off
const std::vector<LayoutRow>& layouts() {
  static const std::vector<LayoutRow> rows = {
  {{1, 2, 3, 4},  {"D-CC", "C-NiMh", "C-NiCD", "C-Liion", "C-LiFe", "C-VRLA", "C-CV"},
                  {"key1", "key2", "key3"}, true,  true},
  {{5},           {"D-CC", "D-CP", "C-NiMh", "C-NiCD", "C-LiPo", "C-LiFe", "C-PB", "C-CV", "DC5V"},
                  {"key1", "key2", "key3"}, true,  false},
  {{6},           {"D-CC", "D-CP", "C-NiMh", "C-NiCD", "C-LiPo", "C-LiFe", "C-PB", "C-CV"},
                  {"key1", "key2", "key3"}, true,  false},
  {{7},           {"D-CC", "D-CP", "C-CV"},          {"key1", "key2", "key3"}, true,  false},
  {{8},           {"D-CC", "C-CV"},                  {"key1", "key3"},         true,  false},
  {{9, 10},       {"D-CC", "D-CP", "C-CV"},          {"key1", "key3"},         true,  false},
  {{11, 12, 13, 14, 15, 16},
                  {"D-CC", "D-CP", "C-CV", "Meter", "D-CV"},
                                                     {"key1", "key2"},         true,  true},
  {{17, 18},      {"D-CC", "D-CP"},                  {"key1", "key2"},         true,  false},
  {{19, 20, 35},  {"D-CC", "D-CP"},                  {"key1", "key2"},         true,  false},
  {{21, 22, 23},  {"D-CC"},                          {"key1"},                 false, false},
  {{24, 25},      {"D-CC"},                          {"key1", "key2"},         true,  false},
  {{26},          {"D-CC", "Meter"},                 {"key1", "key2"},         false, false},
  {{27, 30, 31, 32, 33, 34, 38},
                  {"D-CC"},                          {"key1"},                 false, false},
  {{28, 29, 39, 40},
                  {"D-CC", "C-CV"},                  {"key1", "key3"},         false, false},
  {{36},          {"D-CC", "D-CP", "C-CV"},          {"key1", "key2", "key3"}, true,  false},
  {{37},          {"D-CC", "D-CP", "C-CV"},          {"key1", "key3"},         false, true},
  {{41},          {"D-CC", "D-CV"},                  {"key1", "key2"},         false, false},
  {{42},          {"D-CC"},                          {"key1", "key2"},         false, true},
  {{51},          {"Meter"},                         {"key1"},                 false, false},
  };
  return rows;
}

const LayoutRow& otherLayout() {
  static const LayoutRow row = {{}, {"D-CC"}, {"key1"}, false, false};
  return row;
}

// Info-report names by firmware version: 302, 310, 315, otherwise.
struct InfoName { int code; const char* v302; const char* v310; const char* v315; const char* other; };
constexpr InfoName kInfoNames[] = {
  { 5, "KC-11", "KC-12", "KC-12", "KC-12"},
  { 6, "KC-14", "KC-13", "KC-14", "KC-14"},
  {20, "KL-25", "KL-24", "KL-25", "KL-25"},
  {25, "KL-23", "KL-21", "KL-22", "KL-23"},
};
// clang-format on

QStringList texts(std::initializer_list<const char*> items) {
  QStringList out;
  for (const char* s : items)
    out << QString::fromLatin1(s);
  return out;
}

const Row* findRow(int code, int fwVersion) {
  for (const Row& r : kRows)
    if (r.code == code && fwVersion >= r.minFw && fwVersion < r.maxFw)
      return &r;
  return nullptr;
}

} // namespace

ModelCaps modelCaps(int code) {
  for (const CapsRow& r : kCapsRows)
    if (r.code == code)
      return r.caps;
  return {};
}

namespace {

// The typed number as the device's single-precision limits are kept; one beyond the float range
// stays beyond every limit (a plain conversion would be undefined).
float asLimitPrecision(double typed) {
  constexpr double most = std::numeric_limits<float>::max();
  return static_cast<float>(std::clamp(typed, -most, most));
}

} // namespace

bool belowLimit(double typed, float limit) {
  return asLimitPrecision(typed) < limit;
}

bool aboveLimit(double typed, float limit) {
  return asLimitPrecision(typed) > limit;
}

bool withinLimits(double typed, float low, float high) {
  return !belowLimit(typed, low) && !aboveLimit(typed, high);
}

float calibrationCurrentScale(const ModelParams& params) {
  const ModelCaps& c = params.caps;
  const bool times10 = c.calibCurrentTimes10 ||
                       (c.calibTimes10FromFw != 0 && params.FwVersion >= c.calibTimes10FromFw) ||
                       (c.calibTimes10AtFw != 0 && params.FwVersion == c.calibTimes10AtFw);
  return static_cast<float>(params.CurDiv) * (times10 ? 10.0f : 1.0f);
}

bool reportsTenthMilliamps(const ModelParams& params) {
  const int from = params.caps.tenthMilliampsFromFw;
  return from != 0 && params.FwVersion >= from;
}

bool continuesAsStart(const ModelParams& params) {
  const int from = params.caps.continueAsStartFromFw;
  return from != 0 && params.FwVersion >= from;
}

ModelLayout modelLayout(int code) {
  const LayoutRow* row = &otherLayout();
  for (const LayoutRow& r : layouts())
    if (std::find(r.codes.begin(), r.codes.end(), code) != r.codes.end())
      row = &r;
  ModelLayout layout;
  layout.modes = row->modes;
  layout.tabs = row->tabs;
  layout.resistanceMenu = row->resistanceMenu;
  layout.HasTemp = row->hasTemp;
  const ModelCaps caps = modelCaps(code);
  layout.twoChannels = caps.twoChannels;
  layout.usbMenu = caps.usbMeter;
  layout.currentAxisCaption = caps.milliampAxis ? QStringLiteral("[mA]") : QStringLiteral("[A]");
  return layout;
}

ModelLookup lookupModel(const ModelParams& previous, int code) {
  ModelLookup out;
  ModelParams& p = out.params;
  p = previous;
  p.MinCurrent = 0.1f;
  p.MinVoltage = 0.8f;
  p.CurDiv = 100;
  p.VolDiv = 100;
  p.PwrDiv = 1;
  p.CvCutoff = false;
  p.LastDischargeMode = 0;
  p.CvModeNo = 0;
  p.caps = modelCaps(code);
  const Row* row = findRow(code, previous.FwVersion);
  if (!row)
    return out;
  if (row->name)
    out.name = QString::fromLatin1(row->name);
  p.MaxCurrent = row->maxCurrent;
  p.MinCurrent = row->minCurrent;
  p.MaxVoltage = row->maxVoltage;
  p.MinVoltage = row->minVoltage;
  p.CurDiv = row->curDiv;
  p.VolDiv = row->volDiv;
  p.PwrDiv = row->pwrDiv;
  p.LastDischargeMode = row->lastDischargeMode;
  p.CvModeNo = row->cvModeNo;
  p.CvCutoff = row->cvCutoff;
  return out;
}

std::optional<QString> infoReportName(int code, int fwVersion) {
  for (const InfoName& n : kInfoNames) {
    if (n.code != code)
      continue;
    const char* name = fwVersion == 302   ? n.v302
                       : fwVersion == 310 ? n.v310
                       : fwVersion == 315 ? n.v315
                                          : n.other;
    return QString::fromLatin1(name);
  }
  return std::nullopt;
}

int reportModelCode(const RecBody& body) {
  return body[15] % 100;
}
int reportChannel(const RecBody& body) {
  return body[15] / 100;
}

Identification identifyReport(const RecBody& body, const ModelParams& current) {
  Identification id;
  const int code = reportModelCode(body);
  id.channel = reportChannel(body);
  id.params = current;
  id.params.ModelCode = static_cast<qint16>(code);
  // A channel digit of 2 fits in b15 but names no channel; treated like a report without a model
  // so that nothing indexes a third channel.
  if (code == 0 || id.channel > 1) {
    id.ignored = true;
    id.params = current;
    return id;
  }
  const ModelLayout layout = modelLayout(code);
  const bool twoChannelModel = layout.twoChannels;
  id.connected = !(twoChannelModel && id.channel == 0);
  id.currentAxisCaption = layout.currentAxisCaption;
  id.Dev2S = layout.twoChannels;
  id.showUsbMenu = layout.usbMenu;
  if (twoChannelModel && id.channel == 1) {
    // Channel 1 only confirms the second channel; modes and tabs stay as channel 0 set them.
    id.resistanceMenu = true;
    id.params.HasTemp = false;
  } else {
    id.modes = layout.modes;
    id.tabs = layout.tabs;
    id.resistanceMenu = layout.resistanceMenu;
    id.params.HasTemp = layout.HasTemp;
    id.rebuildTwoChannelLegends = twoChannelModel;
  }
  id.showTempMenu = id.params.HasTemp;
  ModelLookup looked = lookupModel(id.params, code);
  id.params = looked.params;
  id.name = looked.name;
  id.initAutoPage = id.channel == 0;
  return id;
}

qint16 reportFirmwareVersion(const RecBody& body) {
  const int version = pairAt(body, 9);
  if (version > 32767)
    throw Failure(QStringLiteral("Overflow"));
  return static_cast<qint16>(version);
}

void takeInfoRanges(ModelParams& p, const RecBody& body) {
  p.FwVersion = reportFirmwareVersion(body);
  // Divisors are at least 100 after identification; an unidentified slot keeps its maximums.
  if (p.VolDiv != 0)
    p.MaxVoltage = static_cast<float>(double(pairAt(body, 11)) / p.VolDiv);
  if (p.CurDiv != 0)
    p.MaxCurrent = static_cast<float>(double(pairAt(body, 13)) / p.CurDiv);
}

InfoReport infoReport(const RecBody& body, const ModelParams& current,
                      const QStringList& panelModes) {
  InfoReport info;
  ModelParams& p = info.params;
  p = current;
  takeInfoRanges(p, body);
  const int code = p.ModelCode;
  if (code == 5 && panelModes.size() > 8 && panelModes.at(8) == QLatin1String("DC5V") &&
      p.FwVersion == 302) {
    info.modes =
        texts({"D-CC", "D-CP", "C-NiMh", "C-NiCD", "C-Liion", "C-LiFe", "C-VRLA", "C-CV", "Meter"});
    p.MinCurrent = 0.01f;
  } else if (code == 25 && panelModes.size() == 1 && p.FwVersion == 310) {
    info.modes = texts({"D-CC", "Meter"});
    p.MinCurrent = 0.01f;
  }
  info.name = infoReportName(code, p.FwVersion);
  // A model whose row depends on the firmware is named once the version is known.
  if (!info.name && p.caps.namedByInfoReport)
    if (const Row* row = findRow(code, p.FwVersion); row && row->name)
      info.name = QString::fromLatin1(row->name);
  return info;
}

} // namespace ondrel
