#include "data/ui/windowtelemetry.h"

#include "data/support/errorlog.h"
#include "data/ui/deviceslot.h"
#include "test/slotjson.h"
#include "test/ui/devctrl.h"
#include "widgets/curvegraph.h"

#include <QDir>

namespace ondrel {

WindowTelemetry::WindowTelemetry(QObject* parent) : QObject(parent) {}

WindowTelemetry::~WindowTelemetry() = default;

void WindowTelemetry::setConfig(const MqttConfig& config) {
  m_config = config;
  m_problem.clear();
  // Every connection starts again with the new settings.
  std::vector<DeviceSlot*> open;
  for (auto& [slot, d] : m_devices)
    open.push_back(slot);
  m_devices.clear();
  for (DeviceSlot* s : open)
    if (s->state().link == LinkState::Identified)
      this->open(*s);
  refreshStatus();
}

void WindowTelemetry::attach(DeviceSlot& s) {
  if (m_attached.count(&s))
    return;
  m_attached[&s] = true;
  connect(&s, &DeviceSlot::deviceConnected, this, [this, &s] { open(s); });
  connect(&s, &DeviceSlot::connectionChanged, this, [this, &s](bool up) {
    if (!up)
      close(s);
  });
  connect(&s, &DeviceSlot::channelUpdated, this, [this, &s](int c) { sample(s, c); });
  connect(&s, &DeviceSlot::testFinished, this, [this, &s](int c, const QString&) { ended(s, c); });
  connect(&s.panel(), &DevCtrl::StopClick, this, [this, &s](int c) {
    if (auto it = m_devices.find(&s); it != m_devices.end() && c >= 0 && c < 2)
      it->second.stopAsked[size_t(c)] = true;
  });
  connect(&s, &QObject::destroyed, this, [this, &s] {
    m_devices.erase(&s);
    m_attached.erase(&s);
  });
}

void WindowTelemetry::open(DeviceSlot& s) {
  if (!m_config.enabled() || m_devices.count(&s))
    return;
  QString error;
  std::unique_ptr<DeviceTelemetry> link = DeviceTelemetry::make(m_config, s.state().port, &error, this);
  if (!link) {
    if (m_problem != error)
      ErrLog(QStringLiteral("ErrMqtt"), error);
    m_problem = error;
    refreshStatus();
    return;
  }
  Device& d = m_devices[&s];
  d.link = std::move(link);
  connect(d.link.get(), &DeviceTelemetry::statusChanged, this,
          [this, &s](bool up, const QString& reason) {
            if (auto it = m_devices.find(&s); it != m_devices.end()) {
              it->second.connected = up;
              it->second.reason = reason;
            }
            refreshStatus();
          });
  connect(d.link.get(), &DeviceTelemetry::stopRequested, this, [&s](int c) {
    // Exactly as the channel's Stop button.
    if (s.state().at(c).data.ChnRunning)
      emit s.panel().StopClick(c);
  });
  d.link->identified(s.state(), identifiedObject(s.state()));
  refreshStatus();
}

void WindowTelemetry::close(DeviceSlot& s) {
  m_devices.erase(&s); // "offline", then the connection closes
  refreshStatus();
}

void WindowTelemetry::sample(DeviceSlot& s, int c) {
  auto it = m_devices.find(&s);
  if (it == m_devices.end() || c < 0 || c > 1)
    return;
  Device& d = it->second;
  const SlotModel& m = s.state();
  const bool running = m.at(c).data.ChnRunning;
  if (running && !d.running[size_t(c)]) {
    d.stopAsked[size_t(c)] = false;
    QJsonObject o = startedObject(m, c, m.at(c).view.params.tMode);
    o.insert(QStringLiteral("label"), s.graph().TitleText());
    d.link->event(c, o);
  }
  d.running[size_t(c)] = running;
  d.link->sample(m, c, s.graph().TitleText());
}

void WindowTelemetry::ended(DeviceSlot& s, int c) {
  auto it = m_devices.find(&s);
  if (it == m_devices.end() || c < 0 || c > 1)
    return;
  Device& d = it->second;
  const SlotModel& m = s.state();
  const QJsonObject o = endedObject(
      m, c, d.stopAsked[size_t(c)] ? QStringLiteral("stopped") : QStringLiteral("device"),
      s.lastDataFile(c));
  d.link->event(c, o);
  d.running[size_t(c)] = false;
  d.stopAsked[size_t(c)] = false;
  d.link->sample(m, c, s.graph().TitleText()); // the channel idle, at once
}

void WindowTelemetry::forgetDevices(const MqttConfig& config) {
  for (auto& [slot, attached] : m_attached) {
    if (slot->state().port.isEmpty())
      continue;
    if (auto it = m_devices.find(slot); it != m_devices.end()) {
      it->second.link->forget(); // on its own connection, which stays
      continue;
    }
    QString error;
    if (std::unique_ptr<DeviceTelemetry> t =
            DeviceTelemetry::make(config, slot->state().port, &error))
      t->forget(); // sent once connected, within the close's wait
  }
}

QString WindowTelemetry::statusText() const {
  if (!m_config.enabled())
    return {};
  if (!m_problem.isEmpty())
    return QStringLiteral("MQTT: offline (%1)").arg(m_problem);
  if (m_devices.empty())
    return QStringLiteral("MQTT: on, no device connected");
  for (const auto& [slot, d] : m_devices)
    if (!d.connected)
      return QStringLiteral("MQTT: offline (%1)")
          .arg(d.reason.isEmpty() ? QStringLiteral("connecting") : d.reason);
  return QStringLiteral("MQTT: connected");
}

void WindowTelemetry::refreshStatus() {
  emit statusChanged(statusText());
}

} // namespace ondrel
