#pragma once

#include <QList>
#include <QString>

// The simulator's own per-model numbers, kept apart from the program's model table on purpose.
namespace ondrel::sim {

enum class ModeKind {
  DischargeCC,
  DischargePower,
  DischargeVoltage, // the load holds the battery at a test voltage with a current limit
  ChargeChemistry,
  ChargeVoltage, // constant-voltage charge ending on a cutoff current (or a time)
  Meter,
  Source5V,
};

enum class Chemistry { LiIon, LiPo, LiFe, NiMH, NiCd, LeadAcid, UsbSource };

struct ModeDef {
  QString name;
  ModeKind kind = ModeKind::DischargeCC;
  Chemistry chemistry = Chemistry::LiIon;
};

struct SimModel {
  int code = 0;
  double maxCurrent = 10; // in the model's current unit (mA on codes 40 and 51, else A)
  double maxVoltage = 30;
  int curDiv = 100;
  int volDiv = 100;
  int pwrDiv = 1;
  bool cvCutoff = false; // the C-CV mode's time value is a cutoff current
  bool twoChannel = false;
  bool hasTemp = false;
  bool usbMeter = false;    // codes 26 and 51: the source is a USB charger, not a battery
  double ampsPerUnit = 1.0; // 0.001 where the model counts in milliamperes
  int firmware = 301;
  QList<ModeDef> modes;
};

// The model as it behaves with the given firmware (0 = the model's usual one). Every code from
// 1 to 99 gives a model; codes without their own row behave as a plain 10 A / 30 V load.
SimModel simModel(int code, int firmware = 0);
// Firmware versions worth simulating for a code (those that change names or mode lists).
QList<int> knownFirmware(int code);
// Wire units per ampere of a reported current: 100, 1000, or 10000 on code 26 from version 320.
int reportCurrentScale(const SimModel& model);
// Units per ampere in which a current calibration point arrives.
int calibrationCurrentScale(const SimModel& model);
// Charge voltage per cell of a chemistry.
double chargeVoltsPerCell(Chemistry chemistry);

} // namespace ondrel::sim
