#include "data/export/xlsxexport.h"

#include "data/support/failure.h"

#include <QDir>
#include <QFile>

#include <xlsxwriter.h>

#include <cmath>
#include <memory>

namespace ondrel {
namespace {

struct WorkbookCloser {
  void operator()(lxw_workbook* w) const { workbook_close(w); }
};

} // namespace

void writeXlsx(const QString& path, const ExportTest& test, const ExportResults& results) {
  // The samples are the CSV export's table, so both files hold the same columns and numbers.
  const ExportTable table = batteryDataFormatTable(test);
  const QByteArray file = QFile::encodeName(path);
  lxw_workbook* book = workbook_new(file.constData());
  if (!book)
    throw Failure(QStringLiteral("cannot create ") + QDir::toNativeSeparators(path));
  std::unique_ptr<lxw_workbook, WorkbookCloser> guard(book);

  lxw_format* bold = workbook_add_format(book);
  format_set_bold(bold);
  lxw_worksheet* samples = workbook_add_worksheet(book, "Samples");
  for (lxw_col_t col = 0; col < lxw_col_t(table.headings.size()); ++col)
    worksheet_write_string(samples, 0, col, table.headings[col].toUtf8().constData(), bold);
  lxw_row_t row = 1;
  for (const std::vector<double>& values : table.rows) {
    for (lxw_col_t col = 0; col < lxw_col_t(values.size()); ++col)
      if (!std::isnan(values[col]))
        worksheet_write_number(samples, row, col, values[col], nullptr);
    ++row;
  }
  worksheet_freeze_panes(samples, 1, 0);
  worksheet_set_column(samples, 0, 12, 16, nullptr);

  lxw_worksheet* sheet = workbook_add_worksheet(book, "Results");
  worksheet_set_column(sheet, 0, 0, 24, nullptr);
  worksheet_set_column(sheet, 1, 1, 28, nullptr);
  lxw_row_t r = 0;
  auto text = [&](const char* label, const QString& value) {
    if (value.isEmpty())
      return;
    worksheet_write_string(sheet, r, 0, label, bold);
    worksheet_write_string(sheet, r++, 1, value.toUtf8().constData(), nullptr);
  };
  auto number = [&](const char* label, const std::optional<double>& value) {
    if (!value)
      return;
    worksheet_write_string(sheet, r, 0, label, bold);
    worksheet_write_number(sheet, r++, 1, *value, nullptr);
  };
  text("Device", results.device);
  text("Port", test.port);
  number("Channel", double(test.channel + 1));
  if (test.start.isValid())
    text("Start Time", test.start.toUTC().toString(Qt::ISODate));
  text("Mode", results.mode);
  text("Parameters", results.parameters);
  number("Begin Voltage / V", results.beginVolt);
  number("End Voltage / V", results.endVolt);
  number("Average Voltage / V", results.averageVolt);
  number("Capacity / Ah", results.capacityAh);
  number("Energy / Wh", results.energyWh);
  number("Resistance / mOhm", results.resistanceMilliohm);

  guard.release();
  const lxw_error err = workbook_close(book);
  if (err != LXW_NO_ERROR) {
    QFile::remove(path);
    throw Failure(QStringLiteral("cannot write %1: %2")
                      .arg(QDir::toNativeSeparators(path), QString::fromUtf8(lxw_strerror(err))));
  }
}

} // namespace ondrel
