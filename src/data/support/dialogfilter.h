#pragma once

#include <QString>
#include <QStringList>

namespace ondrel {

// Turns the program's filter text, pairs "description|pattern" joined by "|" (as in
// "csv file(*.csv)|*.csv|data file(*.dat)|*.dat"), into Qt name filters. A pattern list may hold
// several patterns separated by ";". A trailing description without a pattern is dropped.
QStringList nameFiltersFromPairs(const QString& filter);

// Longest proposed file name a dialog accepts; a longer one gives "" without a dialog.
inline constexpr qsizetype kMaxProposedNameLength = 260;

} // namespace ondrel
