#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

struct mosquitto;
struct mosquitto_message;

namespace ondrel::testing {

// Runs the event loop until `done` holds or `ms` pass; whether it held.
bool waitWhileProcessingEvents(const std::function<bool()>& done, int ms);

// A broker of the test's own: Debian's mosquitto on a free loopback port, configured in a
// temporary folder, stopped at the end. Never a system service.
class PrivateBroker {
public:
  struct Options {
    bool tls = false;        // a listener with a certificate made for "localhost"
    QString user, password;  // a password file with this user; anonymous clients refused
  };
  explicit PrivateBroker(Options options);
  PrivateBroker() : PrivateBroker(Options{}) {}
  ~PrivateBroker();

  bool start(QString* error = nullptr); // (again) on the same port
  void kill();                          // SIGKILL: no goodbye to anyone
  // SIGSTOP / SIGCONT: connections stay open and nothing is answered, as with a hung broker.
  void pause(bool paused);
  int port() const { return m_port; }
  QString url() const;
  QString caFile() const { return m_dir.filePath("ca.pem"); }
  QString folder() const { return m_dir.path(); }
  const Options& options() const { return m_options; }

private:
  Options m_options;
  QTemporaryDir m_dir;
  int m_port = 0;
  std::unique_ptr<QProcess> m_process;
};

// A subscriber that collects every message it hears, on libmosquitto's thread.
class Collector {
public:
  struct Message {
    QString topic;
    QByteArray payload;
    bool retained = false;
  };
  // With the broker's TLS and user when it has them.
  Collector(const PrivateBroker& broker, const QString& pattern = QStringLiteral("#"));
  ~Collector();
  bool connected() const;
  QList<Message> messages() const;
  QList<Message> on(const QString& topic) const;
  // Publishes from the test (a stop request).
  void publish(const QString& topic, const QByteArray& payload);

private:
  static void onMessage(mosquitto*, void*, const mosquitto_message*);
  static void onConnect(mosquitto*, void*, int);
  mosquitto* m_mosq = nullptr;
  QString m_pattern;
  mutable std::mutex m_mutex;
  QList<Message> m_messages;
  bool m_connected = false;
};

} // namespace ondrel::testing
