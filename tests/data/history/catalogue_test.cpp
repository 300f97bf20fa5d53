#include "history/catalogue.h"
#include "data/support/failure.h"
#include "history/historyview.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

using namespace ondrel;
using ondrel::testing::TempProgramFolder;

namespace {

TestRecord row(const QString& uid, const QString& label, double capAh, std::optional<double> mohm,
               const QString& started, const QString& model = QStringLiteral("EBC-A20")) {
  TestRecord r;
  r.uid = uid;
  r.kind = kind::Test;
  r.startedUtc = started;
  r.endedUtc = started;
  r.port = QStringLiteral("COM3");
  r.model = model;
  r.mode = QStringLiteral("D-CC");
  r.label = label;
  r.capacityAh = capAh;
  r.energyWh = capAh * 3.7;
  r.resistanceMohm = mohm;
  r.endReason = endreason::Device;
  return r;
}

StoreTarget sqliteIn(const TempProgramFolder& f) {
  StoreTarget t;
  t.path = f.file(QString::fromLatin1(kCatalogueFile));
  return t;
}

} // namespace

TEST(Catalogue, StoresEveryColumnOnceAndReadsItBack) {
  TempProgramFolder folder;
  Catalogue c(sqliteIn(folder));
  c.open();
  EXPECT_EQ(c.schemaVersion(), kSchemaVersion);
  TestRecord r = row(QStringLiteral("u1"), QStringLiteral("cell, \"A\""), 2.95, 38.5,
                     QStringLiteral("2026-12-01T10:00:00Z"));
  r.setValue = 1.0;
  r.maxTempC = 31.5;
  r.dataFile = QStringLiteral("/nowhere/a.csv");
  EXPECT_EQ(c.add({r}), 1);
  // The same key again (a queue flushed twice) is no second row.
  EXPECT_EQ(c.add({r, r}), 0);
  const auto rows = c.query({});
  ASSERT_EQ(rows.size(), 1u);
  TestRecord back = rows[0];
  EXPECT_GT(back.id, 0);
  back.id = 0;
  EXPECT_EQ(back, r);
  EXPECT_FALSE(back.limitValue.has_value()); // NULL stays empty, not zero
  EXPECT_TRUE(dataFileMissing(rows[0]));
  EXPECT_EQ(historyCell(rows[0], HistoryColumn::DataFile, true), QStringLiteral("a.csv (missing)"));
}

TEST(Catalogue, FiltersSortsAndSums) {
  TempProgramFolder folder;
  Catalogue c(sqliteIn(folder));
  c.open();
  c.add({row("a", "Cell 1", 2.9, 40, "2026-11-30T23:59:59Z"),
         row("b", "cell 2", 3.1, 35, "2026-12-01T00:00:00Z"),
         row("c", "pack_x", 1.5, std::nullopt, "2026-12-02T12:00:00Z", "EBC-B20H"),
         row("d", "100%", 2.0, 50, "2026-12-03T08:00:00Z")});
  struct Case {
    const char* what;
    HistoryFilter f;
    std::vector<QString> uids; // newest first
  };
  HistoryFilter label;
  label.label = QStringLiteral("CELL");
  HistoryFilter underscore;
  underscore.label = QStringLiteral("_"); // a literal underscore, not "any character"
  HistoryFilter percent;
  percent.label = QStringLiteral("%");
  HistoryFilter model;
  model.model = QStringLiteral("b20h");
  HistoryFilter dates;
  dates.from = QDate(2026, 12, 1);
  dates.to = QDate(2026, 12, 2);
  HistoryFilter cap;
  cap.capacityMinAh = 2.9;
  cap.resistanceMaxMohm = 40;
  const std::vector<Case> cases{
      {"no filter", {}, {"d", "c", "b", "a"}},
      {"label any case", label, {"b", "a"}},
      {"underscore literal", underscore, {"c"}},
      {"percent literal", percent, {"d"}},
      {"model part", model, {"c"}},
      {"date range, both days", dates, {"c", "b"}},
      {"capacity and resistance", cap, {"b", "a"}},
  };
  for (const Case& k : cases) {
    std::vector<QString> got;
    for (const auto& r : c.query(k.f))
      got.push_back(r.uid);
    EXPECT_EQ(got, k.uids) << k.what;
    EXPECT_EQ(c.sums(k.f).count, qint64(k.uids.size())) << k.what;
  }
  const HistorySums all = c.sums({});
  EXPECT_NEAR(all.capacityAh, 9.5, 1e-9);
  EXPECT_NEAR(*all.meanResistanceMohm, (40 + 35 + 50) / 3.0, 1e-9);

  HistorySort byCap{QStringLiteral("capacity_ah"), false};
  EXPECT_EQ(c.query({}, byCap, 2, 0).front().uid, QStringLiteral("c"));
  // A column name that is not one is never put into the statement.
  HistorySort evil{QStringLiteral("id; DROP TABLE tests"), true};
  EXPECT_EQ(c.query({}, evil).size(), 4u);

  const auto first = c.query(label);
  EXPECT_EQ(c.remove({first[0].id}), 1);
  EXPECT_EQ(c.sums({}).count, 3);
}

TEST(Catalogue, RefusesAFileThatIsNoCatalogueAndLeavesItAsItWas) {
  TempProgramFolder folder;
  const QByteArray junk("this is not a database, but someone's notes\n");
  const QString path = folder.write(QString::fromLatin1(kCatalogueFile), junk);
  Catalogue c(sqliteIn(folder));
  EXPECT_THROW(c.open(), Failure);
  EXPECT_EQ(folder.read(QString::fromLatin1(kCatalogueFile)), junk);
  (void)path;
}

TEST(Catalogue, RefusesANewerSchemaAndKeepsItsRows) {
  TempProgramFolder folder;
  {
    Catalogue c(sqliteIn(folder));
    c.open();
    c.add({row("a", "x", 1, 1, "2026-12-01T00:00:00Z")});
  }
  {
    QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
    d.setDatabaseName(folder.file(QString::fromLatin1(kCatalogueFile)));
    ASSERT_TRUE(d.open());
    QSqlQuery q(d);
    ASSERT_TRUE(q.exec(QStringLiteral("UPDATE catalogue_meta SET value = '99' WHERE name = 'schema_version'")));
    d.close();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("raw"));
  Catalogue c(sqliteIn(folder));
  try {
    c.open();
    FAIL() << "a newer schema was opened";
  } catch (const Failure& f) {
    EXPECT_TRUE(f.description().contains(QStringLiteral("newer"))) << f.description().toStdString();
  }
  EXPECT_EQ(c.schemaVersion(), 99);
}

TEST(Catalogue, ArchiveAddress) {
  QString error;
  auto t = parseArchiveUrl(QStringLiteral("postgresql://lab@db.example:5433/cells"), &error);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->user, QStringLiteral("lab"));
  EXPECT_EQ(t->host, QStringLiteral("db.example"));
  EXPECT_EQ(t->port, 5433);
  EXPECT_EQ(t->database, QStringLiteral("cells"));
  EXPECT_EQ(parseArchiveUrl(QStringLiteral("postgresql://host/db"), nullptr)->port, 5432);
  for (const char* bad : {"mysql://a@b/c", "postgresql://a@b", "postgresql:///db", "nonsense"})
    EXPECT_FALSE(parseArchiveUrl(QString::fromLatin1(bad), &error)) << bad;
}

TEST(HistoryView, TableQuotesWhatNeedsIt) {
  TestRecord r = row("u", "a,b \"c\"", 1.25, std::nullopt, "2026-12-01T00:00:00Z");
  r.id = 7;
  const QStringList lines = historyTable({r}, true).split(QStringLiteral("\r\n"));
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("id,uid,kind,started_utc")));
  EXPECT_TRUE(lines[1].contains(QStringLiteral(",\"a,b \"\"c\"\"\",")));
  EXPECT_TRUE(lines[1].contains(QStringLiteral(",1.25,")));
  EXPECT_EQ(sumsLine({3, 1.5, 5.55, std::nullopt}), QStringLiteral("3 tests · 1.500 Ah · 5.550 Wh"));
}
