#include "support/privatebroker.h"

#include <mosquitto.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <csignal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ondrel::testing {
namespace {

int freeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

bool accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(quint16(port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

bool run(const QString& program, const QStringList& args, const QString& dir) {
  QProcess p;
  p.setWorkingDirectory(dir);
  p.start(program, args);
  return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

bool waitWhileProcessingEvents(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    if (done())
      return true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return done();
}

PrivateBroker::PrivateBroker(Options options) : m_options(std::move(options)) {
  m_port = freeLoopbackPort();
  QString conf = QStringLiteral("listener %1 127.0.0.1\npersistence false\n").arg(m_port);
  // Started as root, mosquitto would drop to its own user, which may not read the test's folder.
  if (const passwd* me = ::getpwuid(::getuid()))
    conf += QStringLiteral("user %1\n").arg(QString::fromLocal8Bit(me->pw_name));
  if (m_options.tls) {
    // A certificate authority of the test's own and a certificate for localhost signed by it.
    const QString d = m_dir.path();
    run("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                    "/CN=Ondrel test CA", "-keyout", "ca.key", "-out", "ca.pem"}, d);
    run("openssl", {"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-keyout",
                    "server.key", "-out", "server.csr"}, d);
    QFile ext(m_dir.filePath("ext.cnf"));
    ext.open(QIODevice::WriteOnly);
    ext.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n");
    ext.close();
    run("openssl", {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                    "-CAcreateserial", "-days", "2", "-extfile", "ext.cnf", "-out", "server.pem"},
        d);
    conf += QStringLiteral("cafile %1\ncertfile %2\nkeyfile %3\n")
                .arg(m_dir.filePath("ca.pem"), m_dir.filePath("server.pem"),
                     m_dir.filePath("server.key"));
  }
  if (!m_options.user.isEmpty()) {
    run("mosquitto_passwd", {"-b", "-c", "passwd", m_options.user, m_options.password},
        m_dir.path());
    conf += QStringLiteral("allow_anonymous false\npassword_file %1\n")
                .arg(m_dir.filePath("passwd"));
  } else {
    conf += QStringLiteral("allow_anonymous true\n");
  }
  QFile f(m_dir.filePath("mosquitto.conf"));
  f.open(QIODevice::WriteOnly);
  f.write(conf.toUtf8());
}

PrivateBroker::~PrivateBroker() {
  kill();
}

void PrivateBroker::pause(bool paused) {
  if (m_process)
    ::kill(static_cast<pid_t>(m_process->processId()), paused ? SIGSTOP : SIGCONT);
}

QString PrivateBroker::url() const {
  return m_options.tls ? QStringLiteral("mqtts://localhost:%1").arg(m_port)
                       : QStringLiteral("mqtt://127.0.0.1:%1").arg(m_port);
}

bool PrivateBroker::start(QString* error) {
  m_process = std::make_unique<QProcess>();
  m_process->setProcessChannelMode(QProcess::MergedChannels);
  m_process->start("mosquitto", {"-c", m_dir.filePath("mosquitto.conf")});
  if (!m_process->waitForStarted(5000)) {
    if (error)
      *error = "mosquitto did not start: " + m_process->errorString();
    return false;
  }
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 10000) {
    if (accepts(m_port))
      return true;
    if (m_process->state() == QProcess::NotRunning)
      break;
    QThread::msleep(20);
  }
  if (error)
    *error = "mosquitto did not listen: " + QString::fromUtf8(m_process->readAll());
  return false;
}

void PrivateBroker::kill() {
  if (!m_process)
    return;
  pause(false); // a stopped process would take its SIGKILL only after SIGCONT anyway
  m_process->kill();
  m_process->waitForFinished(5000);
  m_process.reset();
}

Collector::Collector(const PrivateBroker& broker, const QString& pattern) : m_pattern(pattern) {
  mosquitto_lib_init();
  m_mosq = mosquitto_new(nullptr, true, this);
  mosquitto_message_callback_set(m_mosq, &Collector::onMessage);
  mosquitto_connect_callback_set(m_mosq, &Collector::onConnect);
  mosquitto_reconnect_delay_set(m_mosq, 1, 1, false);
  const PrivateBroker::Options& o = broker.options();
  if (!o.user.isEmpty()) {
    const QByteArray u = o.user.toUtf8(), pw = o.password.toUtf8();
    mosquitto_username_pw_set(m_mosq, u.constData(), pw.constData());
  }
  if (o.tls) {
    const QByteArray ca = broker.caFile().toLocal8Bit();
    mosquitto_tls_set(m_mosq, ca.constData(), nullptr, nullptr, nullptr, nullptr);
  }
  mosquitto_loop_start(m_mosq);
  mosquitto_connect_async(m_mosq, o.tls ? "localhost" : "127.0.0.1", broker.port(), 30);
}

Collector::~Collector() {
  mosquitto_disconnect(m_mosq);
  mosquitto_loop_stop(m_mosq, false);
  mosquitto_destroy(m_mosq);
}

void Collector::onConnect(mosquitto* m, void* self, int rc) {
  auto* c = static_cast<Collector*>(self);
  if (rc != 0)
    return;
  const QByteArray p = c->m_pattern.toUtf8();
  mosquitto_subscribe(m, nullptr, p.constData(), 1);
  std::lock_guard lock(c->m_mutex);
  c->m_connected = true;
}

void Collector::onMessage(mosquitto*, void* self, const mosquitto_message* m) {
  auto* c = static_cast<Collector*>(self);
  std::lock_guard lock(c->m_mutex);
  c->m_messages.append({QString::fromUtf8(m->topic),
                        QByteArray(static_cast<const char*>(m->payload), m->payloadlen),
                        m->retain});
}

bool Collector::connected() const {
  std::lock_guard lock(m_mutex);
  return m_connected;
}

QList<Collector::Message> Collector::messages() const {
  std::lock_guard lock(m_mutex);
  return m_messages;
}

QList<Collector::Message> Collector::on(const QString& topic) const {
  QList<Message> out;
  for (const Message& m : messages())
    if (m.topic == topic)
      out << m;
  return out;
}

void Collector::publish(const QString& topic, const QByteArray& payload) {
  const QByteArray t = topic.toUtf8();
  mosquitto_publish(m_mosq, nullptr, t.constData(), int(payload.size()), payload.constData(), 1,
                    false);
}

} // namespace ondrel::testing
