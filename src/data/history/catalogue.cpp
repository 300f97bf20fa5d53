#include "history/catalogue.h"

#include "data/support/failure.h"

#include <QAtomicInteger>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <QVariant>

namespace ondrel {

QString StoreTarget::describe() const {
  if (kind == Kind::Sqlite)
    return path;
  return QStringLiteral("%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

std::optional<StoreTarget> parseArchiveUrl(const QString& text, QString* error) {
  const QUrl url(text.trimmed(), QUrl::StrictMode);
  const QString scheme = url.scheme().toLower();
  const auto refuse = [&](const QString& why) -> std::optional<StoreTarget> {
    if (error)
      *error = why;
    return std::nullopt;
  };
  if (!url.isValid() || (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres")))
    return refuse(QStringLiteral("not a postgresql:// address: %1").arg(text));
  StoreTarget t;
  t.kind = StoreTarget::Kind::Postgres;
  t.host = url.host();
  t.port = url.port(5432);
  t.user = url.userName();
  t.password = url.password();
  t.database = url.path().mid(1);
  if (t.host.isEmpty() || t.database.isEmpty() || t.database.contains(QLatin1Char('/')))
    return refuse(QStringLiteral("the address needs a host and a database: %1").arg(text));
  return t;
}

const QStringList& testColumns() {
  static const QStringList columns{
      QStringLiteral("uid"),         QStringLiteral("kind"),          QStringLiteral("started_utc"),
      QStringLiteral("ended_utc"),   QStringLiteral("host"),          QStringLiteral("port"),
      QStringLiteral("slot"),        QStringLiteral("channel"),       QStringLiteral("model"),
      QStringLiteral("firmware"),    QStringLiteral("mode"),          QStringLiteral("set_value"),
      QStringLiteral("limit_value"), QStringLiteral("time_value"),    QStringLiteral("label"),
      QStringLiteral("begin_v"),     QStringLiteral("end_v"),         QStringLiteral("avg_v"),
      QStringLiteral("capacity_ah"), QStringLiteral("energy_wh"),     QStringLiteral("max_temp_c"),
      QStringLiteral("resistance_mohm"), QStringLiteral("end_reason"), QStringLiteral("data_file"),
      QStringLiteral("recording_file"),  QStringLiteral("data_hash"),  QStringLiteral("unsent")};
  return columns;
}

namespace {

QVariant number(const std::optional<double>& v) {
  return v ? QVariant(*v) : QVariant(QMetaType(QMetaType::Double));
}
std::optional<double> number(const QVariant& v) {
  if (v.isNull())
    return std::nullopt;
  bool ok = false;
  const double d = v.toDouble(&ok);
  return ok ? std::optional<double>(d) : std::nullopt;
}

QVariantList valuesOf(const TestRecord& r) {
  return {r.uid,       r.kind,        r.startedUtc,  r.endedUtc,   r.host,
          r.port,      r.slot,        r.channel,     r.model,      r.firmware,
          r.mode,      number(r.setValue), number(r.limitValue), number(r.timeValue), r.label,
          number(r.beginV),     number(r.endV),     number(r.avgV),     number(r.capacityAh),
          number(r.energyWh),   number(r.maxTempC), number(r.resistanceMohm), r.endReason,
          r.dataFile,  r.recordingFile, r.dataHash, r.unsent ? 1 : 0};
}

TestRecord recordOf(const QSqlQuery& q) {
  const QSqlRecord rec = q.record();
  const auto v = [&](const char* name) { return q.value(rec.indexOf(QLatin1String(name))); };
  TestRecord r;
  r.id = v("id").toLongLong();
  r.uid = v("uid").toString();
  r.kind = v("kind").toString();
  r.startedUtc = v("started_utc").toString();
  r.endedUtc = v("ended_utc").toString();
  r.host = v("host").toString();
  r.port = v("port").toString();
  r.slot = v("slot").toInt();
  r.channel = v("channel").toInt();
  r.model = v("model").toString();
  r.firmware = v("firmware").toString();
  r.mode = v("mode").toString();
  r.setValue = number(v("set_value"));
  r.limitValue = number(v("limit_value"));
  r.timeValue = number(v("time_value"));
  r.label = v("label").toString();
  r.beginV = number(v("begin_v"));
  r.endV = number(v("end_v"));
  r.avgV = number(v("avg_v"));
  r.capacityAh = number(v("capacity_ah"));
  r.energyWh = number(v("energy_wh"));
  r.maxTempC = number(v("max_temp_c"));
  r.resistanceMohm = number(v("resistance_mohm"));
  r.endReason = v("end_reason").toString();
  r.dataFile = v("data_file").toString();
  r.recordingFile = v("recording_file").toString();
  r.dataHash = v("data_hash").toString();
  r.unsent = v("unsent").toInt() != 0;
  return r;
}

// The schema's steps; step n brings version n-1 to n. `%ID%` and `%REAL%` differ by driver.
const std::vector<std::vector<const char*>>& migrations() {
  static const std::vector<std::vector<const char*>> steps{
      {"CREATE TABLE IF NOT EXISTS tests ("
       "id %ID%, uid TEXT NOT NULL UNIQUE, kind TEXT NOT NULL, started_utc TEXT, ended_utc TEXT, "
       "host TEXT, port TEXT, slot INTEGER, channel INTEGER, model TEXT, firmware TEXT, mode TEXT, "
       "set_value %REAL%, limit_value %REAL%, time_value %REAL%, label TEXT, begin_v %REAL%, "
       "end_v %REAL%, avg_v %REAL%, capacity_ah %REAL%, energy_wh %REAL%, max_temp_c %REAL%, "
       "resistance_mohm %REAL%, end_reason TEXT, data_file TEXT, recording_file TEXT, "
       "data_hash TEXT, unsent INTEGER NOT NULL DEFAULT 0)",
       "CREATE INDEX IF NOT EXISTS tests_started ON tests (started_utc)",
       "CREATE INDEX IF NOT EXISTS tests_model ON tests (model)",
       "CREATE INDEX IF NOT EXISTS tests_mode ON tests (mode)",
       "CREATE INDEX IF NOT EXISTS tests_label ON tests (label)",
       // The range filters' indexes also hold what the sums line adds up, so the sums of a range
       // never read the table.
       "CREATE INDEX IF NOT EXISTS tests_capacity ON tests (capacity_ah, energy_wh, resistance_mohm)",
       "CREATE INDEX IF NOT EXISTS tests_resistance ON tests (resistance_mohm, capacity_ah, energy_wh)",
       "CREATE INDEX IF NOT EXISTS tests_data_file ON tests (data_file)",
       "CREATE INDEX IF NOT EXISTS tests_data_hash ON tests (data_hash)",
       "CREATE INDEX IF NOT EXISTS tests_unsent ON tests (unsent)"},
  };
  return steps;
}

const QStringList& sortable() {
  static const QStringList columns = [] {
    QStringList c = testColumns();
    c << QStringLiteral("id");
    return c;
  }();
  return columns;
}

QString likePattern(const QString& text) {
  QString t = text;
  t.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
  t.replace(QLatin1Char('%'), QLatin1String("\\%"));
  t.replace(QLatin1Char('_'), QLatin1String("\\_"));
  return QLatin1Char('%') + t.toLower() + QLatin1Char('%');
}

// The WHERE clause of a filter and its bound values.
QString whereOf(const HistoryFilter& f, QVariantList& values) {
  QStringList parts;
  const auto like = [&](const char* column, const QString& text) {
    if (text.trimmed().isEmpty())
      return;
    parts << QStringLiteral("lower(%1) LIKE ? ESCAPE '\\'").arg(QLatin1String(column));
    values << likePattern(text.trimmed());
  };
  like("label", f.label);
  like("model", f.model);
  like("mode", f.mode);
  if (!f.kind.isEmpty()) {
    parts << QStringLiteral("kind = ?");
    values << f.kind;
  }
  if (f.from) {
    parts << QStringLiteral("started_utc >= ?");
    values << f.from->toString(Qt::ISODate);
  }
  if (f.to) {
    parts << QStringLiteral("started_utc < ?");
    values << f.to->addDays(1).toString(Qt::ISODate);
  }
  const auto range = [&](const char* column, const std::optional<double>& lo,
                         const std::optional<double>& hi) {
    if (lo) {
      parts << QStringLiteral("%1 >= ?").arg(QLatin1String(column));
      values << *lo;
    }
    if (hi) {
      parts << QStringLiteral("%1 <= ?").arg(QLatin1String(column));
      values << *hi;
    }
  };
  range("capacity_ah", f.capacityMinAh, f.capacityMaxAh);
  range("resistance_mohm", f.resistanceMinMohm, f.resistanceMaxMohm);
  return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
}

QString idList(const std::vector<qint64>& ids) {
  QStringList s;
  for (qint64 id : ids)
    s << QString::number(id);
  return s.join(QLatin1Char(','));
}

} // namespace

Catalogue::Catalogue(StoreTarget target) : m_target(std::move(target)) {
  static QAtomicInteger<int> counter;
  m_name = QStringLiteral("ondrel-catalogue-%1").arg(counter.fetchAndAddRelaxed(1));
  QSqlDatabase d = QSqlDatabase::addDatabase(
      m_target.kind == StoreTarget::Kind::Sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"),
      m_name);
  if (m_target.kind == StoreTarget::Kind::Sqlite) {
    d.setDatabaseName(m_target.path);
    // Other processes may write at the same moment: wait for their lock rather than fail.
    d.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
  } else {
    d.setHostName(m_target.host);
    d.setPort(m_target.port);
    d.setUserName(m_target.user);
    d.setPassword(m_target.password);
    d.setDatabaseName(m_target.database);
    d.setConnectOptions(QStringLiteral("connect_timeout=3"));
  }
}

Catalogue::~Catalogue() {
  {
    QSqlDatabase d = db();
    if (d.isOpen())
      d.close();
  }
  QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase Catalogue::db() const {
  return QSqlDatabase::database(m_name, false);
}

void Catalogue::fail(const QString& what, const QString& detail) const {
  throw Failure(QStringLiteral("%1 (%2): %3").arg(what, m_target.describe(), detail.trimmed()));
}

bool Catalogue::begin() {
  if (m_target.kind == StoreTarget::Kind::Postgres)
    return db().transaction();
  // The write lock at once: two processes that both read first and then write would find each
  // other's lock with nothing to wait for, and one of them would fail.
  QSqlQuery q(db());
  return q.exec(QStringLiteral("BEGIN IMMEDIATE"));
}

bool Catalogue::commit() {
  if (m_target.kind == StoreTarget::Kind::Postgres)
    return db().commit();
  QSqlQuery q(db());
  return q.exec(QStringLiteral("COMMIT"));
}

void Catalogue::rollback() {
  if (m_target.kind == StoreTarget::Kind::Postgres) {
    db().rollback();
    return;
  }
  QSqlQuery q(db());
  q.exec(QStringLiteral("ROLLBACK"));
}

void Catalogue::open() {
  QSqlDatabase d = db();
  if (!d.isValid())
    fail(QStringLiteral("The database driver is missing"), d.lastError().text());
  if (!d.isOpen() && !d.open())
    fail(QStringLiteral("The catalogue cannot be opened"), d.lastError().text());
  if (m_target.kind == StoreTarget::Kind::Sqlite) {
    QSqlQuery q(d);
    // A file that is no SQLite database fails here, before anything is written to it.
    if (!q.exec(QStringLiteral("PRAGMA schema_version")))
      fail(QStringLiteral("The catalogue cannot be read"), q.lastError().text());
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
      fail(QStringLiteral("The catalogue cannot be read"), q.lastError().text());
    // WAL with full sync: a commit survives the process being killed, and a power cut too.
    q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    // The history window reads 100 000 rows and more: pages mapped and kept, not read again.
    q.exec(QStringLiteral("PRAGMA cache_size=-65536"));
    q.exec(QStringLiteral("PRAGMA mmap_size=268435456"));
  }
  migrate();
  m_open = true;
}

int Catalogue::schemaVersion() {
  QSqlQuery q(db());
  if (!q.exec(QStringLiteral("SELECT value FROM catalogue_meta WHERE name = 'schema_version'")))
    return 0;
  return q.next() ? q.value(0).toInt() : 0;
}

void Catalogue::migrate() {
  QSqlDatabase d = db();
  const bool pg = m_target.kind == StoreTarget::Kind::Postgres;
  QSqlQuery q(d);
  if (!q.exec(QStringLiteral(
          "CREATE TABLE IF NOT EXISTS catalogue_meta (name TEXT PRIMARY KEY, value TEXT)"))) {
    // Another process may be creating it at this moment (PostgreSQL): it is there if it reads.
    if (!q.exec(QStringLiteral("SELECT 1 FROM catalogue_meta")))
      fail(QStringLiteral("The catalogue cannot be read"), q.lastError().text());
  }
  const int version = schemaVersion();
  if (version > kSchemaVersion)
    fail(QStringLiteral("The catalogue was written by a newer program"),
         QStringLiteral("schema %1, this program knows %2").arg(version).arg(kSchemaVersion));
  if (version == kSchemaVersion)
    return;
  if (!begin())
    fail(QStringLiteral("The catalogue cannot be updated"), d.lastError().text());
  if (pg)
    q.exec(QStringLiteral("LOCK TABLE catalogue_meta IN EXCLUSIVE MODE"));
  const auto& steps = migrations();
  for (int v = schemaVersion(); v < kSchemaVersion; ++v) {
    for (const char* statement : steps.at(size_t(v))) {
      QString sql = QString::fromLatin1(statement);
      sql.replace(QLatin1String("%ID%"),
                  pg ? QLatin1String("BIGSERIAL PRIMARY KEY") : QLatin1String("INTEGER PRIMARY KEY"));
      sql.replace(QLatin1String("%REAL%"), pg ? QLatin1String("DOUBLE PRECISION") : QLatin1String("REAL"));
      if (!q.exec(sql)) {
        const QString error = q.lastError().text();
        rollback();
        fail(QStringLiteral("The catalogue cannot be updated"), error);
      }
    }
  }
  q.prepare(QStringLiteral("DELETE FROM catalogue_meta WHERE name = 'schema_version'"));
  q.exec();
  q.prepare(QStringLiteral("INSERT INTO catalogue_meta (name, value) VALUES ('schema_version', ?)"));
  q.addBindValue(QString::number(kSchemaVersion));
  if (!q.exec() || !commit()) {
    const QString error = q.lastError().text() + d.lastError().text();
    rollback();
    fail(QStringLiteral("The catalogue cannot be updated"), error);
  }
}

int Catalogue::add(const std::vector<TestRecord>& rows) {
  if (rows.empty())
    return 0;
  QSqlDatabase d = db();
  const QStringList& columns = testColumns();
  QStringList marks;
  for (qsizetype i = 0; i < columns.size(); ++i)
    marks << QStringLiteral("?");
  const QString sql = QStringLiteral("INSERT INTO tests (%1) VALUES (%2) ON CONFLICT (uid) DO NOTHING")
                          .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
  if (!begin())
    fail(QStringLiteral("The catalogue cannot be written"), d.lastError().text());
  int added = 0;
  QSqlQuery q(d);
  q.prepare(sql);
  for (const TestRecord& r : rows) {
    const QVariantList values = valuesOf(r);
    for (qsizetype i = 0; i < values.size(); ++i)
      q.bindValue(int(i), values.at(i));
    if (!q.exec()) {
      const QString error = q.lastError().text();
      q.finish();
      rollback();
      fail(QStringLiteral("The catalogue cannot be written"), error);
    }
    added += qMax(0, q.numRowsAffected());
  }
  q.finish();
  if (!commit()) {
    const QString error = d.lastError().text();
    rollback();
    fail(QStringLiteral("The catalogue cannot be written"), error);
  }
  return added;
}

std::vector<TestRecord> Catalogue::query(const HistoryFilter& filter, const HistorySort& sort,
                                         int limit, int offset) {
  QVariantList values;
  const QString column = sortable().contains(sort.column) ? sort.column : QStringLiteral("started_utc");
  QString sql = QStringLiteral("SELECT * FROM tests") + whereOf(filter, values) +
                QStringLiteral(" ORDER BY %1 %2, id %2").arg(column, sort.descending ? QStringLiteral("DESC") : QStringLiteral("ASC"));
  if (limit >= 0)
    sql += QStringLiteral(" LIMIT %1 OFFSET %2").arg(limit).arg(qMax(0, offset));
  QSqlQuery q(db());
  q.setForwardOnly(true);
  q.prepare(sql);
  for (const QVariant& v : values)
    q.addBindValue(v);
  if (!q.exec())
    fail(QStringLiteral("The catalogue cannot be read"), q.lastError().text());
  std::vector<TestRecord> rows;
  while (q.next())
    rows.push_back(recordOf(q));
  return rows;
}

HistorySums Catalogue::sums(const HistoryFilter& filter) {
  QVariantList values;
  QSqlQuery q(db());
  q.prepare(QStringLiteral("SELECT COUNT(*), SUM(capacity_ah), SUM(energy_wh), AVG(resistance_mohm) "
                           "FROM tests") + whereOf(filter, values));
  for (const QVariant& v : values)
    q.addBindValue(v);
  if (!q.exec() || !q.next())
    fail(QStringLiteral("The catalogue cannot be read"), q.lastError().text());
  HistorySums s;
  s.count = q.value(0).toLongLong();
  s.capacityAh = q.value(1).toDouble();
  s.energyWh = q.value(2).toDouble();
  s.meanResistanceMohm = number(q.value(3));
  return s;
}

std::vector<TestRecord> Catalogue::byIds(const std::vector<qint64>& ids) {
  std::vector<TestRecord> rows;
  if (ids.empty())
    return rows;
  QSqlQuery q(db());
  if (!q.exec(QStringLiteral("SELECT * FROM tests WHERE id IN (%1) ORDER BY id").arg(idList(ids))))
    fail(QStringLiteral("The catalogue cannot be read"), q.lastError().text());
  while (q.next())
    rows.push_back(recordOf(q));
  return rows;
}

int Catalogue::remove(const std::vector<qint64>& ids) {
  if (ids.empty())
    return 0;
  QSqlQuery q(db());
  if (!q.exec(QStringLiteral("DELETE FROM tests WHERE id IN (%1)").arg(idList(ids))))
    fail(QStringLiteral("The catalogue cannot be written"), q.lastError().text());
  return qMax(0, q.numRowsAffected());
}

bool Catalogue::knowsFile(const QString& path, const QString& hash) {
  QSqlQuery q(db());
  q.prepare(QStringLiteral("SELECT 1 FROM tests WHERE data_file = ? OR (data_hash = ? AND data_hash <> '') LIMIT 1"));
  q.addBindValue(path);
  q.addBindValue(hash);
  if (!q.exec())
    fail(QStringLiteral("The catalogue cannot be read"), q.lastError().text());
  return q.next();
}

std::vector<TestRecord> Catalogue::unsent(int limit) {
  QSqlQuery q(db());
  if (!q.exec(QStringLiteral("SELECT * FROM tests WHERE unsent <> 0 ORDER BY id LIMIT %1").arg(limit)))
    fail(QStringLiteral("The catalogue cannot be read"), q.lastError().text());
  std::vector<TestRecord> rows;
  while (q.next())
    rows.push_back(recordOf(q));
  return rows;
}

void Catalogue::markSent(const std::vector<QString>& uids) {
  QSqlDatabase d = db();
  if (!begin())
    fail(QStringLiteral("The catalogue cannot be written"), d.lastError().text());
  QSqlQuery q(d);
  q.prepare(QStringLiteral("UPDATE tests SET unsent = 0 WHERE uid = ?"));
  for (const QString& uid : uids) {
    q.addBindValue(uid);
    if (!q.exec()) {
      const QString error = q.lastError().text();
      q.finish();
      rollback();
      fail(QStringLiteral("The catalogue cannot be written"), error);
    }
  }
  q.finish();
  if (!commit()) {
    rollback();
    fail(QStringLiteral("The catalogue cannot be written"), d.lastError().text());
  }
}

} // namespace ondrel
