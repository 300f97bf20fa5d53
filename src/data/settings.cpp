#include "data/settings.h"

#include "data/support/numberformat.h"
#include "link/commands.h"

#include <cmath>
#include <limits>

namespace ondrel {

namespace settings {
SettingsKey port(int slot) {
  // The ten names live as long as the program: a key holds plain pointers.
  static const QByteArray names[] = {"PORT1", "PORT2", "PORT3", "PORT4", "PORT5",
                                     "PORT6", "PORT7", "PORT8", "PORT9", "PORT10"};
  return {"COMM", names[qBound(0, slot, 9)].constData(), "2"};
}
} // namespace settings

namespace {

QString name(const SettingsKey& k) {
  return QLatin1String(k.section) + QLatin1Char('/') + QLatin1String(k.key);
}

// One pass over the file's keys: the value text of each, and a list of the unusable ones.
class KeyReader {
public:
  explicit KeyReader(const IniDocument& ini, QStringList& problems)
      : m_ini(ini), m_problems(problems) {}

  QString text(const SettingsKey& k) const {
    const QString v = m_ini.value(QLatin1String(k.section), QLatin1String(k.key));
    if (v.isEmpty())
      return QLatin1String(k.defaultText);
    return v.left(kIniMaxValueLength);
  }

  // "True"/"False" in any case, or a number (0 is false).
  bool boolean(const SettingsKey& k) {
    const QString v = text(k);
    if (v.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
      return true;
    if (v.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
      return false;
    if (const auto n = boxNumber(v))
      return *n != 0;
    return unusable(k, v), QLatin1String(k.defaultText) == QLatin1String("True");
  }

  // A number with its integer part taken, within [low, high].
  qint64 whole(const SettingsKey& k, qint64 low, qint64 high) {
    const QString v = text(k);
    const auto n = boxNumber(v);
    if (n && *n >= double(low) && *n < double(high) + 1)
      return static_cast<qint64>(std::trunc(*n));
    unusable(k, v);
    return QByteArray(k.defaultText).toLongLong();
  }

  // A colour 0x00BBGGRR.
  quint32 colour(const SettingsKey& k) { return quint32(whole(k, 0, 0xFFFFFF)); }

  // A plain number (axis limits); nullopt for text that is none.
  double number(const SettingsKey& k) {
    const QString v = text(k);
    if (const auto n = boxNumber(v))
      return *n;
    unusable(k, v);
    return QByteArray(k.defaultText).toDouble();
  }

private:
  void unusable(const SettingsKey& k, const QString& v) {
    // Enough of the value to recognise it; the log line stays one short line.
    QString shown = v.left(40);
    for (QChar& c : shown)
      if (!c.isPrint())
        c = QLatin1Char('?');
    m_problems << name(k) + QStringLiteral(": \"") + shown + QLatin1Char('"');
  }

  const IniDocument& m_ini;
  QStringList& m_problems;
};

// Lower and upper limit in [0, bound] and at least `span` apart.
std::optional<AxisRange> acceptedRange(double low, double high, double bound, double span) {
  // A hair of slack: 5.1 typed is 5 + 0.1 however the binary fractions fall.
  const double slack = 1e-9;
  if (low < 0 || high < 0 || low > bound || high > bound || high < low + span - slack)
    return std::nullopt;
  return AxisRange{low, high};
}

} // namespace

StartupSettings readStartupSettings(const IniDocument& ini) {
  namespace k = settings;
  StartupSettings s;
  KeyReader r(ini, s.problems);
  Preferences& p = s.prefs;

  // Only 0 and 1 mean anything; any other number leaves the texts as they are.
  const qint64 lang =
      r.whole(k::LANG, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  s.LANG = lang == 1 ? 1 : 0;

  p.SAVE = r.boolean(k::SAVE);
  p.MSG = r.boolean(k::MSG);
  p.HIDE = r.boolean(k::HIDE);
  p.DISP = r.boolean(k::DISP);
  p.CSV = r.boolean(k::CSV);
  p.TEMP = r.boolean(k::TEMP);
  p.BDF = r.boolean(k::BDF);

  p.VCOL[0] = r.colour(k::VCOL0);
  p.CCOL[0] = r.colour(k::CCOL0);
  p.VCOL[1] = r.colour(k::VCOL1);
  p.CCOL[1] = r.colour(k::CCOL1);
  p.PCOL = r.colour(k::PCOL);
  p.TCOL = r.colour(k::TCOL);

  const double vy0 = r.number(k::VY0), vy1 = r.number(k::VY1);
  s.ranges.volt = acceptedRange(vy0, vy1, 100, 0.1);
  const double cy0 = r.number(k::CY0), cy1 = r.number(k::CY1);
  s.ranges.cur = acceptedRange(cy0, cy1, 100, 0.1);
  const double ct0 = r.number(k::CT0), ct1 = r.number(k::CT1);
  // Whole seconds: the integer parts.
  s.ranges.time = acceptedRange(std::trunc(ct0), std::trunc(ct1), 60000, 10);

  p.MDOT = r.whole(k::MDOT, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()) != 0;
  p.SDOT = r.whole(k::SDOT, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()) != 0;
  p.BCOL = r.colour(k::BCOL);
  p.GCOL = r.colour(k::GCOL);
  p.ACOL = r.colour(k::ACOL);
  p.LINE = int(r.whole(k::LINE, 1, 20));

  auto tick = [&](const SettingsKey& key) {
    return r.whole(key, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()) != 0 ? 1
                                                                                               : 0;
  };
  p.SAH = tick(k::SAH);
  p.SWH = tick(k::SWH);
  p.SLA = tick(k::SLA);
  p.XTIME = r.boolean(k::XTIME);
  p.SCALE = tick(k::SCALE);
  return s;
}

QString readSetting(const QString& file, const SettingsKey& key) {
  return IniRead(file, QLatin1String(key.section), QLatin1String(key.key),
                 QLatin1String(key.defaultText));
}

void writeSetting(const QString& file, const SettingsKey& key, const QString& value) {
  IniWrite(file, QLatin1String(key.section), QLatin1String(key.key), value);
}

// ---- "Coordinate Settings" ------------------------------------------------------------------

namespace {

double bound(AxisBox box) {
  return box == AxisBox::Time ? 60000 : 100;
}

QString rangeMessage(AxisBox box) {
  switch (box) {
  case AxisBox::Voltage:
    return QStringLiteral("电压坐标设置超出范围");
  case AxisBox::Current:
    return QStringLiteral("电流坐标设置超出范围");
  case AxisBox::Time:
    break;
  }
  return QStringLiteral("时间坐标设置超出范围");
}

bool inBounds(const QString& text, AxisBox box) {
  const auto n = boxNumber(text);
  return n && *n >= 0 && *n <= bound(box);
}

double value(const QString& text) {
  return boxNumber(text).value_or(0);
}

} // namespace

BoxCheck checkCoordinateBox(AxisBox box, const QString& text) {
  const auto n = boxNumber(text);
  if (!n)
    return {QStringLiteral("设置数据有误！"), text};
  if (*n < 0 || *n > bound(box))
    return {rangeMessage(box), text};
  return {{}, Format(*n, box == AxisBox::Time ? u"0" : u"0.0")};
}

QString checkCoordinates(const CoordinateTexts& t) {
  const double slack = 1e-9;
  if (!inBounds(t.curLow, AxisBox::Current) || !inBounds(t.curHigh, AxisBox::Current))
    return rangeMessage(AxisBox::Current);
  if (!inBounds(t.voltLow, AxisBox::Voltage) || !inBounds(t.voltHigh, AxisBox::Voltage))
    return rangeMessage(AxisBox::Voltage);
  if (value(t.curHigh) < value(t.curLow) + 0.1 - slack)
    return QStringLiteral("电流轴范围需大于等于") + QStringLiteral("0.1") + QStringLiteral("A");
  if (value(t.voltHigh) < value(t.voltLow) + 0.1 - slack)
    return QStringLiteral("电压轴范围需大于等于") + QStringLiteral("0.1") + QStringLiteral("V");
  if (!inBounds(t.timeLow, AxisBox::Time) || !inBounds(t.timeHigh, AxisBox::Time))
    return rangeMessage(AxisBox::Time);
  if (value(t.timeHigh) < value(t.timeLow) + 10 - slack)
    return QStringLiteral("时间轴范围需大于等于") + QStringLiteral("10") + QStringLiteral("S");
  return {};
}

CoordinateTexts coordinateTexts(double voltLow, double voltHigh, double curLow, double curHigh,
                                double timeLow, double timeHigh) {
  auto whole = [](double v) { return QString::number(static_cast<qint64>(std::trunc(v))); };
  return {Format(voltLow, u"0.0"), Format(voltHigh, u"0.0"), Format(curLow, u"0.0"),
          Format(curHigh, u"0.0"), whole(timeLow),           whole(timeHigh)};
}

} // namespace ondrel
