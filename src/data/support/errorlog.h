#pragma once

#include <QDateTime>
#include <QString>

namespace ondrel {

// Appends one line to the day's main log, "Log/ondrel-<y><m><d>.log" in the program folder.
// Never throws, never shows anything; without a "Log" folder nothing is logged.
void ErrLog(const QString& tag, const QString& description);

// The data viewer's log: "ondrel.log" in the program folder.
void ViewerErrLog(const QString& tag, const QString& description);

// File name of the main log for a day: date parts without leading zeros ("ondrel-202435.log").
QString mainLogFileName(const QDate& day);

// One main-log line without its line end: "<date> <time> V1.0.0:[tag]description".
QString mainLogLine(const QDateTime& when, const QString& tag, const QString& description);
QString viewerLogLine(const QDateTime& when, const QString& tag, const QString& description);

} // namespace ondrel
