#pragma once

#include "history/catalogue.h"
#include "history/testrecord.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace ondrel {

// What the history window shows, without widgets: its columns, each cell's text, the count and
// sums line, the selection as a file.

// The window's columns, in order.
enum class HistoryColumn {
  Date, Label, Model, PortChannel, Mode, Capacity, Energy, AvgVolt, Resistance, EndReason, DataFile
};
inline constexpr int kHistoryColumns = 11;

// A column's heading as shown.
QString historyHeading(HistoryColumn column);
// The catalogue column it sorts by.
QString historySortColumn(HistoryColumn column);
// A cell's text. `fileMissing`: the data file named is not there (shown, not an error).
QString historyCell(const TestRecord& r, HistoryColumn column, bool fileMissing = false);
// The data file is named and is not where it was.
bool dataFileMissing(const TestRecord& r);
// "12 tests · 31.204 Ah · 115.77 Wh · mean 38.2 mΩ"
QString sumsLine(const HistorySums& s);

// The rows as a text file of every catalogue column: "," and ".csv" when `csv`, else TAB.
// Texts holding the separator, quotes or line breaks are quoted.
QString historyTable(const std::vector<TestRecord>& rows, bool csv);

// Parses "2026-12-10" (or an ISO time); nothing for anything else.
std::optional<QDate> parseHistoryDate(const QString& text);

} // namespace ondrel
