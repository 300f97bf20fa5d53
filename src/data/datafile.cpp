#include "data/datafile.h"

#include "data/filenames.h"
#include "data/recording.h"
#include "data/support/failure.h"
#include "data/support/numberformat.h"

#include <QSaveFile>

#include <cmath>

namespace ondrel {

QStringList dataFileLines(const DataFileContent& c) {
  const QString sep = c.csv ? QStringLiteral(",") : QStringLiteral("\t");
  QStringList lines{QLatin1String(kDataTitleLine)};
  lines += c.resultBlock;
  lines << QStringLiteral("Title:") + c.title << QLatin1String(kBannerLine)
        << columnHeadings(c.withTemperature, c.caps).join(sep);
  if (c.points.empty())
    return lines;
  const QStringView curPicture = c.curDiv == 100 ? u"0.00" : u"0.000";
  const double x0 = static_cast<double>(roundHalfEven(c.points.front().x));
  for (const DataFilePoint& p : c.points) {
    QString line = QString::number(static_cast<qint64>(std::trunc(p.x - x0))) + sep +
                   Format(p.current, curPicture) + sep + Format(p.voltage, u"0.000");
    if (c.withTemperature)
      line += sep + Format(p.temperature, u"0.0");
    lines << line;
  }
  return lines;
}

QString dataFileStem(const QDateTime& when, const QString& device, int slot, int channel) {
  const QDate d = when.date();
  const QTime t = when.time();
  // One join, not a chain of arg() calls: a "%1" inside the device name must stay text.
  return QStringList{
      QString::number(d.year()), QString::number(d.month()),  QString::number(d.day()),
      QString::number(t.hour()), QString::number(t.minute()), QString::number(t.second()),
      fileNameSafe(device),      QString::number(slot + 1),   QString::number(channel + 1)}
      .join(QLatin1Char('-'));
}

void writeDataFile(const QString& path, const QStringList& lines) {
  QByteArray bytes;
  for (const QString& line : lines)
    bytes += line.toLocal8Bit() + "\r\n";
  // Written beside and renamed into place, so a full disk never leaves half a file where a
  // complete one stood.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    throw Failure(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

} // namespace ondrel
