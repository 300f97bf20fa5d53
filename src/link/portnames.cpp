#include "link/portnames.h"

#include "data/support/programfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace ondrel {

QString portName(int n) {
  return QStringLiteral("COM") + QString::number(n);
}

std::optional<int> portNumber(const QString& text) {
  static const QRegularExpression pattern(QStringLiteral("^COM\\s*0*([0-9]+)\\s*$"),
                                          QRegularExpression::CaseInsensitiveOption);
  const auto m = pattern.match(text);
  // Leading zeros are gone; more than five digits is beyond any port.
  if (!m.hasMatch() || m.capturedLength(1) > 5)
    return std::nullopt;
  const int n = m.captured(1).toInt();
  if (n < 1)
    return std::nullopt;
  return n;
}

std::optional<int> linkPortNumber(const QString& fileName) {
  const std::optional<int> n = portNumber(fileName);
  if (!n || portName(*n) != fileName)
    return std::nullopt;
  return n;
}

QString portsFolder() {
  return programPath(QStringLiteral("ports"));
}

QString portDevice(int n, const QString& folder) {
#ifdef Q_OS_WIN
  Q_UNUSED(folder);
  return portName(n);
#else
  return QDir(folder).filePath(portName(n));
#endif
}

QStringList systemUsbSerialDevices() {
  QStringList found;
#if defined(Q_OS_MACOS)
  const QDir dev(QStringLiteral("/dev"));
  for (const QString& entry :
       dev.entryList({QStringLiteral("cu.usbserial*"), QStringLiteral("cu.usbmodem*")},
                     QDir::System | QDir::Files, QDir::Name))
    found << dev.filePath(entry);
#elif defined(Q_OS_UNIX)
  // The by-id names survive re-plugging and a changed plug-in order; the bare tty names do not.
  const QDir byId(QStringLiteral("/dev/serial/by-id"));
  QHash<QString, QString> stableName; // canonical node -> by-id path
  for (const QString& entry : byId.entryList(QDir::System | QDir::Files, QDir::Name))
    stableName.insert(QFileInfo(byId.filePath(entry)).canonicalFilePath(), byId.filePath(entry));
  const QDir dev(QStringLiteral("/dev"));
  QStringList nodes = dev.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
                                    QDir::System | QDir::Files);
  // ttyUSB2 before ttyUSB10.
  std::sort(nodes.begin(), nodes.end(), [](const QString& a, const QString& b) {
    const QString pa = a.left(6), pb = b.left(6);
    if (pa != pb)
      return pa < pb;
    return a.mid(6).toInt() < b.mid(6).toInt();
  });
  for (const QString& node : nodes) {
    const QString path = dev.filePath(node);
    found << stableName.value(path, path);
  }
#endif
  return found;
}

QList<int> numberNewAdapters(const QString& folder, const QStringList& devices) {
  QList<int> assigned;
#ifdef Q_OS_WIN
  Q_UNUSED(folder);
  Q_UNUSED(devices);
#else
  if (devices.isEmpty())
    return assigned;
  const QDir dir(folder);
  QSet<int> taken;
  QSet<QString> reached; // link targets as written and as resolved
  for (const QFileInfo& link :
       dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
    const auto n = linkPortNumber(link.fileName());
    if (!n)
      continue;
    taken.insert(*n);
    if (link.isSymLink())
      reached.insert(link.symLinkTarget());
    const QString canonical = link.canonicalFilePath();
    if (!canonical.isEmpty())
      reached.insert(canonical);
  }
  for (const QString& device : devices) {
    const QString canonical = QFileInfo(device).canonicalFilePath();
    if (reached.contains(device) || (!canonical.isEmpty() && reached.contains(canonical)))
      continue;
    int n = kFirstProbedPort;
    while (n <= kLastProbedPort && taken.contains(n))
      ++n;
    if (n > kLastProbedPort)
      break;
    if (!dir.exists() && !QDir().mkpath(folder))
      break;
    if (!QFile::link(device, dir.filePath(portName(n))))
      continue;
    taken.insert(n);
    reached.insert(device);
    if (!canonical.isEmpty())
      reached.insert(canonical);
    assigned << n;
  }
#endif
  return assigned;
}

} // namespace ondrel
