#include "battery.h"

#include <algorithm>
#include <cmath>

namespace ondrel::sim {

namespace {

// Open-circuit voltage per cell at 0 %, 10 %, ... 100 % state of charge.
constexpr double kLiIon[11] = {3.00, 3.45, 3.58, 3.65, 3.70, 3.75, 3.81, 3.88, 3.96, 4.06, 4.20};
constexpr double kLiFe[11] = {2.50, 3.05, 3.18, 3.22, 3.25, 3.27, 3.29, 3.30, 3.32, 3.35, 3.50};
constexpr double kNickel[11] = {1.00, 1.18, 1.22, 1.24, 1.25, 1.26, 1.27, 1.28, 1.30, 1.33, 1.40};
constexpr double kLead[11] = {1.75, 1.85, 1.90, 1.94, 1.97, 2.00, 2.03, 2.06, 2.09, 2.12, 2.15};

// Thermal model: heat capacity of the cell and its loss to the air.
constexpr double kHeatCapacityJPerK = 60.0;
constexpr double kLossWPerK = 0.3;
// An overcharged cell gains this many volts per unit of state of charge above full.
constexpr double kOverchargeSlope = 3.0;
constexpr double kMaxSoc = 1.1;

const double* table(Chemistry chemistry) {
  switch (chemistry) {
  case Chemistry::LiFe:
    return kLiFe;
  case Chemistry::NiMH:
  case Chemistry::NiCd:
    return kNickel;
  case Chemistry::LeadAcid:
    return kLead;
  default:
    return kLiIon;
  }
}

} // namespace

bool parseChemistry(const QString& text, Chemistry* chemistry) {
  const QString t = text.trimmed().toLower();
  if (t == "liion" || t == "li-ion")
    *chemistry = Chemistry::LiIon;
  else if (t == "lipo")
    *chemistry = Chemistry::LiPo;
  else if (t == "life" || t == "lifepo4")
    *chemistry = Chemistry::LiFe;
  else if (t == "nimh")
    *chemistry = Chemistry::NiMH;
  else if (t == "nicd")
    *chemistry = Chemistry::NiCd;
  else if (t == "pb" || t == "lead" || t == "vrla")
    *chemistry = Chemistry::LeadAcid;
  else if (t == "usb")
    *chemistry = Chemistry::UsbSource;
  else
    return false;
  return true;
}

const char* chemistryName(Chemistry chemistry) {
  switch (chemistry) {
  case Chemistry::LiIon:
    return "liion";
  case Chemistry::LiPo:
    return "lipo";
  case Chemistry::LiFe:
    return "life";
  case Chemistry::NiMH:
    return "nimh";
  case Chemistry::NiCd:
    return "nicd";
  case Chemistry::LeadAcid:
    return "pb";
  case Chemistry::UsbSource:
    return "usb";
  }
  return "liion";
}

double cellOpenCircuitVolts(Chemistry chemistry, double soc) {
  const double* t = table(chemistry);
  if (soc >= 1.0)
    return t[10] + (soc - 1.0) * kOverchargeSlope;
  const double x = std::max(soc, 0.0) * 10.0;
  const int i = std::min(static_cast<int>(x), 9);
  return t[i] + (t[i + 1] - t[i]) * (x - i);
}

Battery::Battery(const BatteryParams& params)
    : m_params(params), m_soc(std::clamp(params.stateOfCharge, 0.0, 1.0)),
      m_temperature(params.ambientC) {
  m_params.cells = std::max(1, m_params.cells);
  m_params.capacityAh = std::max(0.001, m_params.capacityAh);
  m_params.resistanceOhm = std::max(0.0005, m_params.resistanceOhm);
}

double Battery::openCircuitVolts() const {
  if (m_params.chemistry == Chemistry::UsbSource)
    return m_params.sourceVolts;
  return m_params.cells * cellOpenCircuitVolts(m_params.chemistry, m_soc);
}

double Battery::resistance() const {
  return m_params.resistanceOhm;
}

void Battery::step(double current, double seconds) {
  if (seconds <= 0)
    return;
  if (m_params.chemistry != Chemistry::UsbSource) {
    m_soc -= current * seconds / 3600.0 / m_params.capacityAh;
    m_soc = std::clamp(m_soc, 0.0, kMaxSoc);
  }
  const double heat = current * current * resistance();
  m_temperature +=
      seconds * (heat - kLossWPerK * (m_temperature - m_params.ambientC)) / kHeatCapacityJPerK;
}

void Battery::setStateOfCharge(double soc) {
  m_soc = std::clamp(soc, 0.0, kMaxSoc);
}

} // namespace ondrel::sim
