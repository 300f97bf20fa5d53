#pragma once

#include <QString>
#include <QTemporaryDir>

namespace ondrel::testing {

// A private PostgreSQL server for one test: initdb into a temporary folder, pg_ctl on a free
// loopback port, stopped and removed at the end. No system service is touched. As root the server
// runs as the "postgres" account, since PostgreSQL refuses to run as root.
class PgServer {
public:
  PgServer();
  ~PgServer();
  PgServer(const PgServer&) = delete;
  PgServer& operator=(const PgServer&) = delete;

  // Empty when the server runs; else why not (no PostgreSQL installed, ...).
  const QString& problem() const { return m_problem; }
  int port() const { return m_port; }
  QString url() const; // postgresql://<user>@127.0.0.1:<port>/postgres
  // A new empty database on this server, so that tests sharing one server do not see each
  // other's rows; its address, or empty when it could not be made.
  QString newDatabase(const QString& name);
  bool start();
  bool stop();

private:
  bool run(const QString& tool, const QStringList& args, QString* output = nullptr);

  QTemporaryDir m_dir;
  QString m_bin, m_data, m_user, m_problem;
  bool m_asPostgres = false;
  int m_port = 0;
};

} // namespace ondrel::testing
