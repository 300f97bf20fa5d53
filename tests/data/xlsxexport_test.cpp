#include "data/export/xlsxexport.h"
#include "data/support/failure.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

// One part of the workbook's zip, as the spreadsheet program reads it.
QString part(const QString& xlsx, const QString& name) {
  QProcess unzip;
  unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), xlsx, name});
  if (!unzip.waitForFinished(20000) || unzip.exitCode() != 0)
    return {};
  return QString::fromUtf8(unzip.readAllStandardOutput());
}

// The cell's element in a sheet: <c r="B2" ...>...</c>.
QString cell(const QString& sheet, const QString& ref) {
  const QRegularExpression re(QStringLiteral("<c r=\"%1\"[^>]*>.*?</c>").arg(ref));
  return re.match(sheet).captured(0);
}

TEST(Spreadsheet, SamplesAndResultsAreTypedNumbersWithUnitsInTheHeadings) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("test.xlsx"));
  ExportTest t;
  t.start = QDateTime(QDate(2026, 12, 10), QTime(14, 3, 7), Qt::UTC);
  t.port = QStringLiteral("COM2");
  t.samples = {{0, 4.1, 1.0, false, 0.0, 0.0, std::nullopt},
               {1000, 4.0, 1.0, false, 0.25, 1.0, std::nullopt}};
  ExportResults r;
  r.device = QStringLiteral("KL-F2");
  r.mode = QStringLiteral("D-CC");
  r.capacityAh = 0.25;
  r.beginVolt = 4.1;
  writeXlsx(path, t, r);

  const QString samples = part(path, QStringLiteral("xl/worksheets/sheet1.xml"));
  ASSERT_FALSE(samples.isEmpty()) << "no sheet in " << path.toStdString();
  // Headings are strings; values are numbers (no t="s" or t="str": a plain <v>).
  EXPECT_TRUE(cell(samples, QStringLiteral("A1")).contains(QStringLiteral("t=\"s\"")));
  EXPECT_EQ(cell(samples, QStringLiteral("B3")), QStringLiteral("<c r=\"B3\"><v>4</v></c>"));
  EXPECT_EQ(cell(samples, QStringLiteral("C2")), QStringLiteral("<c r=\"C2\"><v>-1</v></c>"));
  const QString strings = part(path, QStringLiteral("xl/sharedStrings.xml"));
  EXPECT_TRUE(strings.contains(QStringLiteral("Voltage / V")));
  EXPECT_TRUE(strings.contains(QStringLiteral("Discharging Capacity / Ah")));

  const QString results = part(path, QStringLiteral("xl/worksheets/sheet2.xml"));
  ASSERT_FALSE(results.isEmpty());
  EXPECT_TRUE(strings.contains(QStringLiteral("Capacity / Ah")));
  EXPECT_TRUE(results.contains(QStringLiteral("<v>0.25</v>")));
  EXPECT_TRUE(results.contains(QStringLiteral("<v>4.1</v>")));
  const QString book = part(path, QStringLiteral("xl/workbook.xml"));
  EXPECT_TRUE(book.contains(QStringLiteral("name=\"Samples\"")));
  EXPECT_TRUE(book.contains(QStringLiteral("name=\"Results\"")));
}

TEST(Spreadsheet, AFileThatCannotBeWrittenIsAFailureAndLeavesNothing) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("missing/folder/test.xlsx"));
  EXPECT_THROW(writeXlsx(path, ExportTest{}, ExportResults{}), Failure);
  EXPECT_FALSE(QFile::exists(path));
}

} // namespace
