#include "data/support/dialogfilter.h"

namespace ondrel {

QStringList nameFiltersFromPairs(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts.at(i).trimmed();
    QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns)
      p = p.trimmed();
    const QString list = patterns.join(QLatin1Char(' '));
    if (list.isEmpty())
      continue;
    // Qt reads the patterns from the last "(...)" of a filter: a description that already ends
    // with exactly these patterns is used as it stands, else the patterns are appended.
    if (description.endsWith(QLatin1Char('(') + list + QLatin1Char(')')))
      out << description;
    else
      out << description + QStringLiteral(" (") + list + QLatin1Char(')');
  }
  return out;
}

} // namespace ondrel
