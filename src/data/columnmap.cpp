#include "data/columnmap.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace ondrel {
namespace {

enum class Quantity { None, Time, Volt, Current, Capacity, Temp };

struct Heading {
  QString name; // letters and digits only, lower case
  QString unit; // lower case, spaces removed
};

Heading splitHeading(const QString& cell) {
  static const QRegularExpression withUnit(
      QStringLiteral(R"(^\s*(.*?)\s*(?:/\s*([^/]+?)|\(([^)]*)\)|\[([^\]]*)\])\s*$)"));
  QString name = cell.trimmed(), unit;
  const QRegularExpressionMatch m = withUnit.match(name);
  if (m.hasMatch() && !m.captured(1).isEmpty()) {
    name = m.captured(1);
    for (int i = 2; i <= 4; ++i)
      if (!m.captured(i).isEmpty())
        unit = m.captured(i);
  }
  QString letters;
  for (QChar ch : name)
    if (ch.isLetterOrNumber())
      letters += ch.toLower();
  unit = unit.toLower().remove(QLatin1Char(' '));
  return {letters, unit};
}

Quantity quantityOf(const Heading& h) {
  static const struct {
    const char* name;
    Quantity q;
  } names[] = {
      {"testtime", Quantity::Time},
      {"time", Quantity::Time},
      {"totaltime", Quantity::Time},
      {"elapsedtime", Quantity::Time},
      {"runtime", Quantity::Time},
      {"t", Quantity::Time},
      {"voltage", Quantity::Volt},
      {"cellvoltage", Quantity::Volt},
      {"batteryvoltage", Quantity::Volt},
      {"u", Quantity::Volt},
      {"ecell", Quantity::Volt},
      {"v", Quantity::Volt},
      {"current", Quantity::Current},
      {"cellcurrent", Quantity::Current},
      {"i", Quantity::Current},
      {"capacity", Quantity::Capacity},
      {"dischargingcapacity", Quantity::Capacity},
      {"dischargecapacity", Quantity::Capacity},
      {"dchgcap", Quantity::Capacity},
      {"ah", Quantity::Capacity},
      {"temperaturet1", Quantity::Temp},
      {"temperature", Quantity::Temp},
      {"temp", Quantity::Temp},
      {"t1", Quantity::Temp},
      {"auxtemperature1", Quantity::Temp},
      // German exports
      {"zeit", Quantity::Time},
      {"spannung", Quantity::Volt},
      {"strom", Quantity::Current},
      {"kapazität", Quantity::Capacity},
  };
  for (const auto& n : names)
    if (h.name == QString::fromUtf8(n.name))
      return n.q;
  return Quantity::None;
}

// The factor to the program's unit, or 0 for a unit that does not fit the quantity.
double scaleOf(Quantity q, const QString& unit) {
  const struct {
    Quantity q;
    const char* unit;
    double scale;
  } units[] = {
      {Quantity::Time, "", 1},          {Quantity::Time, "s", 1},
      {Quantity::Time, "sec", 1},       {Quantity::Time, "ms", 0.001},
      {Quantity::Time, "min", 60},      {Quantity::Time, "h", 3600},
      {Quantity::Time, "hr", 3600},     {Quantity::Volt, "", 1},
      {Quantity::Volt, "v", 1},         {Quantity::Volt, "mv", 0.001},
      {Quantity::Current, "", 1},       {Quantity::Current, "a", 1},
      {Quantity::Current, "ma", 0.001}, {Quantity::Capacity, "", 1},
      {Quantity::Capacity, "ah", 1},    {Quantity::Capacity, "mah", 0.001},
      {Quantity::Temp, "", 1},          {Quantity::Temp, "degc", 1},
      {Quantity::Temp, "°c", 1},        {Quantity::Temp, "c", 1},
  };
  for (const auto& u : units)
    if (u.q == q && unit == QLatin1String(u.unit))
      return u.scale;
  return 0.0;
}

char guessSeparator(const QByteArray& header) {
  char best = ',';
  qsizetype most = 0;
  for (char c : {'\t', ';', ','}) {
    const qsizetype n = header.count(c);
    if (n > most)
      best = c, most = n;
  }
  return best;
}

} // namespace

ColumnMap mapColumns(const QByteArray& headerLine, const QByteArray& firstDataLine) {
  ColumnMap map;
  QByteArray header = headerLine;
  if (header.startsWith("\xEF\xBB\xBF"))
    header.remove(0, 3);
  while (header.endsWith('\r') || header.endsWith('\n'))
    header.chop(1);
  map.separator = guessSeparator(header);
  // A decimal comma only goes with another separator; a data line shows whether numbers carry it.
  if (map.separator != ',') {
    static const QRegularExpression commaNumber(
        QStringLiteral(R"((^|[;\t])\s*-?\d+,\d+\s*($|[;\t]))"));
    map.decimalComma = commaNumber.match(QString::fromUtf8(firstDataLine)).hasMatch();
  }

  const QList<QByteArray> cells = header.split(map.separator);
  for (int i = 0; i < cells.size(); ++i) {
    const Heading h = splitHeading(QString::fromUtf8(cells[i]).remove(QLatin1Char('"')));
    const Quantity q = quantityOf(h);
    const double scale = scaleOf(q, h.unit);
    if (q == Quantity::None || scale == 0.0)
      continue;
    auto take = [&](int& column, double* factor) {
      if (column >= 0)
        return; // the first column of a kind counts
      column = i;
      if (factor)
        *factor = scale;
    };
    switch (q) {
    case Quantity::Time:
      take(map.time, &map.timeScale);
      break;
    case Quantity::Volt:
      take(map.volt, &map.voltScale);
      break;
    case Quantity::Current:
      take(map.current, &map.currentScale);
      break;
    case Quantity::Capacity:
      take(map.capacity, &map.capacityScale);
      break;
    case Quantity::Temp:
      take(map.temp, nullptr);
      break;
    case Quantity::None:
      break;
    }
  }
  if (map.time < 0)
    map.missing << QStringLiteral("time");
  if (map.volt < 0)
    map.missing << QStringLiteral("voltage");
  if (map.current < 0)
    map.missing << QStringLiteral("current");
  return map;
}

std::vector<double> splitNumbers(const QByteArray& line, const ColumnMap& map) {
  QByteArray text = line;
  while (text.endsWith('\r') || text.endsWith('\n'))
    text.chop(1);
  std::vector<double> out;
  for (QByteArray cell : text.split(map.separator)) {
    cell = cell.trimmed();
    if (cell.startsWith('"') && cell.endsWith('"') && cell.size() >= 2)
      cell = cell.mid(1, cell.size() - 2);
    if (map.decimalComma)
      cell.replace(',', '.');
    bool ok = false;
    const double v = cell.toDouble(&ok);
    out.push_back(ok ? v : std::numeric_limits<double>::quiet_NaN());
  }
  return out;
}

} // namespace ondrel
