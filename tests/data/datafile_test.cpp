#include "data/datafile.h"
#include "data/recording.h"
#include "data/support/failure.h"
#include "support/printers.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::TempProgramFolder;

namespace {

TEST(DataFile, LinesFromTheTestsPoints) {
  DataFileContent c;
  c.resultBlock = {QStringLiteral("Device:KL-F2"), QStringLiteral("Mode:D-CC")};
  c.title = QStringLiteral("Cell 7");
  c.curDiv = 100;
  c.csv = true;
  c.points = {{12.0f, 1.0f, 4.1f, 25.0f}, {13.0f, 1.004f, 4.0996f, 25.1f}, {15.7f, 1.0f, 4.0f, 0}};
  const QStringList lines = dataFileLines(c);
  const QStringList expected = {
      QLatin1String(kDataTitleLine),  QStringLiteral("Device:KL-F2"),
      QStringLiteral("Mode:D-CC"),    QStringLiteral("Title:Cell 7"),
      QLatin1String(kBannerLine),     QStringLiteral("Time(S),Cur(A),Vol(V)"),
      QStringLiteral("0,1.00,4.100"), QStringLiteral("1,1.00,4.100"),
      QStringLiteral("3,1.00,4.000")};
  EXPECT_EQ(lines, expected);

  c.csv = false;
  c.withTemperature = true;
  c.curDiv = 1000;
  c.points.resize(1);
  EXPECT_EQ(dataFileLines(c).mid(5),
            (QStringList{QStringLiteral("Time(S)\tCur(A)\tVol(V)\tTemp(C)"),
                         QStringLiteral("0\t1.000\t4.100\t25.0")}));
  c.points.clear();
  EXPECT_EQ(dataFileLines(c).size(), 6); // header only
}

TEST(DataFile, StemAndWriting) {
  EXPECT_EQ(
      dataFileStem(QDateTime(QDate(2024, 3, 7), QTime(9, 5, 2)), QStringLiteral("KL-F2"), 0, 1),
      QStringLiteral("2024-3-7-9-5-2-KL-F2-1-2"));
  TempProgramFolder home;
  writeDataFile(home.file(QStringLiteral("a.csv")), {QStringLiteral("x"), QStringLiteral("y")});
  EXPECT_EQ(home.read(QStringLiteral("a.csv")), QByteArray("x\r\ny\r\n"));
  EXPECT_THROW(writeDataFile(home.file(QStringLiteral("no/such/dir/a.csv")), {}), Failure);
}

} // namespace
