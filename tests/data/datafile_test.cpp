#include "data/datafile.h"
#include "data/recording.h"
#include "support/printers.h"

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

DataFileContent content() {
  DataFileContent c;
  c.resultValues = {QStringLiteral("KL-F2"),  QStringLiteral("D-CC  1.00A  3.00V"),
                    QStringLiteral("4.100V"), QStringLiteral("3.000V"),
                    QStringLiteral("850mAh"), QStringLiteral("3.20Wh"),
                    QStringLiteral("3.70V")};
  c.title = QStringLiteral("Cell 7");
  c.curDiv = 100;
  c.csv = true;
  c.points = {{12.0f, 1.0f, 4.1f, 25.0f}, {13.0f, 1.004f, 4.0996f, 25.1f}, {15.7f, 1.0f, 4.0f, 0}};
  return c;
}

TEST(DataFile, HeaderResultBlockAndOnePointALineFromTheStartPoint) {
  DataFileContent c = content();
  const QStringList expected = {QLatin1String(kDataTitleLine),
                                QStringLiteral("Device:KL-F2"),
                                QStringLiteral("Mode:D-CC  1.00A  3.00V"),
                                QStringLiteral("Begin Volt:4.100V"),
                                QStringLiteral("Cutoff Volt:3.000V"),
                                QStringLiteral("Capacity:850mAh"),
                                QStringLiteral("Energy:3.20Wh"),
                                QStringLiteral("Avg Volt:3.70V"),
                                QStringLiteral("Title:Cell 7"),
                                QLatin1String(kBannerLine),
                                QStringLiteral("Time(S),Cur(A),Vol(V)"),
                                QStringLiteral("0,1.00,4.100"),
                                QStringLiteral("1,1.00,4.100"),
                                QStringLiteral("3,1.00,4.000")};
  EXPECT_EQ(dataFileLines(c), expected);

  c.csv = false;
  c.withTemperature = true;
  c.curDiv = 1000;
  c.points.resize(1);
  EXPECT_EQ(dataFileLines(c).mid(10),
            (QStringList{QStringLiteral("Time(S)\tCur(A)\tVol(V)\tTemp(C)"),
                         QStringLiteral("0\t1.000\t4.100\t25.0")}));
  c.points.clear();
  EXPECT_EQ(dataFileLines(c).size(), 11); // header only

  // A start point between whole seconds: the time counts from its rounded X.
  c = content();
  c.points = {{12.6f, 1, 4, 0}, {13.6f, 1, 4, 0}};
  EXPECT_EQ(dataFileLines(c).mid(11),
            (QStringList{QStringLiteral("0,1.00,4.000"), QStringLiteral("0,1.00,4.000")}));
  c.caps.currentInMilliamps = true;
  EXPECT_EQ(dataFileLines(c).at(10), QStringLiteral("Time(S),Cur(mA),Vol(V)"));
}

TEST(DataFile, AStepProgramsRowsReplaceTheResultBlock) {
  DataFileContent c = content();
  c.csv = false;
  c.stepRows = {{QStringLiteral("Step"), QStringLiteral("Mode"), QStringLiteral("Capacity"),
                 QStringLiteral("Energy")},
                {QStringLiteral("1-1"), QStringLiteral("D-CC"), QStringLiteral("0.850"),
                 QStringLiteral("3.145")}};
  const QStringList lines = dataFileLines(c);
  EXPECT_EQ(
      lines.mid(0, 4),
      (QStringList{QLatin1String(kDataTitleLine), QStringLiteral("*Step\tMode\tCapacity\tEnergy"),
                   QStringLiteral("*1-1\tD-CC\t0.850\t3.145"), QStringLiteral("Title:Cell 7")}));
}

TEST(DataFile, NamesAndExtensions) {
  EXPECT_EQ(
      dataFileStem(QDateTime(QDate(2024, 3, 7), QTime(9, 5, 2)), QStringLiteral("KL-F2"), 0, 1),
      QStringLiteral("2024-3-7-9-5-2-KL-F2-1-2"));
  EXPECT_EQ(dataFileStem(QDateTime(QDate(2024, 12, 17), QTime(23, 59, 30)), QStringLiteral("a/b%1"),
                         9, 0),
            QStringLiteral("2024-12-17-23-59-30-a_b%1-10-1"));
  const struct {
    const char *name, *extension, *result;
  } cases[] = {
      {"run1", "csv", "run1.csv"},
      {"run1.csv", "csv", "run1.csv"},
      {"run1.csv", "dat", "run1.csv.dat"},
      {"cell_3.7V", "csv", "cell_3.7V.csv"},
      {"setup.CFG", "cfg", "setup.CFG.cfg"}, // compared case-sensitively
      {"/tmp/x/setup.cfg", "cfg", "/tmp/x/setup.cfg"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(withExtension(QString::fromUtf8(c.name), QString::fromUtf8(c.extension)),
              QString::fromUtf8(c.result));
}

} // namespace
