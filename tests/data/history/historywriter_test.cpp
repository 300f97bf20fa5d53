#include "history/historywriter.h"
#include "support/pgserver.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>

#include <atomic>
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
  c.retryMs = 100000; // the tests say when to retry
  return c;
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
  PgServer server;
  if (!server.problem().isEmpty())
    GTEST_SKIP() << server.problem().toStdString();
  TempProgramFolder folder;
  HistoryConfig config = configFor(folder);
  config.lab = parseArchiveUrl(server.url(), nullptr);
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
  PgServer server;
  if (!server.problem().isEmpty())
    GTEST_SKIP() << server.problem().toStdString();
  TempProgramFolder a, b;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      HistoryConfig config = configFor(t % 2 ? a : b);
      config.lab = parseArchiveUrl(server.url(), nullptr);
      HistoryWriter w(config);
      for (int i = 0; i < 40; ++i)
        w.add(row(t * 1000 + i));
      w.flush();
    });
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(countIn(*parseArchiveUrl(server.url(), nullptr)), 160);
}
