#pragma once

#include "data/telemetry/mqttconfig.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace ondrel {

struct MqttConnectOptions {
  BrokerAddress broker;
  QString user;
  std::optional<QString> password;
  QString caFile; // mqtts: the broker's certificate is checked against it (else the system's store)
  QString clientId;
  QString willTopic; // the last will: `willPayload`, retained, when the connection dies
  QByteArray willPayload;
};

// A connection to a broker that lives on a thread of its own: connecting, reconnecting with
// back-off (1 s doubling to 60 s) and sending never wait on the caller. While offline it keeps the
// latest retained message per topic and at most 100 others, and sends them when it is back; the
// retained ones go out again after every reconnect, so a restarted broker is current at once. A
// broker that stops acknowledging is treated the same way once 200 messages wait for it.
class MqttClient {
public:
  virtual ~MqttClient() = default;

  // Run on the client's thread: they must only hand the work on.
  std::function<void(bool connected, const QString& reason)> onStatus;
  std::function<void(const QString& topic, const QByteArray& payload)> onMessage;

  virtual void start() = 0;
  virtual void publish(const QString& topic, const QByteArray& payload, bool retain) = 0;
  // Kept across reconnects.
  virtual void subscribe(const QString& pattern) = 0;
  // Sends what is waiting (for at most `waitMs`), then leaves without the last will.
  virtual void stop(int waitMs = 1000) = 0;

  // Messages handed to the connection and not yet acknowledged, and those kept aside for it.
  virtual size_t waiting() = 0;

  static constexpr size_t kMaxQueuedEvents = 100;
  // At most this many messages are with the connection unacknowledged; more wait as offline.
  static constexpr size_t kMaxUnacked = 200;
};

std::unique_ptr<MqttClient> makeMosquittoClient(const MqttConnectOptions& options);

} // namespace ondrel
