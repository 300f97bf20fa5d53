#include "data/filenames.h"

namespace ondrel {

QString fileNameSafe(const QString& name) {
  static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
  QString safe = name;
  for (QChar& c : safe) {
    if (forbidden.contains(c) || c.category() == QChar::Other_Control)
      c = QLatin1Char('_');
  }
  if (safe.isEmpty())
    return QStringLiteral("_");
  if (safe.count(QLatin1Char('.')) == safe.size())
    safe.fill(QLatin1Char('_'));
  return safe;
}

} // namespace ondrel
