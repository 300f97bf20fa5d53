#include "data/telemetry/mqttclient.h"

#include <mosquitto.h>

#include <QElapsedTimer>
#include <QThread>

#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace ondrel {
namespace {

class MosquittoClient final : public MqttClient {
public:
  explicit MosquittoClient(const MqttConnectOptions& o) : m_options(o) {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
  }
  ~MosquittoClient() override { stop(0); }

  void start() override {
    const QByteArray id = m_options.clientId.toUtf8();
    m_mosq = mosquitto_new(id.constData(), true, this);
    if (!m_mosq) {
      status(false, QStringLiteral("the client cannot be made"));
      return;
    }
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_reconnect_delay_set(m_mosq, 1, 60, true);
    mosquitto_connect_callback_set(m_mosq, &MosquittoClient::connected);
    mosquitto_disconnect_callback_set(m_mosq, &MosquittoClient::disconnected);
    mosquitto_message_callback_set(m_mosq, &MosquittoClient::message);
    mosquitto_publish_callback_set(m_mosq, &MosquittoClient::published);
    if (!m_options.user.isEmpty()) {
      const QByteArray user = m_options.user.toUtf8();
      const QByteArray pass = m_options.password ? m_options.password->toUtf8() : QByteArray();
      mosquitto_username_pw_set(m_mosq, user.constData(),
                                m_options.password ? pass.constData() : nullptr);
    }
    if (!m_options.willTopic.isEmpty()) {
      const QByteArray topic = m_options.willTopic.toUtf8();
      mosquitto_will_set(m_mosq, topic.constData(), int(m_options.willPayload.size()),
                         m_options.willPayload.constData(), 1, true);
    }
    if (m_options.broker.tls) {
      int rc = MOSQ_ERR_SUCCESS;
      if (!m_options.caFile.isEmpty()) {
        const QByteArray ca = m_options.caFile.toLocal8Bit();
        rc = mosquitto_tls_set(m_mosq, ca.constData(), nullptr, nullptr, nullptr, nullptr);
      } else {
        rc = mosquitto_int_option(m_mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
      }
      if (rc != MOSQ_ERR_SUCCESS) {
        status(false, QStringLiteral("TLS: %1").arg(QString::fromUtf8(mosquitto_strerror(rc))));
        return;
      }
      mosquitto_tls_insecure_set(m_mosq, false); // the broker's name must match its certificate
    }
    mosquitto_loop_start(m_mosq);
    const QByteArray host = m_options.broker.host.toUtf8();
    const int rc = mosquitto_connect_async(m_mosq, host.constData(), m_options.broker.port, 30);
    // The loop thread keeps trying with back-off; a first failure is only said.
    if (rc != MOSQ_ERR_SUCCESS)
      status(false, rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                                         : QString::fromUtf8(mosquitto_strerror(rc)));
  }

  void publish(const QString& topic, const QByteArray& payload, bool retain) override {
    std::lock_guard lock(m_mutex);
    if (retain) {
      if (payload.isEmpty())
        m_retained.erase(topic); // an empty retained message clears the topic on the broker
      else
        m_retained[topic] = payload;
    }
    // A broker that takes messages but does not acknowledge them (hung, overloaded) would have
    // the connection's queue grow for as long as it stays so: past a bound, messages wait here
    // as they do offline and leave when the acknowledgements catch up.
    const bool open = m_connected && m_unacked < kMaxUnacked;
    if (open && send(topic, payload, retain))
      return;
    if (retain) {
      if (payload.isEmpty())
        m_cleared.push_back(topic);
      else if (m_connected)
        m_dirty.insert(topic);
      return; // sent at the next connect, or when the acknowledgements catch up
    }
    m_events.emplace_back(topic, payload);
    while (m_events.size() > kMaxQueuedEvents)
      m_events.pop_front();
  }

  void subscribe(const QString& pattern) override {
    std::lock_guard lock(m_mutex);
    m_subscriptions.push_back(pattern);
    if (m_connected) {
      const QByteArray p = pattern.toUtf8();
      mosquitto_subscribe(m_mosq, nullptr, p.constData(), 1);
    }
  }

  void stop(int waitMs) override {
    if (!m_mosq)
      return;
    // What was handed over last (an end event, "offline") leaves before the connection does.
    QElapsedTimer t;
    t.start();
    while (waitMs > 0 && t.elapsed() < waitMs && pending() > 0)
      QThread::msleep(10);
    mosquitto_disconnect(m_mosq);
    mosquitto_loop_stop(m_mosq, false);
    mosquitto_destroy(m_mosq);
    m_mosq = nullptr;
  }

private:
  // Messages not yet acknowledged; while offline, whether anything waits for the connection.
  size_t pending() {
    std::lock_guard lock(m_mutex);
    if (!m_connected)
      return m_events.size() + m_retained.size() + m_cleared.size();
    return waitingLocked();
  }

  // With the mutex held.
  size_t waitingLocked() const {
    return m_unacked + m_events.size() + m_dirty.size() + m_cleared.size();
  }

public:
  size_t waiting() override {
    std::lock_guard lock(m_mutex);
    return waitingLocked();
  }

private:

  // With the mutex held.
  bool send(const QString& topic, const QByteArray& payload, bool retain) {
    const QByteArray t = topic.toUtf8();
    int mid = 0;
    const int rc = mosquitto_publish(m_mosq, &mid, t.constData(), int(payload.size()),
                                     payload.constData(), 1, retain);
    if (rc == MOSQ_ERR_SUCCESS)
      ++m_unacked;
    return rc == MOSQ_ERR_SUCCESS;
  }

  void status(bool up, const QString& reason) {
    if (onStatus)
      onStatus(up, reason);
  }

  static void connected(mosquitto*, void* self, int rc) {
    auto* c = static_cast<MosquittoClient*>(self);
    if (rc != 0) {
      c->status(false, QString::fromUtf8(mosquitto_connack_string(rc)));
      return;
    }
    {
      std::lock_guard lock(c->m_mutex);
      c->m_connected = true;
      c->m_unacked = 0;
      for (const QString& s : c->m_subscriptions) {
        const QByteArray p = s.toUtf8();
        mosquitto_subscribe(c->m_mosq, nullptr, p.constData(), 1);
      }
      for (const auto& [topic, payload] : c->m_retained)
        c->send(topic, payload, true);
      c->m_dirty.clear();
      c->sendKeptAside();
    }
    c->status(true, QString());
  }

  static void published(mosquitto*, void* self, int) {
    auto* c = static_cast<MosquittoClient*>(self);
    std::lock_guard lock(c->m_mutex);
    if (c->m_unacked > 0)
      --c->m_unacked;
    if (c->m_unacked <= kMaxUnacked / 2)
      c->sendKeptAside();
  }

  // With the mutex held and connected: what waited while the broker lagged.
  void sendKeptAside() {
    for (const QString& topic : m_cleared)
      send(topic, QByteArray(), true);
    m_cleared.clear();
    for (const QString& topic : m_dirty)
      if (auto it = m_retained.find(topic); it != m_retained.end())
        send(topic, it->second, true);
    m_dirty.clear();
    for (const auto& [topic, payload] : m_events)
      send(topic, payload, false);
    m_events.clear();
  }

  static void disconnected(mosquitto*, void* self, int rc) {
    auto* c = static_cast<MosquittoClient*>(self);
    {
      std::lock_guard lock(c->m_mutex);
      c->m_connected = false;
    }
    c->status(false, rc == 0 ? QStringLiteral("disconnected")
                             : QStringLiteral("connection lost (%1)")
                                   .arg(QString::fromUtf8(mosquitto_strerror(rc))));
  }

  static void message(mosquitto*, void* self, const mosquitto_message* m) {
    auto* c = static_cast<MosquittoClient*>(self);
    if (c->onMessage && m && m->topic)
      c->onMessage(QString::fromUtf8(m->topic),
                   QByteArray(static_cast<const char*>(m->payload), m->payloadlen));
  }

  MqttConnectOptions m_options;
  mosquitto* m_mosq = nullptr;
  std::mutex m_mutex;
  bool m_connected = false;
  size_t m_unacked = 0;
  std::map<QString, QByteArray> m_retained;
  std::set<QString> m_dirty; // retained topics whose latest message waits for the broker
  std::vector<QString> m_cleared;
  std::deque<std::pair<QString, QByteArray>> m_events;
  std::vector<QString> m_subscriptions;
};

} // namespace

std::unique_ptr<MqttClient> makeMosquittoClient(const MqttConnectOptions& options) {
  return std::make_unique<MosquittoClient>(options);
}

} // namespace ondrel
