#pragma once

#include "data/telemetry/mqttclient.h"
#include "data/telemetry/mqttconfig.h"
#include "test/slotmodel.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <utility>
#include <vector>

namespace ondrel {

// The topics of one device (by its port) under a prefix and host id.
struct DeviceTopics {
  QString prefix, host, port;
  QString base() const { return prefix + u'/' + host + u'/' + port; }
  QString availability() const { return base() + QStringLiteral("/availability"); }
  QString state(int c) const { return base() + u'/' + QString::number(c + 1) + QStringLiteral("/state"); }
  QString event(int c) const { return base() + u'/' + QString::number(c + 1) + QStringLiteral("/event"); }
  QString stopPattern() const { return base() + QStringLiteral("/+/stop"); }
  // The channel (0-based) a stop topic names; -1 for another topic.
  int stopChannel(const QString& topic) const;
};

// Home Assistant's discovery configs of a device: (topic, payload) for voltage, current, power,
// capacity, energy, temperature (where the model has a sensor) and run state of each channel.
std::vector<std::pair<QString, QByteArray>> discoveryConfigs(const DeviceTopics& t,
                                                             const SlotModel& m);
// The config topics of every sensor a device on the port may have had, to be cleared.
std::vector<QString> discoveryTopics(const DeviceTopics& t);
// The retained state of a channel: the sample object with the model and label.
QByteArray stateMessage(const SlotModel& m, int c, const QString& label);

// One device's telemetry: its own broker connection (whose last will marks the device offline),
// the state of each channel at most once per RATE seconds and at once when its run state
// changes, the events, the discovery configs, and the stop topic. Everything it sends is handed
// to the client's thread; nothing here waits for the broker.
class DeviceTelemetry : public QObject {
  Q_OBJECT
public:
  // Nothing, with the reason, when the configuration cannot work (a bad address, an unreadable
  // password file).
  static std::unique_ptr<DeviceTelemetry> make(const MqttConfig& config, const QString& port,
                                               QString* error, QObject* parent = nullptr);
  DeviceTelemetry(const MqttConfig& config, const DeviceTopics& topics,
                  std::unique_ptr<MqttClient> client, QObject* parent = nullptr);
  ~DeviceTelemetry() override;

  const DeviceTopics& topics() const { return m_topics; }
  bool connected() const { return m_connected; }

  // The device is identified: its configs, "online", and the event.
  void identified(const SlotModel& m, const QJsonObject& event);
  // A report of channel c was taken.
  void sample(const SlotModel& m, int c, const QString& label);
  void event(int c, const QJsonObject& event);
  // The device is gone: "offline", then the connection closes.
  void close();
  // Removes the device's configs from the broker (empty retained messages).
  void forget();

signals:
  void statusChanged(bool connected, const QString& reason);
  // A "stop" arrived for the channel and stopping is allowed.
  void stopRequested(int c);

private:
  void clientStatus(bool up, const QString& reason);
  void clientMessage(const QString& topic, const QByteArray& payload);

  MqttConfig m_config;
  DeviceTopics m_topics;
  std::unique_ptr<MqttClient> m_client;
  bool m_connected = false;
  bool m_offlineSaid = false;
  bool m_closed = false;
  bool m_stopRefusalLogged = false;
  std::array<QElapsedTimer, 2> m_lastState;
  std::array<QString, 2> m_lastRunState;
};

} // namespace ondrel
