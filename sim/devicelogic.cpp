#include "devicelogic.h"

#include <algorithm>
#include <cmath>

namespace ondrel::sim {

namespace {

constexpr double kMaxStepS = 1.0;
// The resistance pulse: its drop shows in idle reports from this long after the command ...
constexpr double kResistanceShowFromS = 0.8;
// ... until this long after it, so that it reaches the PC within its four-second wait.
constexpr double kResistanceShowUntilS = 3.5;
// A constant-voltage load test ends when the battery can no longer give this much.
constexpr double kExhaustedA = 0.001;
// A chemistry charge ends when the current of its constant-voltage tail falls to this share of
// the charge current.
constexpr double kTerminationShare = 0.1;
constexpr double kQc3StepV = 0.2;
constexpr double kQc3MinV = 3.6;
constexpr double kQc3MaxV = 20.0;
constexpr double kPumpExpressLevels[] = {5.0, 7.0, 9.0, 12.0};

int roundToInt(double v) {
  return static_cast<int>(std::lround(v));
}

} // namespace

BatteryParams defaultBattery(const SimModel& model) {
  BatteryParams p;
  if (model.usbMeter) {
    p.chemistry = Chemistry::UsbSource;
    p.resistanceOhm = 0.15;
    p.sourceVolts = 5.0;
    return p;
  }
  bool charges = false;
  for (const ModeDef& m : model.modes)
    charges = charges || m.kind == ModeKind::ChargeChemistry || m.kind == ModeKind::ChargeVoltage;
  p.stateOfCharge = charges ? 0.5 : 1.0;
  return p;
}

void Calibration::store() {
  for (int i = 0; i < 2; ++i)
    if (m_pending[i].set)
      m_active[i] = m_pending[i];
}

void Calibration::restore() {
  m_pending[0] = m_pending[1] = m_active[0] = m_active[1] = Point{};
}

double Calibration::apply(double x) const {
  const Point& lo = m_active[0];
  const Point& hi = m_active[1];
  if (lo.set && hi.set && std::abs(hi.measured - lo.measured) > 1e-6)
    return lo.truth + (x - lo.measured) * (hi.truth - lo.truth) / (hi.measured - lo.measured);
  const Point& one = hi.set ? hi : lo;
  if (one.set && std::abs(one.measured) > 1e-6)
    return x * one.truth / one.measured;
  return x;
}

DeviceLogic::DeviceLogic(const DeviceConfig& config)
    : m_model(simModel(config.model, config.firmware)), m_config(config) {
  const BatteryParams p = config.batteryGiven ? config.battery : defaultBattery(m_model);
  m_batteries[0] = Battery(p);
  m_batteries[1] = Battery(p);
  for (int ch = 0; ch < 2; ++ch)
    m_channels[ch].voltage = m_batteries[ch].openCircuitVolts();
  m_config.infoEvery = std::max(1, m_config.infoEvery);
}

bool DeviceLogic::timeIsCutoff(const ChannelState& c) const {
  if (c.mode < 0 || c.mode >= m_model.modes.size())
    return false;
  const ModeDef& m = m_model.modes[c.mode];
  return (m.kind == ModeKind::ChargeVoltage && m_model.cvCutoff) ||
         (m_model.code == 5 && c.mode == 8);
}

double DeviceLogic::setAmps(const ChannelState& c) const {
  return std::min(unitAmps(c.setRaw), m_model.maxCurrent * m_model.ampsPerUnit);
}

void DeviceLogic::handle(const Command& cmd) {
  if (!cmd.checksumOk)
    return;
  const int ch = std::clamp(cmd.channel, 0, channelCount() - 1);
  if (cmd.channel >= channelCount() && cmd.kind != Command::Connect &&
      cmd.kind != Command::Disconnect)
    return; // a second channel this model does not have
  ChannelState& c = m_channels[ch];
  switch (cmd.kind) {
  case Command::Connect:
    m_connected = true;
    m_reportCount = 0;
    break;
  case Command::Disconnect:
    m_connected = false;
    break;
  case Command::Start:
    start(ch, cmd.mode, cmd.set, cmd.limit, cmd.time, false);
    break;
  case Command::Continue:
    start(ch, cmd.mode, cmd.set, cmd.limit, cmd.time, true);
    break;
  case Command::Stop:
    if (c.running)
      stop(ch, QStringLiteral("stop command"));
    break;
  case Command::Adjust:
    c.setRaw = cmd.set;
    c.limitRaw = cmd.limit;
    // The set-value request of the automatic test sends no time; keep the running one.
    if (cmd.time != 0)
      c.timeRaw = cmd.time;
    break;
  case Command::QuickCharge:
    quickCharge(cmd.code);
    break;
  case Command::PumpExpress:
    pumpExpress(cmd.code);
    break;
  case Command::Calibration:
    switch (cmd.point) {
    case 0:
    case 1:
      c.voltageCal.setPending(cmd.point, c.voltage, cmd.value / 1000.0);
      break;
    case 2:
    case 3:
      c.currentCal.setPending(cmd.point - 2, std::abs(c.current),
                              cmd.value / double(calibrationCurrentScale(m_model)) *
                                  m_model.ampsPerUnit);
      break;
    case 4:
      c.voltageCal.store();
      c.currentCal.store();
      break;
    case 5:
      c.voltageCal.restore();
      c.currentCal.restore();
      break;
    default:
      break;
    }
    break;
  case Command::Resistance:
    if (!c.running && !m_model.usbMeter) {
      const double amps = cmd.set * (m_model.curDiv == 100 ? 0.01 : 0.001);
      c.resistanceDropV = amps * m_batteries[ch].resistance();
      c.resistanceFrom = m_clock + kResistanceShowFromS;
      c.resistanceUntil = m_clock + kResistanceShowUntilS;
    }
    break;
  case Command::Time:
    c.elapsedS = cmd.set * 60.0 + std::fmod(c.elapsedS, 60.0);
    break;
  case Command::Unknown:
    break;
  }
}

void DeviceLogic::start(int ch, int mode, int set, int limit, int time, bool keepCounts) {
  ChannelState& c = m_channels[ch];
  if (mode < 0 || mode >= m_model.modes.size()) {
    c.endReason = QStringLiteral("no such mode");
    return;
  }
  c.mode = mode;
  c.setRaw = set;
  c.limitRaw = limit;
  c.timeRaw = time;
  c.phase = 1;
  c.endReason.clear();
  c.resistanceFrom = c.resistanceUntil = -1;
  if (!keepCounts) {
    c.capacityAh = 0;
    c.energyWh = 0;
    c.elapsedS = 0;
  }
  c.running = true;
}

void DeviceLogic::stop(int ch, const QString& reason) {
  ChannelState& c = m_channels[ch];
  c.running = false;
  c.current = 0;
  c.phase = 1;
  c.endReason = reason;
  c.voltage = m_batteries[ch].openCircuitVolts();
}

bool DeviceLogic::keyStart(int ch, int mode, double set, double limit, double time,
                           QString* error) {
  if (ch < 0 || ch >= channelCount() || mode < 0 || mode >= m_model.modes.size()) {
    if (error)
      *error =
          QStringLiteral("model %1 has no channel %2 mode %3").arg(m_model.code).arg(ch).arg(mode);
    return false;
  }
  const ModeDef& m = m_model.modes[mode];
  ChannelState probe;
  probe.mode = mode;
  const double raw[3] = {set *
                             (m.kind == ModeKind::DischargePower ? m_model.pwrDiv : m_model.curDiv),
                         m.kind == ModeKind::ChargeChemistry ? limit : limit * m_model.volDiv,
                         timeIsCutoff(probe) ? time * m_model.curDiv : time};
  // The keys can only set what a report can show; anything else (NaN included) starts nothing.
  for (const double r : raw) {
    if (!(r >= 0 && r < kPairMax + 0.5)) {
      if (error)
        *error = QStringLiteral("set %1, limit %2, time %3: a value is out of range")
                     .arg(set)
                     .arg(limit)
                     .arg(time);
      return false;
    }
  }
  start(ch, mode, roundToInt(raw[0]), roundToInt(raw[1]), roundToInt(raw[2]), false);
  return true;
}

void DeviceLogic::keyStop(int ch) {
  if (ch >= 0 && ch < channelCount() && m_channels[ch].running)
    stop(ch, QStringLiteral("stop key"));
}

void DeviceLogic::quickCharge(int code) {
  if (!m_model.usbMeter)
    return;
  Battery& source = m_batteries[0];
  static constexpr double kLevels[] = {5.0, 9.0, 12.0, 20.0};
  static constexpr int kDPlus[] = {600, 3300, 600, 3300};
  static constexpr int kDMinus[] = {0, 600, 600, 3300};
  if (code >= 0 && code <= 3) {
    m_usbMode = UsbMode::Qc2;
    source.setSourceVolts(kLevels[code]);
    m_dPlusMv = kDPlus[code];
    m_dMinusMv = kDMinus[code];
  } else if (code == 4) {
    m_usbMode = UsbMode::Qc3;
    m_dPlusMv = 600;
    m_dMinusMv = 3300;
  } else if ((code == 5 || code == 6) && m_usbMode == UsbMode::Qc3) {
    const double v = source.params().sourceVolts + (code == 5 ? kQc3StepV : -kQc3StepV);
    source.setSourceVolts(std::clamp(std::round(v * 10.0) / 10.0, kQc3MinV, kQc3MaxV));
  }
}

void DeviceLogic::pumpExpress(int code) {
  if (!m_model.usbMeter)
    return;
  Battery& source = m_batteries[0];
  const double now = source.params().sourceVolts;
  const auto levels = std::begin(kPumpExpressLevels);
  const auto end = std::end(kPumpExpressLevels);
  double next = now;
  if (code == 1) {
    const auto* up = std::upper_bound(levels, end, now + 1e-6);
    next = up == end ? *(end - 1) : *up;
  } else if (code == 0) {
    const auto* below = std::lower_bound(levels, end, now - 1e-6);
    next = below == levels ? *levels : *(below - 1);
  }
  m_usbMode = UsbMode::PumpExpress;
  m_dPlusMv = 600;
  m_dMinusMv = 0;
  source.setSourceVolts(next);
}

void DeviceLogic::advance(double seconds, double speed) {
  if (seconds <= 0)
    return;
  m_clock += seconds;
  double left = seconds * std::max(speed, 0.0);
  while (left > 1e-9) {
    const double dt = std::min(left, kMaxStepS);
    for (int ch = 0; ch < channelCount(); ++ch)
      stepChannel(ch, dt);
    left -= dt;
  }
}

void DeviceLogic::stepChannel(int ch, double dt) {
  ChannelState& c = m_channels[ch];
  Battery& b = m_batteries[ch];
  if (!c.running) {
    b.step(0, dt);
    c.current = 0;
    c.voltage = b.openCircuitVolts();
    return;
  }
  const ModeDef& mode = m_model.modes[c.mode];
  const double e = b.openCircuitVolts();
  const double r = b.resistance();
  const double maxA = m_model.maxCurrent * m_model.ampsPerUnit;
  double i = 0;
  switch (mode.kind) {
  case ModeKind::DischargeCC:
    i = std::min(setAmps(c), 0.95 * e / r);
    break;
  case ModeKind::DischargePower: {
    // P = I (E - I R): the smaller root; beyond the battery's maximum power take that.
    const double p = c.setRaw / double(m_model.pwrDiv);
    const double disc = e * e - 4 * r * p;
    i = disc > 0 ? (e - std::sqrt(disc)) / (2 * r) : e / (2 * r);
    i = std::min(i, maxA);
    break;
  }
  case ModeKind::DischargeVoltage: {
    const double target = c.limitRaw / double(m_model.volDiv);
    const double limit = c.setRaw > 0 ? setAmps(c) : maxA;
    i = std::clamp((e - target) / r, 0.0, limit);
    break;
  }
  case ModeKind::ChargeChemistry:
  case ModeKind::ChargeVoltage: {
    const double target =
        std::min(m_model.maxVoltage,
                 mode.kind == ModeKind::ChargeVoltage
                     ? c.limitRaw / double(m_model.volDiv)
                     : std::max(1, c.limitRaw % 100) * chargeVoltsPerCell(mode.chemistry));
    const double cc = setAmps(c);
    const double cv = std::max(0.0, (target - e) / r);
    i = -std::min(cc, cv);
    c.phase = cv < cc ? 2 : 1;
    break;
  }
  case ModeKind::Meter:
  case ModeKind::Source5V:
    i = m_config.meterLoadA;
    break;
  }
  b.step(i, dt);
  c.current = i;
  c.voltage = mode.kind == ModeKind::Source5V ? 5.0 - i * 0.05 : b.terminalVolts(i);
  c.capacityAh += std::abs(i) * dt / 3600.0;
  c.energyWh += std::abs(i) * c.voltage * dt / 3600.0;
  c.elapsedS += dt;

  // The device ends its tests by itself.
  const double cutoffV = c.limitRaw / double(m_model.volDiv);
  switch (mode.kind) {
  case ModeKind::DischargeCC:
  case ModeKind::DischargePower:
    if (c.voltage <= cutoffV || b.empty()) {
      stop(ch, QStringLiteral("cutoff voltage"));
      return;
    }
    break;
  case ModeKind::DischargeVoltage:
    if (i < kExhaustedA) {
      stop(ch, QStringLiteral("battery exhausted"));
      return;
    }
    break;
  case ModeKind::ChargeChemistry: {
    const bool nickel = mode.chemistry == Chemistry::NiMH || mode.chemistry == Chemistry::NiCd;
    if ((nickel && b.full()) || (c.phase == 2 && std::abs(i) < kTerminationShare * setAmps(c))) {
      stop(ch, QStringLiteral("charged"));
      return;
    }
    break;
  }
  case ModeKind::ChargeVoltage: {
    const double cutoffA =
        timeIsCutoff(c) ? unitAmps(c.timeRaw) : kTerminationShare * setAmps(c) / 2;
    if (c.phase == 2 && std::abs(i) < cutoffA) {
      stop(ch, QStringLiteral("cutoff current"));
      return;
    }
    break;
  }
  case ModeKind::Meter:
  case ModeKind::Source5V:
    if (timeIsCutoff(c) && c.timeRaw > 0 && std::abs(i) < unitAmps(c.timeRaw)) {
      stop(ch, QStringLiteral("cutoff current"));
      return;
    }
    break;
  }
  if (!timeIsCutoff(c) && c.timeRaw > 0 && c.elapsedS >= c.timeRaw * 60.0)
    stop(ch, QStringLiteral("time limit"));
}

ReportFields DeviceLogic::reportFields(int ch, bool info) const {
  const ChannelState& c = m_channels[ch];
  const Battery& b = m_batteries[ch];
  ReportFields f;
  f.info = info;
  f.state = c.running ? c.phase : 0;
  f.mode = c.mode;
  f.channel = ch;
  f.model = m_model.code;
  const double amps = c.currentCal.apply(std::abs(c.current));
  f.current = roundToInt(amps / m_model.ampsPerUnit * reportCurrentScale(m_model));
  f.voltage = voltsToTwoRange(c.voltageCal.apply(c.voltage));
  if (m_model.usbMeter) {
    f.capacity = m_dPlusMv;
    f.temperature = m_dMinusMv;
  } else {
    const bool showDrop = !c.running && m_clock >= c.resistanceFrom && m_clock < c.resistanceUntil;
    f.capacity = showDrop ? roundToInt(c.resistanceDropV * 1000.0)
                          : ampHoursToThreeRange(c.capacityAh / m_model.ampsPerUnit);
    if (m_model.hasTemp && !m_model.twoChannel)
      f.temperature = std::max(0, roundToInt(b.temperatureC() * 10.0));
  }
  if (info) {
    f.value9 = m_model.firmware;
    f.value11 = roundToInt(m_model.maxVoltage * m_model.volDiv);
    f.value13 = roundToInt(m_model.maxCurrent * m_model.curDiv);
  } else {
    f.value9 = c.setRaw;
    f.value11 = c.limitRaw;
    f.value13 = c.timeRaw;
  }
  return f;
}

QList<QByteArray> DeviceLogic::reportFrames() {
  QList<QByteArray> frames;
  if (!m_connected)
    return frames;
  const bool info = m_reportCount % m_config.infoEvery == 0;
  ++m_reportCount;
  for (int ch = 0; ch < channelCount(); ++ch)
    frames.append(buildReport(reportFields(ch, info)));
  return frames;
}

} // namespace ondrel::sim
