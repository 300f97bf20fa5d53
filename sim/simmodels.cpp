#include "simmodels.h"

#include <algorithm>

namespace ondrel::sim {

namespace {

struct Row {
  int code;
  double maxCurrent, maxVoltage;
  int curDiv, volDiv, pwrDiv;
  bool cvCutoff;
};

// code, MaxCurrent, MaxVoltage, CurDiv, VolDiv, PwrDiv, C-CV ends on a cutoff current
constexpr Row kRows[] = {
    {1, 5, 15, 100, 100, 1, false},       {2, 5, 20, 100, 100, 1, false},
    {3, 10, 15, 100, 100, 1, false},      {4, 10, 30, 100, 100, 1, false},
    {5, 5, 30, 1000, 100, 10, true},      {6, 10, 30, 100, 100, 1, true},
    {7, 10, 30, 100, 100, 1, true},       {8, 10, 20, 100, 100, 1, true},
    {9, 20, 30, 100, 100, 1, true},       {10, 40, 5, 100, 100, 1, true},
    {11, 10, 30, 100, 100, 1, false},     {12, 10, 99, 100, 100, 1, false},
    {13, 30, 30, 100, 100, 1, false},     {14, 30, 60, 100, 100, 1, false},
    {15, 10, 30, 100, 100, 1, false},     {16, 15, 30, 100, 100, 1, false},
    {17, 2.5, 15, 1000, 1000, 10, false}, {18, 5, 15, 1000, 1000, 10, false},
    {19, 20, 30, 100, 100, 1, false},     {20, 10, 30, 100, 100, 1, false},
    {21, 10, 100, 100, 100, 1, false},    {22, 15, 70, 100, 100, 1, false},
    {23, 10, 88, 100, 100, 1, false},     {24, 2.5, 15, 1000, 100, 1, false},
    {25, 3, 20, 1000, 100, 1, false},     {26, 4, 21, 1000, 100, 1, false},
    {27, 20, 90, 100, 100, 1, false},     {28, 20, 90, 100, 100, 1, true},
    {29, 50, 20, 100, 100, 1, true},      {30, 40, 90, 100, 100, 1, false},
    {31, 50, 30, 100, 100, 1, false},     {32, 40, 30, 100, 100, 1, false},
    {33, 30, 60, 100, 100, 1, false},     {34, 100, 150, 100, 100, 1, false},
    {35, 1, 30, 1000, 100, 10, false},    {36, 1, 30, 1000, 100, 10, true},
    {37, 100, 5, 100, 100, 1, true},      {38, 100, 20, 100, 100, 1, false},
    {39, 30, 90, 100, 100, 1, true},      {40, 50, 30, 1000, 100, 1, true},
    {41, 5, 100, 1000, 100, 1, false},    {42, 3, 14, 1000, 100, 1, false},
};

ModeDef discharge(const char* name, ModeKind kind) {
  return {QString::fromLatin1(name), kind};
}
ModeDef charge(const char* name, Chemistry chemistry) {
  return {QString::fromLatin1(name), ModeKind::ChargeChemistry, chemistry};
}

const ModeDef kCC = discharge("D-CC", ModeKind::DischargeCC);
const ModeDef kCP = discharge("D-CP", ModeKind::DischargePower);
const ModeDef kDCV = discharge("D-CV", ModeKind::DischargeVoltage);
const ModeDef kCCV = discharge("C-CV", ModeKind::ChargeVoltage);
const ModeDef kMeter = discharge("Meter", ModeKind::Meter);

QList<ModeDef> modesFor(int code, int fw) {
  if (code >= 1 && code <= 4)
    return {kCC,
            charge("C-NiMh", Chemistry::NiMH),
            charge("C-NiCD", Chemistry::NiCd),
            charge("C-Liion", Chemistry::LiIon),
            charge("C-LiFe", Chemistry::LiFe),
            charge("C-VRLA", Chemistry::LeadAcid),
            kCCV};
  if (code == 5 && fw == 302)
    return {kCC,
            kCP,
            charge("C-NiMh", Chemistry::NiMH),
            charge("C-NiCD", Chemistry::NiCd),
            charge("C-Liion", Chemistry::LiIon),
            charge("C-LiFe", Chemistry::LiFe),
            charge("C-VRLA", Chemistry::LeadAcid),
            kCCV,
            kMeter};
  if (code == 5 || code == 6) {
    QList<ModeDef> modes{kCC,
                         kCP,
                         charge("C-NiMh", Chemistry::NiMH),
                         charge("C-NiCD", Chemistry::NiCd),
                         charge("C-LiPo", Chemistry::LiPo),
                         charge("C-LiFe", Chemistry::LiFe),
                         charge("C-PB", Chemistry::LeadAcid),
                         kCCV};
    if (code == 5)
      modes.append(discharge("DC5V", ModeKind::Source5V));
    return modes;
  }
  switch (code) {
  case 7:
  case 9:
  case 10:
  case 36:
  case 37:
    return {kCC, kCP, kCCV};
  case 8:
  case 28:
  case 29:
  case 39:
  case 40:
    return {kCC, kCCV};
  case 11:
  case 12:
  case 13:
  case 14:
  case 15:
  case 16:
    // On the loads the third mode holds a test voltage with a current limit, like D-CV.
    return {kCC, kCP, discharge("C-CV", ModeKind::DischargeVoltage), kMeter, kDCV};
  case 17:
  case 18:
  case 19:
  case 20:
  case 35:
    return {kCC, kCP};
  case 25:
    if (fw == 310)
      return {kCC, kMeter};
    return {kCC};
  case 26:
    return {kCC, kMeter};
  case 41:
    return {kCC, kDCV};
  case 51:
    return {kMeter};
  default:
    return {kCC};
  }
}

int defaultFirmware(int code) {
  switch (code) {
  case 5:
  case 20:
    return 310;
  case 6:
  case 25:
    return 315;
  case 26:
    return 320;
  default:
    return 301;
  }
}

} // namespace

SimModel simModel(int code, int firmware) {
  SimModel m;
  m.code = code;
  m.firmware = firmware > 0 ? firmware : defaultFirmware(code);
  for (const Row& r : kRows) {
    if (r.code != code)
      continue;
    m.maxCurrent = r.maxCurrent;
    m.maxVoltage = r.maxVoltage;
    m.curDiv = r.curDiv;
    m.volDiv = r.volDiv;
    m.pwrDiv = r.pwrDiv;
    m.cvCutoff = r.cvCutoff;
  }
  if (code == 26 && m.firmware < 320)
    m.maxVoltage = 13.5;
  m.twoChannel = code == 17 || code == 18;
  m.hasTemp = (code >= 1 && code <= 4) || (code >= 11 && code <= 16) || code == 37 || code == 42;
  m.usbMeter = code == 26 || code == 51;
  if (code == 40 || code == 51)
    m.ampsPerUnit = 0.001;
  if (code == 51)
    m.maxCurrent = 500;
  m.modes = modesFor(code, m.firmware);
  return m;
}

QList<int> knownFirmware(int code) {
  switch (code) {
  case 5:
    return {302, 310};
  case 6:
  case 25:
    return {302, 310, 315};
  case 20:
    return {302, 310};
  case 26:
    return {310, 320};
  default:
    return {defaultFirmware(code)};
  }
}

int reportCurrentScale(const SimModel& m) {
  if (m.curDiv == 100)
    return 100;
  if (m.code == 26 && m.firmware >= 320)
    return 10000;
  return 1000;
}

int calibrationCurrentScale(const SimModel& m) {
  static constexpr int kTimesTen[] = {6, 7, 9, 10, 19, 20, 31, 32, 33, 35, 36, 38};
  const bool tenfold =
      std::find(std::begin(kTimesTen), std::end(kTimesTen), m.code) != std::end(kTimesTen) ||
      (m.code == 26 && m.firmware >= 320) || (m.code == 5 && m.firmware == 310);
  return m.curDiv * (tenfold ? 10 : 1);
}

double chargeVoltsPerCell(Chemistry chemistry) {
  switch (chemistry) {
  case Chemistry::LiIon:
  case Chemistry::LiPo:
    return 4.20;
  case Chemistry::LiFe:
    return 3.65;
  case Chemistry::NiMH:
  case Chemistry::NiCd:
    return 1.60; // never reached: nickel cells end when full
  case Chemistry::LeadAcid:
    return 2.40;
  case Chemistry::UsbSource:
    break;
  }
  return 5.0;
}

} // namespace ondrel::sim
