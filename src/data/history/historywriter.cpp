#include "history/historywriter.h"

#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/ini.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <csignal>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace ondrel {

StoreTarget localStore(const QString& folder) {
  StoreTarget t;
  t.kind = StoreTarget::Kind::Sqlite;
  t.path = QDir(folder).filePath(QLatin1String(kCatalogueFile));
  return t;
}

std::optional<qint64> sideFileSender(const QString& fileName) {
  static const QRegularExpression pattern(
      QStringLiteral("^%1\\.sending-(\\d+)(?:\\.\\d+)?$")
          .arg(QRegularExpression::escape(QLatin1String(kHistorySideFile))));
  const auto m = pattern.match(fileName);
  if (!m.hasMatch())
    return std::nullopt;
  bool ok = false;
  const qint64 pid = m.captured(1).toLongLong(&ok);
  return ok ? std::optional<qint64>(pid) : std::nullopt;
}

bool processRuns(qint64 pid) {
  if (pid <= 0)
    return false;
#if defined(Q_OS_UNIX)
  // EPERM: it runs, under another account.
  return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#elif defined(Q_OS_WIN)
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
  if (!h)
    return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  const bool running = GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
  CloseHandle(h);
  return running;
#else
  return true; // the file's age decides
#endif
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
  m_config.retryFirstMs = qMax(1, m_config.retryFirstMs);
  m_config.retryMaxMs = qMax(m_config.retryFirstMs, m_config.retryMaxMs);
  m_sideRows = true; // the first batch looks for side files, this process's and dead ones'
  m_unsentRows = m_config.lab.has_value();
  m_nextTry = Clock::now();
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
      m_wake.wait_until(lock, m_nextTry, ready);
    else
      m_wake.wait(lock, ready);
    std::vector<TestRecord> rows(std::make_move_iterator(m_queue.begin()),
                                 std::make_move_iterator(m_queue.end()));
    m_queue.clear();
    if (m_retry)
      m_nextTry = Clock::now();
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

bool HistoryWriter::labDue() const {
  return Clock::now() >= m_nextTry;
}

void HistoryWriter::backOff() {
  if (m_failedNow)
    return; // one step per batch, however many stores failed in it
  m_failedNow = true;
  m_backoffMs = m_backoffMs == 0 ? m_config.retryFirstMs
                                 : qMin(m_config.retryMaxMs, m_backoffMs * 2);
  m_nextTry = Clock::now() + std::chrono::milliseconds(m_backoffMs);
}

void HistoryWriter::tell(const QString& reason, bool* down) {
  if (!*down) {
    *down = true;
    ErrLog(QStringLiteral("ErrHistory"), reason);
  }
  backOff();
  if (m_told)
    return;
  m_told = true;
  emit unavailable(reason);
}

void HistoryWriter::labFailed() {
  m_lab.reset();
  tell(describeCurrentException(), &m_labDown);
}

void HistoryWriter::localFailed() {
  m_local.reset();
  tell(describeCurrentException(), &m_localDown);
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
    localFailed();
    return false;
  }
}

bool HistoryWriter::openLab() {
  if (!m_config.lab)
    return false;
  if (m_lab && m_lab->isOpen())
    return true;
  // While it is waited for, a lab store that failed costs no connect time.
  if (!labDue())
    return false;
  try {
    m_lab = std::make_unique<Catalogue>(*m_config.lab);
    m_lab->open();
    return true;
  } catch (...) {
    labFailed();
    return false;
  }
}

bool HistoryWriter::keepAside(const std::vector<TestRecord>& rows) {
  if (rows.empty())
    return true;
  QFile f(QDir(m_config.folder).filePath(QLatin1String(kHistorySideFile)));
  QByteArray lines;
  for (const TestRecord& r : rows)
    lines += QJsonDocument(toJson(r)).toJson(QJsonDocument::Compact) + '\n';
  // One append of whole lines: a crash leaves at most a cut last line, which the reader skips.
  if (!f.open(QIODevice::WriteOnly | QIODevice::Append) || f.write(lines) != lines.size()) {
    ErrLog(QStringLiteral("ErrHistory"),
           QStringLiteral("%1 rows cannot be kept: the side file cannot be written: %2")
               .arg(rows.size())
               .arg(f.errorString()));
    return false;
  }
  m_sideRows = true;
  return true;
}

QStringList HistoryWriter::takeSideFiles() {
  const QDir dir(m_config.folder);
  const QString side = QLatin1String(kHistorySideFile);
  const qint64 me = QCoreApplication::applicationPid();
  const QString mine = dir.filePath(side + QStringLiteral(".sending-%1").arg(me));
  // Each file is taken under a name of this process first: rows another process appends meanwhile
  // stay in the side file, and of several processes taking a dead one's file only one gets it.
  int n = 0;
  const auto freeName = [&] {
    QString name = mine;
    while (QFile::exists(name))
      name = mine + QStringLiteral(".%1").arg(++n);
    return name;
  };
  QStringList taken;
  const QDateTime now = QDateTime::currentDateTimeUtc();
  const QStringList names =
      dir.entryList({side + QStringLiteral(".sending-*")}, QDir::Files, QDir::Name);
  for (const QString& name : names) {
    const auto sender = sideFileSender(name);
    if (!sender)
      continue;
    const QString path = dir.filePath(name);
    if (*sender == me) {
      taken << path; // an earlier process of this id, or this one's last try
      continue;
    }
    // A sender reads its file at once and removes it within a connect time; one untouched for an
    // hour is left over even if its id now names another process. Taken twice, a row is still
    // stored once.
    const QDateTime changed = QFileInfo(path).metadataChangeTime().toUTC();
    const bool stale = changed.isValid() && changed.secsTo(now) > 3600;
    if (processRuns(*sender) && !stale)
      continue;
    const QString to = freeName();
    if (QFile::rename(path, to))
      taken << to;
  }
  const QString path = dir.filePath(side);
  if (QFile::exists(path)) {
    const QString to = freeName();
    if (QFile::rename(path, to))
      taken << to;
  }
  return taken;
}

void HistoryWriter::drainSideFile() {
  // Looked for at every batch: a process that died while sending may have left a file at any time.
  const QStringList taken = takeSideFiles();
  m_sideRows = false;
  std::vector<TestRecord> rows;
  QStringList read;
  for (const QString& name : taken) {
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly)) {
      ErrLog(QStringLiteral("ErrHistory"),
             QStringLiteral("The side file cannot be read: %1: %2").arg(name, f.errorString()));
      continue; // left where it is
    }
    while (!f.atEnd()) {
      const QJsonDocument doc = QJsonDocument::fromJson(f.readLine());
      if (auto r = doc.isObject() ? recordFromJson(doc.object()) : std::nullopt)
        rows.push_back(*r);
    }
    read << name;
  }
  // The taken files go only once their rows are stored or back in the side file.
  if (keepAside(store(std::move(rows)))) {
    for (const QString& name : read)
      QFile::remove(name);
  } else {
    m_sideRows = true;
  }
  m_sideRows = m_sideRows || QFile::exists(QDir(m_config.folder).filePath(QLatin1String(kHistorySideFile)));
}

std::vector<TestRecord> HistoryWriter::store(std::vector<TestRecord> rows) {
  if (rows.empty())
    return rows;
  if (openLab()) {
    try {
      m_lab->add(rows);
      m_labDown = false;
      return {};
    } catch (...) {
      labFailed();
    }
  }
  for (TestRecord& r : rows)
    r.unsent = m_config.lab.has_value();
  if (openLocal()) {
    try {
      m_local->add(rows);
      m_localDown = false;
      m_unsentRows = m_unsentRows || m_config.lab.has_value();
      return {};
    } catch (...) {
      localFailed();
    }
  }
  return rows;
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
      m_labDown = false;
      m_local->markSent(uids);
    }
    m_unsentRows = false;
  } catch (...) {
    // Either store may have failed; the lab's connection is made anew, the local one is cheap.
    m_local.reset();
    labFailed();
  }
}

void HistoryWriter::writeBatch(std::vector<TestRecord> rows) {
  m_failedNow = false;
  drainSideFile();
  sendUnsent();
  const std::vector<TestRecord> left = store(std::move(rows));
  if (!left.empty() && !keepAside(left))
    ErrLog(QStringLiteral("ErrHistory"), QStringLiteral("%1 rows lost").arg(left.size()));
  if (!pendingWork())
    m_backoffMs = 0;
  else if (m_nextTry <= Clock::now())
    backOff(); // something is left that no store refused (a side file that cannot be renamed)
  cleared();
}

} // namespace ondrel
