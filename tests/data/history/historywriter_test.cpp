#include "history/historywriter.h"
#include "support/loopbacklistener.h"
#include "support/pgserver.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QSqlQuery>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <chrono>
#include <mutex>
#include <thread>

using namespace ondrel;
using ondrel::testing::PgServer;
using ondrel::testing::TempProgramFolder;

namespace {

TestRecord row(int n) {
  TestRecord r;
  r.uid = QStringLiteral("row-%1").arg(n);
  r.kind = kind::Test;
  r.startedUtc = r.endedUtc = QStringLiteral("2026-12-01T10:00:00Z");
  r.label = QStringLiteral("cell %1").arg(n);
  r.capacityAh = 2.0 + n / 1000.0;
  r.endReason = endreason::Device;
  return r;
}

qint64 countIn(const StoreTarget& t, const HistoryFilter& f = {}) {
  Catalogue c(t);
  c.open();
  return c.sums(f).count;
}

HistoryConfig configFor(const TempProgramFolder& folder) {
  HistoryConfig c;
  c.folder = folder.path();
  c.retryFirstMs = c.retryMaxMs = 100000; // the tests say when to retry
  return c;
}

// One PostgreSQL for the whole binary, started by the first test that needs it and stopped after
// the last; each test gets a database of its own on it.
class LabServer : public ::testing::Environment {
public:
  void TearDown() override { server.reset(); }
  static inline std::unique_ptr<PgServer> server;
};
[[maybe_unused]] ::testing::Environment* const labEnvironment =
    ::testing::AddGlobalTestEnvironment(new LabServer);

// A fresh lab store's address; empty, with the reason, when there is no PostgreSQL to run.
QString newLab(QString* why) {
  static int n = 0;
  if (!LabServer::server)
    LabServer::server = std::make_unique<PgServer>();
  if (!LabServer::server->problem().isEmpty()) {
    *why = LabServer::server->problem();
    return {};
  }
  const QString url = LabServer::server->newDatabase(QStringLiteral("lab%1").arg(++n));
  if (url.isEmpty())
    *why = QStringLiteral("createdb failed");
  return url;
}

PgServer& labServer() {
  return *LabServer::server;
}

// A lab server that is down the cheap way: it takes each connection and closes it at once, and
// notes when, before closing, so a try is counted by the time the writer hears of its failure.
class DownLabServer {
public:
  DownLabServer() {
    m_thread = std::thread([this] {
      for (;;) {
        const int c = ::accept(m_socket.fd(), nullptr, nullptr);
        if (c < 0)
          return;
        {
          std::lock_guard lock(m_mutex);
          m_tries.push_back(std::chrono::steady_clock::now());
        }
        ::close(c);
      }
    });
  }
  ~DownLabServer() {
    ::shutdown(m_socket.fd(), SHUT_RDWR);
    m_thread.join();
  }
  std::optional<StoreTarget> target() const {
    return parseArchiveUrl(
        QStringLiteral("postgresql://ondrel@127.0.0.1:%1/lab").arg(m_socket.port()), nullptr);
  }
  std::vector<std::chrono::steady_clock::time_point> tries() {
    std::lock_guard lock(m_mutex);
    return m_tries;
  }

private:
  ondrel::testing::LoopbackListener m_socket;
  std::thread m_thread;
  std::mutex m_mutex;
  std::vector<std::chrono::steady_clock::time_point> m_tries;
};

int historyLogLines(const TempProgramFolder& folder) {
  return int(folder.mainLog().count(QStringLiteral("ErrHistory")));
}

QByteArray sideLines(const std::vector<TestRecord>& rows) {
  QByteArray out;
  for (const TestRecord& r : rows)
    out += QJsonDocument(toJson(r)).toJson(QJsonDocument::Compact) + '\n';
  return out;
}

// The id of a process that has ended.
qint64 deadPid() {
  QProcess p;
  p.start(QStringLiteral("true"), {});
  p.waitForStarted();
  const qint64 pid = p.processId();
  p.waitForFinished();
  return pid;
}

// Rows in side files of every name.
int rowsAside(const TempProgramFolder& folder) {
  int n = 0;
  for (const QString& name : QDir(folder.path()).entryList(
           {QString::fromLatin1(kHistorySideFile) + QLatin1Char('*')}, QDir::Files))
    n += int(folder.read(name).count('\n'));
  return n;
}

} // namespace

TEST(HistoryWriter, KeepsRowsInTheSideFileWhileTheCatalogueCannotBeOpenedAndWritesThemLater) {
  TempProgramFolder folder;
  const QByteArray junk(4096, 'x');
  folder.write(QString::fromLatin1(kCatalogueFile), junk);
  std::atomic<int> told{0};
  {
    HistoryWriter w(configFor(folder));
    QObject::connect(&w, &HistoryWriter::unavailable, &w, [&] { ++told; }, Qt::DirectConnection);
    for (int i = 0; i < 3; ++i)
      w.add(row(i));
    w.flush();
    w.add(row(3));
    w.flush();
    EXPECT_EQ(told.load(), 1); // said once, not per row
    EXPECT_EQ(folder.read(QString::fromLatin1(kCatalogueFile)), junk); // never overwritten
    EXPECT_TRUE(QFile::exists(folder.file(QString::fromLatin1(kHistorySideFile))));

    // The user moves the broken file away: the rows kept aside go in, once.
    QFile::rename(folder.file(QString::fromLatin1(kCatalogueFile)), folder.file(QStringLiteral("broken.db")));
    w.retryNow();
    w.add(row(4));
    w.flush();
  }
  EXPECT_EQ(countIn(localStore(folder.path())), 5);
  EXPECT_FALSE(QFile::exists(folder.file(QString::fromLatin1(kHistorySideFile))));
}

TEST(HistoryWriter, ACutLastLineOfTheSideFileCostsOnlyThatLine) {
  TempProgramFolder folder;
  folder.write(QString::fromLatin1(kHistorySideFile),
               QByteArray("{\"uid\":\"a\",\"kind\":\"test\",\"label\":\"kept\"}\n{\"uid\":\"b\",\"ki"));
  {
    HistoryWriter w(configFor(folder));
    w.flush();
  }
  HistoryFilter kept;
  kept.label = QStringLiteral("kept");
  EXPECT_EQ(countIn(localStore(folder.path())), 1);
  EXPECT_EQ(countIn(localStore(folder.path()), kept), 1);
}

TEST(HistoryWriter, SeveralWritersAtOnceLoseNothing) {
  TempProgramFolder folder;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      HistoryWriter w(configFor(folder));
      for (int i = 0; i < 50; ++i)
        w.add(row(t * 1000 + i));
      w.flush();
    });
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(countIn(localStore(folder.path())), 200) << folder.mainLog().toStdString();
}

TEST(HistoryWriter, KilledWhileWritingLeavesEveryCommittedRow) {
#ifndef ONDREL_HISTORY_CHILD
  GTEST_SKIP() << "no child program";
#else
  TempProgramFolder folder;
  const QString db = folder.file(QString::fromLatin1(kCatalogueFile));
  QProcess child;
  child.start(QStringLiteral(ONDREL_HISTORY_CHILD), {db});
  ASSERT_TRUE(child.waitForStarted());
  int committed = 0;
  QByteArray buffer;
  while (committed < 40 && child.waitForReadyRead(20000)) {
    buffer += child.readAllStandardOutput();
    const QList<QByteArray> lines = buffer.split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
      committed = std::max(committed, lines[i].toInt());
    buffer = lines.back();
  }
  child.kill(); // SIGKILL, in the middle of its next transaction
  child.waitForFinished();
  ASSERT_GE(committed, 40);
  StoreTarget t;
  t.path = db;
  Catalogue c(t);
  ASSERT_NO_THROW(c.open());
  EXPECT_GE(c.sums({}).count, committed * 5);
  QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
  {
    raw.setDatabaseName(db);
    ASSERT_TRUE(raw.open());
    QSqlQuery q(raw);
    ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
    EXPECT_EQ(q.value(0).toString(), QStringLiteral("ok"));
    raw.close();
  }
  raw = QSqlDatabase();
  QSqlDatabase::removeDatabase(QStringLiteral("check"));
#endif
}

TEST(HistoryWriter, LabStoreGetsRowsKeptLocallyWhileItWasDownOnce) {
  QString why;
  const QString url = newLab(&why);
  if (url.isEmpty())
    GTEST_SKIP() << why.toStdString();
  PgServer& server = labServer();
  TempProgramFolder folder;
  HistoryConfig config = configFor(folder);
  config.lab = parseArchiveUrl(url, nullptr);
  ASSERT_TRUE(config.lab);
  std::atomic<int> told{0}, recovered{0};
  {
    HistoryWriter w(config);
    QObject::connect(&w, &HistoryWriter::unavailable, &w, [&] { ++told; }, Qt::DirectConnection);
    QObject::connect(&w, &HistoryWriter::recovered, &w, [&] { ++recovered; }, Qt::DirectConnection);
    for (int i = 0; i < 3; ++i)
      w.add(row(i));
    w.flush();
    EXPECT_EQ(countIn(*config.lab), 3);

    ASSERT_TRUE(server.stop()); // mid-run
    for (int i = 3; i < 6; ++i)
      w.add(row(i));
    w.flush();
    EXPECT_EQ(told.load(), 1);
    HistoryFilter all;
    Catalogue local(localStore(folder.path()));
    local.open();
    EXPECT_EQ(local.unsent(100).size(), 3u);

    ASSERT_TRUE(server.start());
    w.retryNow();
    w.add(row(2)); // a row it has already: still one
    w.flush();
    EXPECT_EQ(local.unsent(100).size(), 0u);
  }
  EXPECT_EQ(countIn(*config.lab), 6);
  EXPECT_EQ(recovered.load(), 1);
}

TEST(HistoryWriter, SeveralWritersShareTheLabStore) {
  QString why;
  const QString url = newLab(&why);
  if (url.isEmpty())
    GTEST_SKIP() << why.toStdString();
  TempProgramFolder a, b;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      HistoryConfig config = configFor(t % 2 ? a : b);
      config.lab = parseArchiveUrl(url, nullptr);
      HistoryWriter w(config);
      for (int i = 0; i < 40; ++i)
        w.add(row(t * 1000 + i));
      w.flush();
    });
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(countIn(*parseArchiveUrl(url, nullptr)), 160);
}

// Program instances and command-line runs as separate processes, all writing at once.
void runWriters(const std::vector<QStringList>& arguments) {
  std::vector<std::unique_ptr<QProcess>> children;
  for (const QStringList& args : arguments) {
    children.push_back(std::make_unique<QProcess>());
    children.back()->setProcessChannelMode(QProcess::ForwardedChannels);
    children.back()->start(QStringLiteral(ONDREL_HISTORY_WRITER), args);
  }
  for (auto& c : children) {
    ASSERT_TRUE(c->waitForFinished(120000));
    EXPECT_EQ(c->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(c->exitCode(), 0);
  }
}

TEST(HistoryWriter, SeveralProcessesWritingOneCatalogueStoreEveryRowOnce) {
  TempProgramFolder folder;
  std::vector<QStringList> args;
  for (int p = 0; p < 4; ++p)
    args.push_back({folder.path(), QStringLiteral("p%1").arg(p), QStringLiteral("40")});
  runWriters(args);
  Catalogue c(localStore(folder.path()));
  c.open();
  const auto rows = c.query({});
  EXPECT_EQ(rows.size(), 160u) << folder.mainLog().toStdString();
  std::set<QString> uids;
  for (const TestRecord& r : rows)
    uids.insert(r.uid);
  EXPECT_EQ(uids.size(), 160u);
  EXPECT_EQ(rowsAside(folder), 0);
}

TEST(HistoryWriter, SeveralProcessesWritingOneLabStoreStoreEveryRowOnce) {
  QString why;
  const QString url = newLab(&why);
  if (url.isEmpty())
    GTEST_SKIP() << why.toStdString();
  TempProgramFolder a, b;
  std::vector<QStringList> args;
  for (int p = 0; p < 4; ++p)
    args.push_back({(p % 2 ? a : b).path(), QStringLiteral("p%1").arg(p), QStringLiteral("40"), url});
  runWriters(args);
  EXPECT_EQ(countIn(*parseArchiveUrl(url, nullptr)), 160);
  for (const TempProgramFolder* f : {&a, &b}) {
    Catalogue local(localStore(f->path()));
    local.open();
    EXPECT_TRUE(local.unsent(10).empty());
  }
}

TEST(HistoryWriter, ADownLabStoreDelaysNoLocalWriteAndIsLoggedOncePerOutage) {
  TempProgramFolder folder;
  DownLabServer lab;
  HistoryConfig config = configFor(folder);
  config.lab = lab.target();
  HistoryWriter w(config);
  w.add(row(0));
  w.flush();
  EXPECT_EQ(lab.tries().size(), 1u);
  // While the lab store is waited for, new rows go to the local file without a connect.
  for (int i = 1; i < 10; ++i) {
    w.add(row(i));
    w.flush();
  }
  EXPECT_EQ(lab.tries().size(), 1u);
  Catalogue local(localStore(folder.path()));
  local.open();
  EXPECT_EQ(local.unsent(100).size(), 10u);
  w.retryNow();
  w.add(row(10));
  w.flush();
  EXPECT_EQ(lab.tries().size(), 2u);
  EXPECT_EQ(historyLogLines(folder), 1) << folder.mainLog().toStdString();
}

TEST(HistoryWriter, RetriesADownLabStoreLessOftenUpToTheLongestWait) {
  TempProgramFolder folder;
  DownLabServer lab;
  HistoryConfig config = configFor(folder);
  config.lab = lab.target();
  config.retryFirstMs = 100;
  config.retryMaxMs = 400;
  {
    HistoryWriter w(config);
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  }
  const auto tries = lab.tries();
  ASSERT_GE(tries.size(), 4u);
  int expected = 100;
  for (size_t i = 1; i < tries.size(); ++i) {
    const auto gap =
        std::chrono::duration_cast<std::chrono::milliseconds>(tries[i] - tries[i - 1]).count();
    EXPECT_GE(gap, expected - 20) << "try " << i;
    expected = std::min(expected * 2, 400);
  }
  EXPECT_LE(tries.size(), 7u); // 0, 100, 300, 700, 1100, 1500, 1900 ms
  EXPECT_EQ(historyLogLines(folder), 1) << folder.mainLog().toStdString();
}

// Side files left by processes that died while sending them are taken over and stored; one of a
// process that runs is its own; none goes before its rows are stored or kept again.
TEST(HistoryWriter, SideFilesOfDeadSendersAreStoredAndRemovedOnlyThen) {
  TempProgramFolder folder;
  const QString side = QString::fromLatin1(kHistorySideFile);
  struct Case {
    QString name;
    std::vector<TestRecord> rows;
    bool adopted;
  };
  const qint64 dead = deadPid();
  const std::vector<Case> cases{
      {side + QStringLiteral(".sending-%1").arg(dead), {row(1), row(2), row(3)}, true},
      // taken over by a process that then died as well
      {side + QStringLiteral(".sending-%1.2").arg(dead), {row(4), row(2)}, true},
      {side + QStringLiteral(".sending-%1").arg(::getppid()), {row(5)}, false},
      {side + QStringLiteral(".sending-x"), {row(6)}, false},
  };
  for (const Case& c : cases)
    folder.write(c.name, sideLines(c.rows));

  // No store takes them yet: they stay in side files, all of them.
  const QByteArray junk(4096, 'x');
  folder.write(QString::fromLatin1(kCatalogueFile), junk);
  {
    HistoryWriter w(configFor(folder));
    w.flush();
  }
  EXPECT_EQ(rowsAside(folder), 7);

  QFile::remove(folder.file(QString::fromLatin1(kCatalogueFile)));
  {
    HistoryWriter w(configFor(folder));
    w.flush();
  }
  Catalogue c(localStore(folder.path()));
  c.open();
  EXPECT_EQ(c.sums({}).count, 4); // row 2 twice is stored once
  for (const Case& k : cases)
    EXPECT_EQ(QFile::exists(folder.file(k.name)), !k.adopted) << k.name.toStdString();
  EXPECT_FALSE(QFile::exists(folder.file(side)));
  EXPECT_EQ(rowsAside(folder), 2);
}

TEST(HistoryWriter, SideFileNames) {
  const QString side = QString::fromLatin1(kHistorySideFile);
  EXPECT_EQ(sideFileSender(side + QStringLiteral(".sending-42")), 42);
  EXPECT_EQ(sideFileSender(side + QStringLiteral(".sending-42.3")), 42);
  EXPECT_FALSE(sideFileSender(side));
  EXPECT_FALSE(sideFileSender(side + QStringLiteral(".sending-")));
  EXPECT_FALSE(sideFileSender(side + QStringLiteral(".sending-4x")));
  EXPECT_FALSE(sideFileSender(QStringLiteral("other.sending-42")));
  EXPECT_TRUE(processRuns(QCoreApplication::applicationPid()));
  EXPECT_FALSE(processRuns(deadPid()));
}
