#include "data/datafile.h"

#include "data/filenames.h"
#include "data/recording.h"
#include "data/support/numberformat.h"

#include <cmath>

namespace ondrel {

QStringList dataFileLines(const DataFileContent& c) {
  const QString sep = c.csv ? QStringLiteral(",") : QStringLiteral("\t");
  QStringList lines{QLatin1String(kDataTitleLine)};
  if (!c.stepRows.empty()) {
    for (const QStringList& row : c.stepRows)
      lines << QLatin1Char('*') + row.join(sep);
  } else {
    for (qsizetype col = 0; col < std::ssize(kResultHeadings); ++col)
      lines << QLatin1String(kResultHeadings[col]) + QLatin1Char(':') + c.resultValues.value(col);
  }
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

QString dataFileExtension(bool csv) {
  return csv ? QStringLiteral("csv") : QStringLiteral("dat");
}

QString dataFileFilter(bool csv) {
  return csv ? QStringLiteral("csv file(*.csv)|*.csv") : QStringLiteral("data file(*.dat)|*.dat");
}

QString dateTimeStem(const QDateTime& when) {
  const QDate d = when.date();
  const QTime t = when.time();
  return QStringList{QString::number(d.year()),   QString::number(d.month()),
                     QString::number(d.day()),    QString::number(t.hour()),
                     QString::number(t.minute()), QString::number(t.second())}
      .join(QLatin1Char('-'));
}

QString dataFileStem(const QDateTime& when, const QString& device, int slot, int channel) {
  // One join, not a chain of arg() calls: a "%1" inside the device name must stay text.
  return QStringList{dateTimeStem(when), fileNameSafe(device), QString::number(slot + 1),
                     QString::number(channel + 1)}
      .join(QLatin1Char('-'));
}

QString withExtension(const QString& name, const QString& extension) {
  if (name.right(3) == extension)
    return name;
  return name + QLatin1Char('.') + extension;
}

} // namespace ondrel
