#include "support/pgserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <unistd.h>

namespace ondrel::testing {

namespace {
QString findBin() {
  const QDir root(QStringLiteral("/usr/lib/postgresql"));
  QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
  for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
    const QString bin = root.filePath(*it + QStringLiteral("/bin"));
    if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/pg_ctl")))
      return bin;
  }
  return {};
}
int freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  ::close(fd);
  return port;
}
} // namespace

PgServer::PgServer() {
  m_bin = findBin();
  if (m_bin.isEmpty()) {
    m_problem = QStringLiteral("PostgreSQL (initdb, pg_ctl) is not installed");
    return;
  }
  m_asPostgres = ::geteuid() == 0;
  m_user = m_asPostgres ? QStringLiteral("postgres") : qEnvironmentVariable("USER", QStringLiteral("ondrel"));
  m_data = m_dir.filePath(QStringLiteral("data"));
  if (m_asPostgres) {
    QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("postgres"), m_dir.path()});
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ExeOther);
  }
  QString out;
  if (!run(QStringLiteral("initdb"), {QStringLiteral("-D"), m_data, QStringLiteral("-U"), m_user,
                                      QStringLiteral("-A"), QStringLiteral("trust"),
                                      QStringLiteral("--no-sync")},
           &out)) {
    m_problem = QStringLiteral("initdb failed: ") + out;
    return;
  }
  m_port = freePort();
  if (!start())
    m_problem = QStringLiteral("the server did not start");
}

PgServer::~PgServer() {
  if (m_problem.isEmpty())
    run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_data, QStringLiteral("-m"),
                                   QStringLiteral("immediate"), QStringLiteral("stop")});
}

QString PgServer::url() const {
  return QStringLiteral("postgresql://%1@127.0.0.1:%2/postgres").arg(m_user).arg(m_port);
}

QString PgServer::newDatabase(const QString& name) {
  if (!run(QStringLiteral("createdb"), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                                        QStringLiteral("-p"), QString::number(m_port),
                                        QStringLiteral("-U"), m_user, name}))
    return {};
  return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(m_user).arg(m_port).arg(name);
}

bool PgServer::start() {
  const QString options = QStringLiteral("-k %1 -h 127.0.0.1 -p %2 -F").arg(m_dir.path()).arg(m_port);
  return run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_data, QStringLiteral("-o"), options,
                                        QStringLiteral("-l"), m_dir.filePath(QStringLiteral("log")),
                                        QStringLiteral("-w"), QStringLiteral("-t"),
                                        QStringLiteral("60"), QStringLiteral("start")});
}

bool PgServer::stop() {
  return run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_data, QStringLiteral("-m"),
                                        QStringLiteral("fast"), QStringLiteral("-w"),
                                        QStringLiteral("stop")});
}

bool PgServer::run(const QString& tool, const QStringList& args, QString* output) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  // The sanitizers' preload must not reach PostgreSQL's own programs.
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("LD_PRELOAD"));
  p.setProcessEnvironment(env);
  const QString path = m_bin + QLatin1Char('/') + tool;
  p.setWorkingDirectory(m_dir.path());
  if (m_asPostgres)
    p.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=postgres"),
                                                   QStringLiteral("--regid=postgres"),
                                                   QStringLiteral("--clear-groups"), path} + args);
  else
    p.start(path, args);
  const bool ok = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  if (output)
    *output = QString::fromLocal8Bit(p.readAll());
  return ok;
}

} // namespace ondrel::testing
