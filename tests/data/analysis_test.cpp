#include "data/analysis.h"
#include "data/bdfexport.h"
#include "data/columnmap.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>
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

TEST(AnalysisViews, SmoothingIsAnOddWindowWithinItsRange) {
  const struct {
    int typed, points;
  } cases[] = {{-3, 1}, {0, 1}, {1, 1}, {4, 5}, {5, 5}, {50, 51}, {51, 51}, {99, 51}};
  for (const auto& c : cases)
    EXPECT_EQ(smoothingPoints(c.typed), c.points) << c.typed;
}

TEST(AnalysisViews, TypedVoltagesKeepNumbersAndNameTheRest) {
  const struct {
    const char* text;
    std::vector<double> volts;
    QStringList rejected;
  } cases[] = {
      {"4.0 3.8 3.6", {4.0, 3.8, 3.6}, {}},
      {"  3,7;3.5\t", {3.7, 3.5}, {}},
      {"", {}, {}},
      {"4.0 abc -1 0 nan inf 3.9", {4.0, 3.9}, {"abc", "-1", "0", "nan", "inf"}},
      {"4.0,3.8", {}, {"4.0,3.8"}}, // two decimal marks: no number, not a silent 4.0
  };
  for (const auto& c : cases) {
    const VoltageList got = parseVoltages(QString::fromUtf8(c.text));
    EXPECT_EQ(got.volts, c.volts) << c.text;
    EXPECT_EQ(got.rejected, c.rejected) << c.text;
  }
  QString many;
  for (int i = 0; i < 30; ++i)
    many += QStringLiteral("%1 ").arg(4.2 - i * 0.01);
  EXPECT_EQ(parseVoltages(many).volts.size(), size_t(VoltageList::kMaxVoltages));
}

TEST(AnalysisViews, TheViewersSinglePrecisionSamplesMeetTypedVoltages) {
  // 4.2f is 4.19999981: taken as it is, a discharge from 4.200 V would never reach 4.2 V.
  const std::vector<float> volt{4.2f, 4.1f, 3.7f}, ah{0.0f, 0.123f, 0.5f};
  const AnalysisFile f = analysisFile(QStringLiteral("a"), volt, ah);
  EXPECT_EQ(f.volt, (std::vector<double>{4.2, 4.1, 3.7}));
  EXPECT_EQ(f.ah, (std::vector<double>{0.0, 0.123, 0.5}));
  const std::vector<double> volts{4.2, 4.1};
  EXPECT_EQ(analysisTable(std::span(&f, 1), volts).rows[0], (QStringList{"a", "0.0", "123.0"}));
}

TEST(AnalysisViews, TheCapacityTableHasARowPerFileInMilliampereHours) {
  const std::vector<AnalysisFile> files{
      {QStringLiteral("cell A"), {4.2, 4.0, 3.8, 3.6, 3.0}, {0.0, 0.5, 1.0, 1.8, 2.0}},
      {QStringLiteral("cell B"), {4.1, 3.9, 3.7}, {0.0, 0.25, 0.5}},
      {QStringLiteral("empty"), {}, {}},
  };
  const std::vector<double> volts{4.2, 3.9, 3.65, 3.0};
  const AnalysisTable t = analysisTable(files, volts);
  EXPECT_EQ(t.headings, (QStringList{"File", "4.2 V", "3.9 V", "3.65 V", "3 V"}));
  ASSERT_EQ(t.rows.size(), 3u);
  EXPECT_EQ(t.rows[0], (QStringList{"cell A", "0.0", "750.0", "1600.0", "2000.0"}));
  EXPECT_EQ(t.rows[1], (QStringList{"cell B", "-", "250.0", "-", "-"}));
  EXPECT_EQ(t.rows[2], (QStringList{"empty", "-", "-", "-", "-"}));
  EXPECT_EQ(analysisTable(files, {}).rows[1], QStringList{"cell B"});
}

TEST(AnalysisViews, EachFileGetsItsCurveAndSmoothingFlattensIt) {
  // A discharge with a plateau, sampled with a step in capacity that makes the raw curve jagged.
  AnalysisFile cell{QStringLiteral("cell"), {}, {}};
  for (int i = 0; i <= 400; ++i) {
    cell.volt.push_back(4.2 - i * 0.002 - (i % 3 == 0 ? 0.001 : 0.0));
    cell.ah.push_back(i * 0.01);
  }
  const std::vector<AnalysisFile> files{cell, {QStringLiteral("short"), {4.0, 3.9}, {0, 0.1}}};
  const auto raw = dqdvCurves(files, 1);
  const auto smooth = dqdvCurves(files, 11);
  ASSERT_EQ(raw.size(), 2u);
  EXPECT_TRUE(raw[1].empty());
  ASSERT_FALSE(raw[0].empty());
  ASSERT_EQ(raw[0].size(), smooth[0].size());
  auto spread = [](const std::vector<DqDvPoint>& c) {
    const auto [lo, hi] = std::minmax_element(
        c.begin() + 10, c.end() - 10, [](const auto& a, const auto& b) { return a.dqdv < b.dqdv; });
    return hi->dqdv - lo->dqdv;
  };
  EXPECT_LT(spread(smooth[0]), spread(raw[0]));
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
