#include "history/historywriter.h"

#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/ini.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>

namespace ondrel {

StoreTarget localStore(const QString& folder) {
  StoreTarget t;
  t.kind = StoreTarget::Kind::Sqlite;
  t.path = QDir(folder).filePath(QLatin1String(kCatalogueFile));
  return t;
}

HistoryConfig readHistoryConfig(const QString& folder) {
  HistoryConfig c;
  c.folder = folder;
  const QString ini = QDir(folder).filePath(QStringLiteral("ondrel.ini"));
  const QString url = IniRead(ini, QStringLiteral("ARCHIVE"), QStringLiteral("URL"), QString());
  if (url.trimmed().isEmpty())
    return c;
  QString error;
  auto target = parseArchiveUrl(url, &error);
  if (!target) {
    c.problem = error;
    return c;
  }
  const QString passFile =
      IniRead(ini, QStringLiteral("ARCHIVE"), QStringLiteral("PASSFILE"), QString());
  if (!passFile.isEmpty()) {
    // The password stays out of the settings file: the first line of a file only its owner reads.
    QFile f(QDir(folder).absoluteFilePath(passFile));
    if (!f.open(QIODevice::ReadOnly)) {
      c.problem = QStringLiteral("The password file cannot be read: %1").arg(f.fileName());
    } else {
      target->password = QString::fromUtf8(f.readLine()).trimmed();
    }
  }
  c.lab = target;
  return c;
}

HistoryWriter::HistoryWriter(HistoryConfig config, QObject* parent)
    : QObject(parent), m_config(std::move(config)) {
  m_sideRows = QFile::exists(QDir(m_config.folder).filePath(QLatin1String(kHistorySideFile)));
  m_unsentRows = m_config.lab.has_value();
  m_thread = std::thread([this] { run(); });
}

HistoryWriter::~HistoryWriter() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_all();
  m_thread.join();
}

void HistoryWriter::add(TestRecord row) {
  {
    std::lock_guard lock(m_mutex);
    m_queue.push_back(std::move(row));
    ++m_queued;
  }
  m_wake.notify_one();
}

void HistoryWriter::flush() {
  std::unique_lock lock(m_mutex);
  const qint64 target = m_queued;
  m_done.wait(lock, [&] { return m_handled >= target; });
}

void HistoryWriter::retryNow() {
  {
    std::lock_guard lock(m_mutex);
    m_retry = true;
  }
  m_wake.notify_one();
}

void HistoryWriter::run() {
  // Rows kept aside by an earlier run go first.
  writeBatch({});
  std::unique_lock lock(m_mutex);
  for (;;) {
    const auto ready = [&] { return m_stop || m_retry || !m_queue.empty(); };
    if (pendingWork())
      m_wake.wait_for(lock, std::chrono::milliseconds(m_config.retryMs), ready);
    else
      m_wake.wait(lock, ready);
    std::vector<TestRecord> rows(std::make_move_iterator(m_queue.begin()),
                                 std::make_move_iterator(m_queue.end()));
    m_queue.clear();
    m_retry = false;
    const bool stop = m_stop;
    lock.unlock();
    const qint64 n = qint64(rows.size());
    writeBatch(std::move(rows));
    lock.lock();
    m_handled += n;
    m_done.notify_all();
    if (stop && m_queue.empty())
      break;
  }
  m_local.reset();
  m_lab.reset();
}

bool HistoryWriter::pendingWork() const {
  return m_sideRows || m_unsentRows;
}

void HistoryWriter::tell(const QString& reason) {
  ErrLog(QStringLiteral("ErrHistory"), reason);
  if (m_told)
    return;
  m_told = true;
  emit unavailable(reason);
}

void HistoryWriter::cleared() {
  if (m_told && !pendingWork()) {
    m_told = false;
    emit recovered();
  }
}

bool HistoryWriter::openLocal() {
  if (m_local && m_local->isOpen())
    return true;
  try {
    m_local = std::make_unique<Catalogue>(localStore(m_config.folder));
    m_local->open();
    return true;
  } catch (...) {
    m_local.reset();
    tell(describeCurrentException());
    return false;
  }
}

bool HistoryWriter::openLab() {
  if (!m_config.lab)
    return false;
  if (m_lab && m_lab->isOpen())
    return true;
  try {
    m_lab = std::make_unique<Catalogue>(*m_config.lab);
    m_lab->open();
    return true;
  } catch (...) {
    m_lab.reset();
    tell(describeCurrentException());
    return false;
  }
}

void HistoryWriter::keepAside(const std::vector<TestRecord>& rows) {
  if (rows.empty())
    return;
  QFile f(QDir(m_config.folder).filePath(QLatin1String(kHistorySideFile)));
  QByteArray lines;
  for (const TestRecord& r : rows)
    lines += QJsonDocument(toJson(r)).toJson(QJsonDocument::Compact) + '\n';
  // One append of whole lines: a crash leaves at most a cut last line, which the reader skips.
  if (!f.open(QIODevice::WriteOnly | QIODevice::Append) || f.write(lines) != lines.size()) {
    ErrLog(QStringLiteral("ErrHistory"),
           QStringLiteral("%1 rows lost: the side file cannot be written: %2")
               .arg(rows.size())
               .arg(f.errorString()));
    return;
  }
  m_sideRows = true;
}

void HistoryWriter::drainSideFile() {
  if (!m_sideRows)
    return;
  const QString path = QDir(m_config.folder).filePath(QLatin1String(kHistorySideFile));
  // Taken under a name of its own first, so rows another process appends meanwhile stay.
  const QString taken = path + QStringLiteral(".sending-%1").arg(QCoreApplication::applicationPid());
  if (!QFile::exists(taken) && !QFile::rename(path, taken)) {
    m_sideRows = QFile::exists(path);
    return;
  }
  QFile f(taken);
  std::vector<TestRecord> rows;
  if (f.open(QIODevice::ReadOnly)) {
    while (!f.atEnd()) {
      const QJsonDocument doc = QJsonDocument::fromJson(f.readLine());
      if (auto r = doc.isObject() ? recordFromJson(doc.object()) : std::nullopt)
        rows.push_back(*r);
    }
    f.close();
  }
  m_sideRows = false;
  std::vector<TestRecord> left = rows;
  try {
    if (openLab()) {
      m_lab->add(rows);
      left.clear();
    }
  } catch (...) {
    m_lab.reset();
    tell(describeCurrentException());
  }
  if (!left.empty()) {
    for (TestRecord& r : left)
      r.unsent = m_config.lab.has_value();
    try {
      if (openLocal()) {
        m_local->add(left);
        m_unsentRows = m_unsentRows || m_config.lab.has_value();
        left.clear();
      }
    } catch (...) {
      m_local.reset();
      tell(describeCurrentException());
    }
  }
  keepAside(left);
  QFile::remove(taken);
  m_sideRows = m_sideRows || QFile::exists(path);
}

void HistoryWriter::sendUnsent() {
  if (!m_unsentRows || !m_config.lab)
    return;
  if (!openLocal() || !openLab())
    return;
  try {
    for (;;) {
      std::vector<TestRecord> rows = m_local->unsent(500);
      if (rows.empty())
        break;
      std::vector<QString> uids;
      for (TestRecord& r : rows) {
        r.unsent = false;
        uids.push_back(r.uid);
      }
      // Stored there first, marked sent here after: a crash between the two sends them again,
      // and their keys keep them single.
      m_lab->add(rows);
      m_local->markSent(uids);
    }
    m_unsentRows = false;
  } catch (...) {
    m_lab.reset();
    tell(describeCurrentException());
  }
}

void HistoryWriter::writeBatch(std::vector<TestRecord> rows) {
  drainSideFile();
  sendUnsent();
  if (!rows.empty()) {
    bool done = false;
    if (m_config.lab && openLab()) {
      try {
        m_lab->add(rows);
        done = true;
      } catch (...) {
        m_lab.reset();
        tell(describeCurrentException());
      }
    }
    if (!done) {
      for (TestRecord& r : rows)
        r.unsent = m_config.lab.has_value();
      try {
        if (openLocal()) {
          m_local->add(rows);
          m_unsentRows = m_unsentRows || m_config.lab.has_value();
          done = true;
        }
      } catch (...) {
        m_local.reset();
        tell(describeCurrentException());
      }
    }
    if (!done)
      keepAside(rows);
  }
  cleared();
}

} // namespace ondrel
