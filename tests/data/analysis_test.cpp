#include "data/analysis.h"
#include "data/bdfexport.h"
#include "data/columnmap.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>

using namespace ondrel;

namespace {

TEST(DifferentialCapacity, AGaussianPeakIsFoundAtItsVoltageForChargeAndDischarge) {
  // dQ/dV = base + a Gaussian at 3.7 V: integrate it into Q(V), then sample the test in time.
  const double centre = 3.7;
  std::vector<double> v, q;
  double total = 0;
  for (int i = 0; i <= 1200; ++i) {
    const double volts = 3.0 + i * 0.001;
    const double density = 0.2 + 5.0 * std::exp(-std::pow((volts - centre) / 0.02, 2));
    if (i > 0)
      total += density * 0.001;
    v.push_back(volts);
    q.push_back(total);
  }
  const auto charge = dqdvCurve(v, q, 0.005, 3);
  ASSERT_TRUE(dqdvPeakVoltage(charge));
  EXPECT_NEAR(*dqdvPeakVoltage(charge), centre, 0.005);

  // The same cell discharged: voltage falls, capacity grows from the top; with measuring noise.
  std::vector<double> dv(v.rbegin(), v.rend()), dq;
  for (size_t i = 0; i < dv.size(); ++i) {
    dq.push_back(total - q[q.size() - 1 - i]);
    dv[i] += (i % 2 ? 0.0005 : -0.0005);
  }
  const auto discharge = dqdvCurve(dv, dq, 0.005, 5);
  ASSERT_TRUE(dqdvPeakVoltage(discharge));
  EXPECT_NEAR(*dqdvPeakVoltage(discharge), centre, 0.01);
  for (const DqDvPoint& p : discharge)
    EXPECT_GE(p.dqdv, 0.0);
}

TEST(DifferentialCapacity, TooLittleToDifferentiateGivesNoCurve) {
  const std::vector<double> two{4.0, 3.9}, ah2{0, 0.1};
  EXPECT_TRUE(dqdvCurve(two, ah2).empty());
  const std::vector<double> flat{3.7, 3.7, 3.7, 3.7}, ah4{0, 0.1, 0.2, 0.3};
  EXPECT_TRUE(dqdvCurve(flat, ah4).empty());
  EXPECT_FALSE(dqdvPeakVoltage({}));
}

TEST(CapacityAtVoltage, InterpolatesTheFirstCrossing) {
  const std::vector<double> volt{4.2, 4.0, 3.8, 3.6, 3.0}, ah{0.0, 0.5, 1.0, 1.8, 2.0};
  const struct {
    double target;
    std::optional<double> ah;
  } cases[] = {{4.2, 0.0}, {3.9, 0.75},         {3.6, 1.8},
               {3.3, 1.9}, {2.9, std::nullopt}, {4.3, std::nullopt}};
  for (const auto& c : cases) {
    const auto got = capacityAtVoltage(volt, ah, c.target);
    ASSERT_EQ(got.has_value(), c.ah.has_value()) << c.target;
    if (got) {
      EXPECT_NEAR(*got, *c.ah, 1e-9) << c.target;
    }
  }
}

ExportTest twoStepTest() {
  ExportTest t;
  t.start = QDateTime(QDate(2026, 12, 10), QTime(14, 3, 7), Qt::UTC);
  t.model = QStringLiteral("KL-F2");
  t.port = QStringLiteral("COM2");
  // A discharge step, then a charge step whose device count starts again at zero; the first
  // sample comes twice (time does not move on), as the program's own files have it.
  t.samples = {
      {0, 4.10, 1.0, false, 0.0, 0.0, std::nullopt, 1, 1},
      {0, 4.10, 1.0, false, 0.0, 0.0, std::nullopt, 1, 1},
      {1500, 4.05, 1.0, false, 0.5, 2.0, std::nullopt, 1, 1},
      {2500, 4.00, 0.0, false, 0.6, 2.4, std::nullopt, 1, 1},
      {3500, 4.02, 0.5, true, 0.1, 0.4, std::nullopt, 2, 1},
  };
  return t;
}

TEST(BatteryDataFormat, HeaderSignsTotalsAndStrictlyIncreasingTime) {
  const QList<QByteArray> lines = batteryDataFormatCsv(twoStepTest()).split('\n');
  ASSERT_GE(lines.size(), 5);
  EXPECT_EQ(lines[0].trimmed(),
            "Test Time / s,Voltage / V,Current / A,Unix Time / s,Step Count / 1,Cycle Count / 1,"
            "Charging Capacity / Ah,Discharging Capacity / Ah,Charging Energy / Wh,"
            "Discharging Energy / Wh");
  EXPECT_EQ(lines[1].trimmed(),
            "0.000,4.1000,-1.000000,1796911387.000,1,1,0.000000,0.000000,0.000000,0.000000");
  EXPECT_EQ(lines[2].trimmed(),
            "1.500,4.0500,-1.000000,1796911388.500,1,1,0.000000,0.500000,0.000000,2.000000");
  EXPECT_EQ(lines[3].trimmed(),
            "2.500,4.0000,0.000000,1796911389.500,1,1,0.000000,0.600000,0.000000,2.400000");
  EXPECT_EQ(lines[4].trimmed(),
            "3.500,4.0200,0.500000,1796911390.500,2,1,0.100000,0.600000,0.400000,2.400000");
  EXPECT_EQ(lines.size(), 6); // and the final line break
}

TEST(BatteryDataFormat, MilliampereModelsAreWrittenInAmperesAndTemperatureWhereKnown) {
  ExportTest t;
  t.milliamps = true;
  t.samples = {{0, 3.9, 40.0, false, 0.0, 0.0, 25.5}, {1000, 3.8, 40.0, false, 1.0, 3.9, 25.6}};
  const QList<QByteArray> lines = batteryDataFormatCsv(t).split('\n');
  EXPECT_EQ(lines[0].trimmed(),
            "Test Time / s,Voltage / V,Current / A,Temperature T1 / degC,Charging Capacity / Ah,"
            "Discharging Capacity / Ah,Charging Energy / Wh,Discharging Energy / Wh");
  EXPECT_EQ(lines[2].trimmed(), "1.000,3.8000,-0.040000,25.6,0.000000,0.001000,0.000000,0.003900");
}

TEST(BatteryDataFormat, FileNamesSortByTheTestsStart) {
  ExportTest t = twoStepTest();
  t.start = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5));
  t.channel = 1;
  t.model = QStringLiteral("KL/03");
  EXPECT_EQ(exportFileStem(t), QStringLiteral("2026-01-02T03-04-05_KL_03_COM2_ch2"));
}

// What users' tools do with the file: Python's csv module with no options.
TEST(BatteryDataFormat, PythonsCsvModuleReadsItWithoutOptions) {
  if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
    GTEST_SKIP() << "no /usr/bin/python3";
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("t.bdf.csv"));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(batteryDataFormatCsv(twoStepTest()));
  f.close();
  QProcess py;
  py.start(QStringLiteral("/usr/bin/python3"),
           {QStringLiteral("-c"),
            QStringLiteral("import csv,sys\n"
                           "rows=list(csv.DictReader(open(sys.argv[1],newline='')))\n"
                           "print(len(rows), sum(float(r['Current / A']) for r in rows),"
                           " rows[-1]['Voltage / V'])"),
            path});
  ASSERT_TRUE(py.waitForFinished(20000));
  EXPECT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
  EXPECT_EQ(py.readAllStandardOutput().trimmed(), "4 -1.5 4.0200");
}

TEST(ColumnMap, HeadersOfCommonExportsAreMappedByName) {
  const struct {
    const char* header;
    const char* firstLine;
    int time, volt, current;
    double timeScale, voltScale, currentScale;
    char separator;
    bool decimalComma;
  } cases[] = {
      {"Test Time / s,Voltage / V,Current / A", "", 0, 1, 2, 1, 1, 1, ',', false},
      {"\xEF\xBB\xBFUnix Time / s,Current / A,Test Time / s,Voltage / V", "", 2, 3, 1, 1, 1, 1, ',',
       false},
      {"Data_Point,Test_Time(s),Date_Time,Step_Time(s),Current(A),Voltage(V)", "", 1, 5, 4, 1, 1, 1,
       ',', false},
      {"Zeit [min];Spannung [V];I[mA]", "0,5;3,912;-500,0", 0, 1, 2, 60, 1, 0.001, ';', true},
      {"Step;U[V];I[A];time[s]", "1;3.9;1;0", 3, 1, 2, 1, 1, 1, ';', false},
      {"time/s\tEcell/V\t<I>/mA", "1.0\t3.9\t10", 0, 1, 2, 1, 1, 0.001, '\t', false},
      {"\"Time (h)\";\"Voltage (mV)\";\"Current (A)\"", "1;3900;1", 0, 1, 2, 3600, 0.001, 1, ';',
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    const ColumnMap m = mapColumns(c.header, c.firstLine);
    EXPECT_TRUE(m.usable()) << m.missing.join(u',').toStdString();
    EXPECT_EQ(m.time, c.time);
    EXPECT_EQ(m.volt, c.volt);
    EXPECT_EQ(m.current, c.current);
    EXPECT_DOUBLE_EQ(m.timeScale, c.timeScale);
    EXPECT_DOUBLE_EQ(m.voltScale, c.voltScale);
    EXPECT_DOUBLE_EQ(m.currentScale, c.currentScale);
    EXPECT_EQ(m.separator, c.separator);
    EXPECT_EQ(m.decimalComma, c.decimalComma);
  }
}

TEST(ColumnMap, WhatCannotBeMappedIsNamed) {
  EXPECT_EQ(mapColumns("Test Time / s,Current / A").missing,
            QStringList{QStringLiteral("voltage")});
  EXPECT_EQ(
      mapColumns("a,b,c").missing,
      (QStringList{QStringLiteral("time"), QStringLiteral("voltage"), QStringLiteral("current")}));
  // A unit that does not fit the quantity is not guessed at.
  EXPECT_EQ(mapColumns("Time / s,Voltage / A,Current / A").missing,
            QStringList{QStringLiteral("voltage")});
}

TEST(ColumnMap, NumbersAreReadWithTheFilesDecimalMark) {
  const ColumnMap german = mapColumns("Zeit [s];Spannung [V];Strom [A]", "1;4,131;0,5");
  const auto cells = splitNumbers("1;4,131;\"0,5\"\r\n", german);
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_DOUBLE_EQ(cells[1], 4.131);
  EXPECT_DOUBLE_EQ(cells[2], 0.5);
  EXPECT_TRUE(std::isnan(splitNumbers("x,1", mapColumns("a,b"))[0]));
}

} // namespace
