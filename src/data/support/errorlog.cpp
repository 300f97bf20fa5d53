#include "data/support/errorlog.h"

#include "data/support/programfolder.h"
#include "data/support/version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ondrel {
namespace {

QString stamp(const QDateTime& when) {
  return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void appendLine(const QString& path, const QString& line) {
  try {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
      return;
    file.write((line + QStringLiteral("\r\n")).toLocal8Bit());
  } catch (...) {
    // A failure while logging never reaches anyone.
  }
}

} // namespace

QString mainLogFileName(const QDate& day) {
  return QStringLiteral("ondrel-%1%2%3.log").arg(day.year()).arg(day.month()).arg(day.day());
}

QString mainLogLine(const QDateTime& when, const QString& tag, const QString& description) {
  return stamp(when) + QStringLiteral(" V") + QLatin1String(kVersionText) + QStringLiteral(":[") +
         tag + QLatin1Char(']') + description;
}

QString viewerLogLine(const QDateTime& when, const QString& tag, const QString& description) {
  return stamp(when) + QStringLiteral(":[") + tag + QLatin1Char(']') + description;
}

void ErrLog(const QString& tag, const QString& description) {
  try {
    const QString folder = programPath(QStringLiteral("Log"));
    if (!QFileInfo(folder).isDir())
      return;
    const QDateTime now = QDateTime::currentDateTime();
    appendLine(QDir(folder).filePath(mainLogFileName(now.date())),
               mainLogLine(now, tag, description));
  } catch (...) {
  }
}

void ViewerErrLog(const QString& tag, const QString& description) {
  try {
    appendLine(programPath(QStringLiteral("ondrel.log")),
               viewerLogLine(QDateTime::currentDateTime(), tag, description));
  } catch (...) {
  }
}

} // namespace ondrel
