#include "data/telemetry/devicetelemetry.h"

#include "data/support/errorlog.h"
#include "test/slotjson.h"

#include <QSysInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaObject>

namespace ondrel {

int DeviceTopics::stopChannel(const QString& topic) const {
  const QString head = base() + u'/';
  if (!topic.startsWith(head) || !topic.endsWith(QLatin1String("/stop")))
    return -1;
  const QString ch = topic.mid(head.size()).section(u'/', 0, 0);
  if (ch == QLatin1String("1"))
    return 0;
  if (ch == QLatin1String("2"))
    return 1;
  return -1;
}

namespace {

struct SensorKind {
  const char* key;
  const char* name;
  const char* deviceClass; // nullptr: none
  const char* unit;        // nullptr: none
  const char* stateClass;  // nullptr: none
  const char* field;       // in the state message
};

const SensorKind kSensors[] = {
    {"voltage", "Voltage", "voltage", "V", "measurement", "v"},
    {"current", "Current", "current", "A", "measurement", "a"},
    {"power", "Power", "power", "W", "measurement", "w"},
    {"capacity", "Capacity", nullptr, "Ah", "total_increasing", "ah"},
    {"energy", "Energy", "energy", "Wh", "total_increasing", "wh"},
    {"temperature", "Temperature", "temperature", "\u00B0C", "measurement", "temp_c"},
    {"state", "Run state", "enum", nullptr, nullptr, "state"},
};

QString uniqueId(const DeviceTopics& t, int c, const char* key) {
  return QStringLiteral("ondrel_%1_%2_%3_%4")
      .arg(t.host, t.port)
      .arg(c + 1)
      .arg(QLatin1String(key));
}

QString configTopic(const QString& id) {
  return QStringLiteral("homeassistant/sensor/") + id + QStringLiteral("/config");
}

} // namespace

std::vector<QString> discoveryTopics(const DeviceTopics& t) {
  std::vector<QString> out;
  for (int c = 0; c < 2; ++c)
    for (const SensorKind& s : kSensors)
      out.push_back(configTopic(uniqueId(t, c, s.key)));
  return out;
}

std::vector<std::pair<QString, QByteArray>> discoveryConfigs(const DeviceTopics& t,
                                                             const SlotModel& m) {
  std::vector<std::pair<QString, QByteArray>> out;
  const QString model = m.at(0).row.device;
  QJsonObject device;
  device.insert(QStringLiteral("identifiers"),
                QJsonArray{QStringLiteral("ondrel_%1_%2").arg(t.host, t.port)});
  device.insert(QStringLiteral("name"), QStringLiteral("%1 %2 (%3)").arg(model, t.port, t.host));
  device.insert(QStringLiteral("model"), model);
  device.insert(QStringLiteral("manufacturer"), QStringLiteral("Ondrel"));
  device.insert(QStringLiteral("sw_version"), firmwareText(m.params));
  device.insert(QStringLiteral("serial_number"), t.host + u':' + t.port);
  const int channels = m.Dev2S ? 2 : 1;
  for (int c = 0; c < channels; ++c)
    for (const SensorKind& s : kSensors) {
      if (QLatin1String(s.key) == QLatin1String("temperature") && !m.params.HasTemp)
        continue;
      const QString id = uniqueId(t, c, s.key);
      QJsonObject o;
      o.insert(QStringLiteral("name"),
               channels == 2 ? QStringLiteral("Channel %1 %2").arg(c + 1).arg(QString::fromLatin1(s.name).toLower())
                             : QString::fromLatin1(s.name));
      o.insert(QStringLiteral("unique_id"), id);
      o.insert(QStringLiteral("state_topic"), t.state(c));
      o.insert(QStringLiteral("value_template"),
               QStringLiteral("{{ value_json.%1 }}").arg(QLatin1String(s.field)));
      if (s.deviceClass)
        o.insert(QStringLiteral("device_class"), QLatin1String(s.deviceClass));
      if (s.unit)
        o.insert(QStringLiteral("unit_of_measurement"), QString::fromUtf8(s.unit));
      if (s.stateClass)
        o.insert(QStringLiteral("state_class"), QLatin1String(s.stateClass));
      if (QLatin1String(s.key) == QLatin1String("state"))
        o.insert(QStringLiteral("options"), QJsonArray{QStringLiteral("idle"), QStringLiteral("running")});
      o.insert(QStringLiteral("availability_topic"), t.availability());
      o.insert(QStringLiteral("payload_available"), QStringLiteral("online"));
      o.insert(QStringLiteral("payload_not_available"), QStringLiteral("offline"));
      o.insert(QStringLiteral("device"), device);
      out.emplace_back(configTopic(id), QJsonDocument(o).toJson(QJsonDocument::Compact));
    }
  return out;
}

QByteArray stateMessage(const SlotModel& m, int c, const QString& label) {
  QJsonObject o = sampleObject(m, c);
  o.insert(QStringLiteral("model"), m.at(c).row.device);
  o.insert(QStringLiteral("label"), label);
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::unique_ptr<DeviceTelemetry> DeviceTelemetry::make(const MqttConfig& config,
                                                       const QString& port, QString* error,
                                                       QObject* parent) {
  const std::optional<BrokerAddress> broker = parseBrokerUrl(config.url, error);
  if (!broker)
    return nullptr;
  MqttConnectOptions o;
  o.broker = *broker;
  o.user = config.user;
  if (!config.passFile.isEmpty()) {
    o.password = readPasswordFile(config.passFile, error);
    if (!o.password)
      return nullptr;
  }
  o.caFile = config.caFile;
  DeviceTopics t{topicSafe(config.prefix, true), telemetryHostId(QSysInfo::machineHostName()),
                 topicSafe(port)};
  o.clientId = QStringLiteral("ondrel-%1-%2").arg(t.host, t.port);
  o.willTopic = t.availability();
  o.willPayload = "offline";
  return std::make_unique<DeviceTelemetry>(config, t, makeMosquittoClient(o), parent);
}

DeviceTelemetry::DeviceTelemetry(const MqttConfig& config, const DeviceTopics& topics,
                                 std::unique_ptr<MqttClient> client, QObject* parent)
    : QObject(parent), m_config(config), m_topics(topics), m_client(std::move(client)) {
  // The client's thread only hands over; this object acts on its own thread.
  m_client->onStatus = [this](bool up, const QString& reason) {
    QMetaObject::invokeMethod(this, [this, up, reason] { clientStatus(up, reason); },
                              Qt::QueuedConnection);
  };
  m_client->onMessage = [this](const QString& topic, const QByteArray& payload) {
    QMetaObject::invokeMethod(this, [this, topic, payload] { clientMessage(topic, payload); },
                              Qt::QueuedConnection);
  };
  m_client->subscribe(m_topics.stopPattern());
  m_client->start();
}

DeviceTelemetry::~DeviceTelemetry() {
  close();
}

void DeviceTelemetry::clientStatus(bool up, const QString& reason) {
  // One word per change: a refused or lost connection is said once until it is back, however
  // often the client tries again meanwhile.
  if (up == m_connected && (up || m_offlineSaid))
    return;
  m_connected = up;
  m_offlineSaid = !up;
  if (!up)
    ErrLog(QStringLiteral("ErrMqtt"), m_topics.port + QStringLiteral(": ") + reason);
  emit statusChanged(up, reason);
}

void DeviceTelemetry::clientMessage(const QString& topic, const QByteArray& payload) {
  const int c = m_topics.stopChannel(topic);
  if (c < 0 || payload.trimmed() != "stop")
    return;
  if (!m_config.allowStop) {
    if (!m_stopRefusalLogged)
      ErrLog(QStringLiteral("ErrMqttStop"),
             QStringLiteral("%1: a stop request was ignored (ALLOWSTOP is off)").arg(topic));
    m_stopRefusalLogged = true;
    return;
  }
  emit stopRequested(c);
}

void DeviceTelemetry::identified(const SlotModel& m, const QJsonObject& event) {
  if (m_closed)
    return;
  for (const auto& [topic, payload] : discoveryConfigs(m_topics, m))
    m_client->publish(topic, payload, true);
  m_client->publish(m_topics.availability(), "online", true);
  this->event(0, event);
}

void DeviceTelemetry::sample(const SlotModel& m, int c, const QString& label) {
  if (m_closed || c < 0 || c > 1)
    return;
  const QString state = runState(m, c);
  QElapsedTimer& last = m_lastState[size_t(c)];
  if (last.isValid() && state == m_lastRunState[size_t(c)] &&
      last.elapsed() < qint64(m_config.rate) * 1000)
    return;
  last.start();
  m_lastRunState[size_t(c)] = state;
  m_client->publish(m_topics.state(c), stateMessage(m, c, label), true);
}

void DeviceTelemetry::event(int c, const QJsonObject& event) {
  if (m_closed)
    return;
  m_client->publish(m_topics.event(c), QJsonDocument(event).toJson(QJsonDocument::Compact), false);
}

void DeviceTelemetry::forget() {
  for (const QString& topic : discoveryTopics(m_topics))
    m_client->publish(topic, QByteArray(), true);
}

void DeviceTelemetry::close() {
  if (m_closed)
    return;
  m_closed = true;
  m_client->publish(m_topics.availability(), "offline", true);
  m_client->stop(1000);
}

} // namespace ondrel
