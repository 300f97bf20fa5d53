#include "data/datafile.h"
#include "history/import.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace ondrel;
using ondrel::testing::TempProgramFolder;

namespace {

QByteArray dataFile(const QString& title, const QString& capacity, bool csv = true) {
  DataFileContent c;
  c.resultValues = {QStringLiteral("EBC-A20"), QStringLiteral("D-CC 1.00A 2.50V"), QStringLiteral("4.150V"),
                    QStringLiteral("2.500V"), capacity, QStringLiteral("10.95Wh"), QStringLiteral("3.71V")};
  c.title = title;
  c.csv = csv;
  for (int i = 0; i < 5; ++i)
    c.points.push_back({float(i * 60), 1.0f, 4.1f - 0.3f * float(i), 0});
  return dataFileLines(c).join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

} // namespace

TEST(Import, AddsEachReadableFileOnceAndListsTheRest) {
  TempProgramFolder folder;
  folder.write(QStringLiteral("Data/a.csv"), dataFile(QStringLiteral("cell A"), QStringLiteral("2.950Ah")));
  folder.write(QStringLiteral("Data/old/b.dat"), dataFile(QStringLiteral("cell B"), QStringLiteral("950.0mAh"), false));
  // The same content under another name is the same test.
  folder.write(QStringLiteral("Data/copy of a.csv"), dataFile(QStringLiteral("cell A"), QStringLiteral("2.950Ah")));
  folder.write(QStringLiteral("Data/notes.csv"), QByteArray("just some words\r\n"));
  folder.write(QStringLiteral("Data/binary.dat"), QByteArray("\x00\x01\x02\xff", 4));

  StoreTarget t;
  t.path = folder.file(QString::fromLatin1(kCatalogueFile));
  Catalogue c(t);
  c.open();
  ImportResult r = importDataFolder(c, folder.file(QStringLiteral("Data")));
  EXPECT_EQ(r.added, 2);
  EXPECT_EQ(r.known, 1);
  EXPECT_EQ(r.failed.size(), 2u);

  HistoryFilter byLabel;
  byLabel.label = QStringLiteral("cell B");
  const auto rows = c.query(byLabel);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_NEAR(*rows[0].capacityAh, 0.95, 1e-9); // mAh taken into Ah
  EXPECT_NEAR(*rows[0].beginV, 4.15, 1e-9);
  EXPECT_EQ(rows[0].model, QStringLiteral("EBC-A20"));
  EXPECT_TRUE(rows[0].dataFile.endsWith(QStringLiteral("Data/old/b.dat")));
  EXPECT_EQ(rows[0].dataHash.size(), 64);

  EXPECT_TRUE(c.unsent(10).empty());

  // A second import finds nothing new.
  r = importDataFolder(c, folder.file(QStringLiteral("Data")));
  EXPECT_EQ(r.added, 0);
  EXPECT_EQ(r.known, 3);
}

// Imported into the local catalogue while the lab store is away, the rows wait to be sent there.
TEST(Import, IntoTheStandInForTheLabStoreMarksTheRowsUnsent) {
  TempProgramFolder folder;
  folder.write(QStringLiteral("Data/a.csv"), dataFile(QStringLiteral("cell A"), QStringLiteral("2.950Ah")));
  StoreTarget t;
  t.path = folder.file(QString::fromLatin1(kCatalogueFile));
  Catalogue c(t);
  c.open();
  EXPECT_EQ(importDataFolder(c, folder.file(QStringLiteral("Data")), true).added, 1);
  const auto waiting = c.unsent(10);
  ASSERT_EQ(waiting.size(), 1u);
  EXPECT_EQ(waiting[0].label, QStringLiteral("cell A"));
}
