#include "data/recording.h"

#include "data/filenames.h"
#include "data/support/failure.h"
#include "data/support/numberformat.h"

#include <QDir>
#include <QFile>

namespace ondrel {
namespace {

void writeLines(const QString& path, QIODevice::OpenMode mode, const QStringList& lines) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | mode))
    throw Failure(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
  QByteArray bytes;
  for (const QString& line : lines)
    bytes += line.toLocal8Bit() + "\r\n";
  if (file.write(bytes) != bytes.size() || !file.flush())
    throw Failure(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

} // namespace

QStringList columnHeadings(bool withTemperature, int modelCode) {
  const QString cur =
      (!withTemperature && modelCode == 40) ? QStringLiteral("Cur(mA)") : QStringLiteral("Cur(A)");
  QStringList h{QStringLiteral("Time(S)"), cur, QStringLiteral("Vol(V)")};
  if (withTemperature)
    h << QStringLiteral("Temp(C)");
  return h;
}

QString recordingBasePath(const QString& folder, const QString& deviceName, const QString& port,
                          int slot, int channel) {
  // One arg() for all four parts, so that a "%1" inside a name stays text.
  return QDir(folder).filePath(QStringLiteral("ondrel-%1-%2-%3-%4")
                                   .arg(fileNameSafe(deviceName), fileNameSafe(port),
                                        QString::number(slot + 1), QString::number(channel + 1)));
}

QStringList recordingHeader(const QString& device, const QString& mode, const QString& beginVolt,
                            bool withTemperature, int modelCode) {
  return {QLatin1String(kRecordingTitleLine),
          QStringLiteral("Device:") + device,
          QStringLiteral("Mode:") + mode,
          QStringLiteral("Begin Volt:") + beginVolt,
          QLatin1String(kBannerLine),
          columnHeadings(withTemperature, modelCode).join(QLatin1Char('\t'))};
}

QString recordingLine(qint32 testSec, float cur, float volt, std::optional<float> temp,
                      int curDiv) {
  QString line = QString::number(testSec) + QLatin1Char('\t') +
                 Format(cur, curDiv == 100 ? u"00.00" : u"0.000") + QLatin1Char('\t') +
                 Format(volt, u"0.000");
  if (temp)
    line += QLatin1Char('\t') + Format(*temp, u"0.0");
  return line;
}

void createRecordingFile(const QString& basePath, const QStringList& header) {
  const QString path = basePath + QStringLiteral(".bak");
  if (QFile::exists(path) && !QFile::remove(path))
    throw Failure(QStringLiteral("Cannot replace %1").arg(path));
  writeLines(path, QIODevice::NewOnly, header);
}

void appendRecordingLine(const QString& basePath, const QString& line) {
  writeLines(basePath + QStringLiteral(".bak"), QIODevice::Append, {line});
}

} // namespace ondrel
