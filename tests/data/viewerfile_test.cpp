#include "data/viewerfile.h"

#include "data/bdfexport.h"
#include "data/datafile.h"
#include "data/textfile.h"

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

// `seconds` + 1 lines of one point a second at `amps` and `volts`, with the given header lines.
QByteArray steadyFile(int seconds, double amps, double volts, const QByteArray& header = {},
                      char sep = ',') {
  QByteArray b = header + "Time(S),Cur(A),Vol(V)\r\n";
  for (int t = 0; t <= seconds; ++t)
    b += QByteArray::number(t) + sep + QByteArray::number(amps) + sep + QByteArray::number(volts) +
         "\r\n";
  return b;
}

TEST(ViewerFile, SeparatorByTheFileName) {
  EXPECT_EQ(viewerSeparator(QStringLiteral("a.csv")), ',');
  EXPECT_EQ(viewerSeparator(QStringLiteral("a.CSV")), ',');
  EXPECT_EQ(viewerSeparator(QStringLiteral("a.Csv")), '\t');
  EXPECT_EQ(viewerSeparator(QStringLiteral("a.dat")), '\t');
  EXPECT_EQ(viewerSeparator(QStringLiteral("a.txt")), '\t');
  // The same lines split one way or the other.
  const QByteArray tabs = "0\t1.5\t3.7\r\n1\t\t1.5\t3.6\r\n";
  EXPECT_EQ(readViewerFile(tabs, '\t', false).volt.size(), 2u);
  EXPECT_FLOAT_EQ(readViewerFile(tabs, '\t', false).volt[1], 3.6f); // separators skipped
  EXPECT_FALSE(readViewerFile(tabs, ',', false).problem.isEmpty());
}

TEST(ViewerFile, HeaderLinesFillTheRow) {
  const QByteArray header = "Device:KL-F2\r\nMode:D\r\nBegin Volt:4.2V\r\nmode:zz\r\n"
                            "Title:Cell 7\r\nTitle:Cell 8\r\n";
  const ViewerFile f = readViewerFile(steadyFile(10, 1, 3.7, header), ',', false);
  EXPECT_EQ(f.cells[0], QStringLiteral("KL-F2"));
  EXPECT_EQ(f.cells[1], QString()); // "Mode:" with one character
  EXPECT_EQ(f.cells[2], QStringLiteral("4.2V"));
  EXPECT_EQ(f.cells[7], QStringLiteral("Cell 8")); // the later line wins
  EXPECT_FALSE(f.smallCurrent);
  EXPECT_TRUE(readViewerFile(steadyFile(1, 1, 3.7, "Device:KL-18\r\n"), ',', false).smallCurrent);
}

TEST(ViewerFile, ComputedResults) {
  const ViewerFile hour = readViewerFile(steadyFile(3600, 1, 3.7), ',', false);
  ASSERT_TRUE(hour.problem.isEmpty());
  EXPECT_EQ(hour.cells[4], QStringLiteral("1000mAh"));
  EXPECT_EQ(hour.cells[5], QStringLiteral("3700mWh"));
  EXPECT_EQ(hour.cells[6], QStringLiteral("3.7V"));
  EXPECT_FLOAT_EQ(hour.capAh.back(), 1.0f);
  EXPECT_FLOAT_EQ(hour.energyWh.back(), 3.7f);

  // 12340 mAh: 12.34 Ah and the energy in Wh.
  const ViewerFile big = readViewerFile(steadyFile(3600, 12.34, 3.7), ',', false);
  EXPECT_EQ(big.cells[4], QStringLiteral("12.34Ah"));
  EXPECT_EQ(big.cells[5], QStringLiteral("45.66Wh"));

  // Written values are kept.
  const ViewerFile given =
      readViewerFile(steadyFile(3600, 1, 3.7, "Capacity:999mAh\r\nAvg Volt:3.60V\r\n"), ',', false);
  EXPECT_EQ(given.cells[4], QStringLiteral("999mAh"));
  EXPECT_EQ(given.cells[6], QStringLiteral("3.60V"));
  EXPECT_EQ(given.cells[5], QStringLiteral("3696mWh")); // 999 × the computed 3.7
}

// A milliampere file: its currents count in amperes for the sums.
TEST(ViewerFile, MilliampereColumnsDividedBeforeTheSums) {
  QByteArray b = "Time(S),Cur(mA),Vol(V)\r\n";
  for (int t = 0; t <= 3600; ++t)
    b += QByteArray::number(t) + ",500,3.7\r\n";
  const ViewerFile f = readViewerFile(b, ',', false);
  EXPECT_EQ(f.cells[4], QStringLiteral("500.00mAh"));
  EXPECT_EQ(f.cells[5], QStringLiteral("1850.00mWh"));
  EXPECT_FLOAT_EQ(f.cur.back(), 0.5f);
}

// A KC-10 test at 40 mA whose samples hold 0.97 mAh. Older versions wrote its device count of
// 0.999 mAh as "999mAh" (and "12.50Ah" for 12.50 mAh): such a file's results are read in mAh.
// This version's texts, and those of files in amperes, stay as written.
TEST(ViewerFile, AMilliampereFilesResultsAreInMilliampereHours) {
  const auto kc10 = [](const char* cap, const char* energy) {
    QByteArray b = "Device:KC-10\r\nMode:D-CC  40.000A  3.00V\r\n";
    if (cap)
      b += QByteArray("Capacity:") + cap + "\r\nEnergy:" + energy + "\r\n";
    b += "Time(S),Cur(mA),Vol(V)\r\n";
    for (int t = 0; t <= 87; ++t)
      b += QByteArray::number(t) + ",40.000,3.548\r\n";
    return b;
  };
  const struct {
    const char *cap, *energy, *shownCap, *shownEnergy;
  } cases[] = {
      {"999mAh", "3544mWh", "0.999mAh", "3.544mWh"},    // an older version's file
      {"12.50Ah", "44.35Wh", "12.50mAh", "44.35mWh"},   // ... from 10 mAh on
      {"0.999mAh", "3.544mWh", "0.999mAh", "3.544mWh"}, // this version's
      {"12.50mAh", "44.35mWh", "12.50mAh", "44.35mWh"},
      {nullptr, nullptr, "0.967mAh", "3.433mWh"}, // none written: 87 s at 40 mA, x 3.55 V
  };
  for (const auto& c : cases) {
    const ViewerFile f = readViewerFile(kc10(c.cap, c.energy), ',', false);
    EXPECT_EQ(f.cells[4], QLatin1String(c.shownCap)) << (c.cap ? c.cap : "computed");
    EXPECT_EQ(f.cells[5], QLatin1String(c.shownEnergy)) << (c.cap ? c.cap : "computed");
    EXPECT_EQ(f.capAh.back(), 0.001f) << "the samples' own sum, in Ah";
  }
  // A file in amperes keeps what it says.
  const ViewerFile amps =
      readViewerFile(steadyFile(10, 1, 3.7, "Capacity:999mAh\r\nEnergy:3544mWh\r\n"), ',', false);
  EXPECT_EQ(amps.cells[4], QStringLiteral("999mAh"));
  EXPECT_EQ(amps.cells[5], QStringLiteral("3544mWh"));
}

// Above 596 Ah a 32-bit capacity sum would have wrapped.
TEST(ViewerFile, CapacitySumIsSixtyFourBit) {
  const ViewerFile f = readViewerFile(steadyFile(7200, 400, 3.7), ',', false);
  EXPECT_EQ(f.cells[4], QStringLiteral("800.00Ah"));
}

TEST(ViewerFile, CapacityAsX) {
  const ViewerFile f = readViewerFile(steadyFile(3600, 1, 3.7), ',', true);
  EXPECT_FLOAT_EQ(f.x.back(), 1000.0f); // mAh
  EXPECT_FLOAT_EQ(f.t.back(), 3600.0f); // the hidden curves keep time
}

TEST(ViewerFile, BadInputIsNamedAndDrawsNothing) {
  const struct {
    QByteArray bytes;
    const char* problem;
  } cases[] = {
      {"", "no data lines"},
      {"Device:KL-F2\r\nTitle:only headers\r\n", "no data lines"},
      {QByteArray("0,1,3.7\r\n\0\x01\x02", 12), "not a text file"},
      {QByteArray(200000, '7') + "\r\n", "no data lines"}, // one huge line
      {"0,1,nan\r\n1,inf,3\r\n2,1e999,3\r\n3,1e300,3\r\n", "no data lines"},
      {"0\t1,5\t3,7\r\n", "no data lines"}, // decimal commas in a TAB file
  };
  for (const auto& k : cases) {
    const ViewerFile f = readViewerFile(k.bytes, k.bytes.contains('\t') ? '\t' : ',', false);
    EXPECT_EQ(f.problem, QLatin1String(k.problem)) << k.bytes.left(20).toStdString();
    EXPECT_TRUE(f.volt.empty());
  }
  // Decreasing times and junk lines among good ones: no failure, the good lines drawn.
  const ViewerFile mixed = readViewerFile("5,1,3.7\r\n3,1,3.6\r\nx,y\r\n4,abc,3\r\n", ',', false);
  EXPECT_TRUE(mixed.problem.isEmpty());
  EXPECT_EQ(mixed.volt.size(), 2u);
}

// A file this program wrote reads back with its header as written.
TEST(ViewerFile, ReadsTheProgramsOwnDataFiles) {
  for (bool csv : {true, false}) {
    DataFileContent c;
    c.csv = csv;
    c.resultValues = {QStringLiteral("KL-F2"),  QStringLiteral("D-CC 1.00A 3.00V"),
                      QStringLiteral("4.150V"), QStringLiteral("3.001V"),
                      QStringLiteral("812mAh"), QStringLiteral("3001mWh"),
                      QStringLiteral("3.70V")};
    c.title = QStringLiteral("电池 A");
    c.curDiv = 100;
    for (int t = 0; t < 50; ++t)
      c.points.push_back({float(t), 1.0f, 4.1f - 0.01f * float(t), 25.0f});
    const QByteArray bytes = textFileBytes(dataFileLines(c));
    const ViewerFile f = readViewerFile(bytes, csv ? ',' : '\t', false);
    ASSERT_TRUE(f.problem.isEmpty()) << csv;
    for (int col = 0; col < 7; ++col)
      EXPECT_EQ(f.cells[size_t(col)], c.resultValues[col]) << col;
    EXPECT_EQ(f.cells[7], c.title);
    EXPECT_EQ(f.volt.size(), 50u);
    EXPECT_FLOAT_EQ(f.volt[49], 3.61f);
  }
}

// Other programs' files are read by their headings, never by position.
TEST(ViewerFile, ABatteryDataFormatExportReadsBackAsTheProgramsOwnFile) {
  DataFileContent own;
  own.csv = true;
  own.resultValues = QStringList(7, QString());
  own.curDiv = 100;
  ExportTest exported;
  for (int t = 0; t < 60; ++t) {
    const float volt = 4.1f - 0.01f * float(t);
    own.points.push_back({float(t), 1.5f, volt, 25.0f});
    exported.samples.push_back(
        {t * 1000, double(volt), 1.5, false, 1.5 * t / 3600.0, 0.0, std::nullopt, 0, 0});
  }
  const ViewerFile a = readViewerFile(textFileBytes(dataFileLines(own)), ',', false);
  const ViewerFile b = readViewerFile(batteryDataFormatCsv(exported), ',', false);
  ASSERT_TRUE(b.problem.isEmpty()) << b.problem.toStdString();
  EXPECT_EQ(b.t, a.t);
  EXPECT_EQ(b.volt, a.volt);
  EXPECT_EQ(b.cur, a.cur); // the export's negative discharge current is drawn by its size
  EXPECT_EQ(b.capAh, a.capAh);
  EXPECT_EQ(b.cells[4], a.cells[4]);

  // The same columns in another order: the same curves.
  const QByteArray shuffled = "Current / A,Unix Time / s,Voltage / V,Test Time / s\r\n"
                              "-1.5,1796911387,4.1,0\r\n-1.5,1796911388,4.09,1\r\n";
  const ViewerFile c = readViewerFile(shuffled, ',', false);
  ASSERT_TRUE(c.problem.isEmpty()) << c.problem.toStdString();
  ASSERT_EQ(c.volt.size(), 2u);
  EXPECT_EQ(c.t, (std::vector<float>{0.0f, 1.0f}));
  EXPECT_EQ(c.volt, (std::vector<float>{4.1f, 4.09f}));
  EXPECT_EQ(c.cur, (std::vector<float>{1.5f, 1.5f}));
}

TEST(ViewerFile, AGermanStyleFileIsMappedWithItsDecimalComma) {
  // Semicolons, decimal commas, minutes and milliamperes, whatever the file name's ending says.
  const QByteArray german = "Zeit [min];Strom [mA];Spannung [V]\r\n"
                            "0;500,0;4,131\r\n0,5;500,0;4,120\r\n1;500,0;4,100\r\n";
  const ViewerFile f = readViewerFile(german, ',', false);
  ASSERT_TRUE(f.problem.isEmpty()) << f.problem.toStdString();
  EXPECT_EQ(f.t, (std::vector<float>{0.0f, 30.0f, 60.0f}));
  EXPECT_EQ(f.volt, (std::vector<float>{4.131f, 4.12f, 4.1f}));
  EXPECT_FLOAT_EQ(f.cur[0], 0.5f);
  EXPECT_FLOAT_EQ(f.capAh.back(), 0.008f); // 0.5 A for 60 s
}

TEST(ViewerFile, AFileWhoseColumnsCannotBeMappedIsRefusedByName) {
  const struct {
    QByteArray bytes;
    const char* problem;
  } cases[] = {
      {"Test Time / s,Current / A\r\n0,1\r\n1,1\r\n", "no voltage column in the heading row"},
      {"a;b;c\r\n1;2;3\r\n", "no time, voltage, current column in the heading row"},
      {"Time / s,Voltage / V,Current / A\r\n", "no data lines"},
  };
  for (const auto& k : cases) {
    const ViewerFile f = readViewerFile(k.bytes, ',', false);
    EXPECT_EQ(f.problem, QLatin1String(k.problem)) << k.bytes.toStdString();
    EXPECT_TRUE(f.volt.empty());
  }
}

TEST(ViewerAxes, VoltageFallingFromFourTwoToThree) {
  ViewerExtremes e;
  for (int i = 0; i <= 12; ++i)
    addViewerPoint(e, float(i), 4.2f - 0.1f * float(i), 1.0f);
  EXPECT_FLOAT_EQ(e.VMax, 4.3f);
  EXPECT_FLOAT_EQ(e.VMin, 2.9f);
  EXPECT_EQ(e.XMax, 12);
  const ViewerAxes a = fitViewerAxes(e, false);
  EXPECT_NEAR(a.vLow, 2.85, 1e-6);
  EXPECT_NEAR(a.vHigh, 4.35, 1e-6);
  // The current: 0.9..1.1 is 4 steps of 0.05 A; 0.15 A more on each side make 0.5 A.
  EXPECT_NEAR(a.cLow, 0.75, 1e-6);
  EXPECT_NEAR(a.cHigh, 1.25, 1e-6);
  // A small-current device: steps of 0.05 A, so 0.9..1.1 fits as it is.
  const ViewerAxes small = fitViewerAxes(e, true);
  EXPECT_NEAR(small.cLow, 0.9, 1e-6);
  EXPECT_NEAR(small.cHigh, 1.1, 1e-6);
  // Near zero the axis is padded above only.
  ViewerExtremes low;
  addViewerPoint(low, 1, 3.0f, 0.3f);
  const ViewerAxes lowAxes = fitViewerAxes(low, false);
  EXPECT_NEAR(lowAxes.cLow, 0.2, 1e-6);
  EXPECT_NEAR(lowAxes.cHigh, 0.7, 1e-6);
}

} // namespace
