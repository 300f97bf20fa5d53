#include "support/tempfolder.h"

#include "data/support/errorlog.h"
#include "data/support/programfolder.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ondrel::testing {

TempProgramFolder::TempProgramFolder(Layout layout) : m_previous(programFolder()) {
  if (layout == WithDataAndLog) {
    QDir(m_dir.path()).mkdir(QStringLiteral("Data"));
    QDir(m_dir.path()).mkdir(QStringLiteral("Log"));
  }
  setProgramFolder(m_dir.path());
}

TempProgramFolder::~TempProgramFolder() {
  setProgramFolder(m_previous);
}

QString TempProgramFolder::file(const QString& relative) const {
  return QDir(m_dir.path()).filePath(relative);
}

QString TempProgramFolder::write(const QString& relative, const QByteArray& bytes) const {
  const QString p = file(relative);
  QDir().mkpath(QFileInfo(p).path());
  QFile f(p);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
    f.write(bytes);
  return p;
}

QByteArray TempProgramFolder::read(const QString& relative) const {
  QFile f(file(relative));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString TempProgramFolder::mainLog() const {
  return QString::fromLocal8Bit(
      read(QStringLiteral("Log/") + mainLogFileName(QDate::currentDate())));
}

} // namespace ondrel::testing
