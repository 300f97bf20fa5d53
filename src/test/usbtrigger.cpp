#include "test/usbtrigger.h"

#include <algorithm>
#include <cmath>

namespace ondrel {

int openingLevel(const QString& voltageText) {
  bool numeric = false;
  const double v = voltageText.trimmed().toDouble(&numeric);
  if (!numeric || std::isnan(v))
    return qc::Level5V;
  if (v > 18.0)
    return qc::Level20V;
  if (v > 10.0)
    return qc::Level12V;
  if (v > 8.0)
    return qc::Level9V;
  return qc::Level5V;
}

UsbTrigger::UsbTrigger(TriggerLink& link, TriggerTimer& ramp, int level)
    : m_link(link), m_ramp(ramp), m_level(std::clamp(level, qc::Level5V, qc::Level20V)) {}

void UsbTrigger::chooseLevel(int level) {
  if (level < qc::Level5V || level > qc::Level20V)
    return;
  m_level = level;
  m_link.RemoteQC(m_level);
}

void UsbTrigger::chooseProtocol(QcProtocol protocol) {
  m_protocol = protocol;
  m_link.RemoteQC(protocol == QcProtocol::Qc2 ? m_level : qc::EnterQc3);
}

void UsbTrigger::chooseStepping(QcStepping stepping) {
  if (!rampRunning())
    m_stepping = stepping;
}

void UsbTrigger::step(int direction) {
  if (m_protocol == QcProtocol::Qc2) {
    const int next = m_level + direction;
    if (next < qc::Level5V || next > qc::Level20V)
      return;
    m_level = next;
    m_link.RemoteQC(m_level);
    return;
  }
  if (m_stepping == QcStepping::Manual) {
    m_link.RemoteQC(direction > 0 ? qc::StepUp : qc::StepDown);
    return;
  }
  // Either button stops a running ramp, whichever way it runs.
  if (rampRunning()) {
    m_ramp.stop();
    return;
  }
  m_rampUp = direction > 0;
  m_link.RemoteQC(m_rampUp ? qc::StepUp : qc::StepDown);
  m_ramp.start(kRampMs);
}

void UsbTrigger::rampTick() {
  if (rampRunning())
    m_link.RemoteQC(m_rampUp ? qc::StepUp : qc::StepDown);
}

} // namespace ondrel
