#pragma once

#include "simmodels.h"

#include <QString>

namespace ondrel::sim {

struct BatteryParams {
  Chemistry chemistry = Chemistry::LiIon;
  int cells = 1;
  double capacityAh = 2.0;
  double resistanceOhm = 0.05; // of the whole pack
  double stateOfCharge = 1.0;  // 0..1
  double ambientC = 25.0;
  double sourceVolts = 5.0; // open-circuit voltage of a USB source
};

// Parses "liion", "lipo", "life", "nimh", "nicd", "pb" (or "lead", "vrla"), "usb".
bool parseChemistry(const QString& text, Chemistry* chemistry);
const char* chemistryName(Chemistry chemistry);

// A cell or pack: open-circuit voltage against state of charge, a series resistance and a
// temperature that rises with the I2R loss. A USB source is a fixed voltage behind a resistance
// that never runs empty. Current is positive when discharging, negative when charging.
class Battery {
public:
  explicit Battery(const BatteryParams& params = {});

  const BatteryParams& params() const { return m_params; }
  double openCircuitVolts() const;
  double terminalVolts(double current) const { return openCircuitVolts() - current * resistance(); }
  double resistance() const;
  double stateOfCharge() const { return m_soc; }
  double temperatureC() const { return m_temperature; }
  bool empty() const { return m_soc <= 0.0; }
  bool full() const { return m_soc >= 1.0; }

  // Draws `current` for `seconds`, updating charge and temperature.
  void step(double current, double seconds);
  void setSourceVolts(double volts) { m_params.sourceVolts = volts; }
  void setStateOfCharge(double soc);

private:
  BatteryParams m_params;
  double m_soc;
  double m_temperature;
};

// Open-circuit voltage of one cell; above full charge it climbs steeply, as an overcharged cell
// does, so that a constant-voltage charge always tapers off.
double cellOpenCircuitVolts(Chemistry chemistry, double soc);

} // namespace ondrel::sim
