#include "data/support/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace ondrel {
namespace {

QMutex g_lock;
QString g_folder; // empty until decided

// A folder counts as writable only when a file can really be created there: permission bits lie
// on read-only mounts and for root.
bool canCreateFilesIn(const QString& folder) {
  if (!QFileInfo(folder).isDir())
    return false;
  QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".ondrel-probe-XXXXXX")));
  return probe.open();
}

// An installed program (prefix/bin beside prefix/share) keeps nothing beside itself, even when it
// may: root can write to /usr/bin, and settings or recordings do not belong there.
bool isInstalledLayout(const QString& executableFolder) {
  const QDir bin(executableFolder);
  if (bin.dirName() != QLatin1String("bin"))
    return false;
  return QFileInfo(bin.filePath(QStringLiteral("../share/doc/ondrel"))).isDir() ||
         QFileInfo::exists(
             bin.filePath(QStringLiteral("../share/applications/io.github.ondrel.Ondrel.desktop")));
}

} // namespace

QString resolveProgramFolder(const QString& home, const QString& executableFolder,
                             const QString& userDataFolder) {
  QString chosen;
  if (!home.isEmpty())
    chosen = home;
  else if (!executableFolder.isEmpty() && !isInstalledLayout(executableFolder) &&
           canCreateFilesIn(executableFolder))
    chosen = executableFolder;
  else
    chosen = userDataFolder;
  QDir().mkpath(chosen);
  return QDir(chosen).absolutePath();
}

QString homeOption(const QStringList& arguments) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments.at(i);
    if (a == QLatin1String("--home") && i + 1 < arguments.size())
      return arguments.at(i + 1);
    if (a.startsWith(QLatin1String("--home=")))
      return a.mid(7);
  }
  return {};
}

void initProgramFolder(const QStringList& arguments) {
  const QString userData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  setProgramFolder(resolveProgramFolder(homeOption(arguments),
                                        QCoreApplication::applicationDirPath(), userData));
}

void setProgramFolder(const QString& folder) {
  QMutexLocker lock(&g_lock);
  g_folder = folder;
}

QString programFolder() {
  QMutexLocker lock(&g_lock);
  return g_folder.isEmpty() ? QDir::currentPath() : g_folder;
}

QString programPath(const QString& relative) {
  return QDir(programFolder()).filePath(relative);
}

} // namespace ondrel
