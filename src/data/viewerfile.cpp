#include "data/viewerfile.h"

#include "data/columnmap.h"
#include "data/liveupdate.h"
#include "data/support/numberformat.h"
#include "data/textfile.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

namespace ondrel {

const std::array<const char*, kViewerColumns> kViewerHeadings = {
    "Device", "Mode", "Begin Volt", "Cutoff Volt", "Capacity", "Energy", "Avg Volt", "Title"};

char viewerSeparator(const QString& fileName) {
  const QString last = fileName.right(3);
  return last == QLatin1String("csv") || last == QLatin1String("CSV") ? ',' : '\t';
}

namespace {

float round3(double v) {
  return static_cast<float>(std::round(v * 1000.0) / 1000.0);
}

// The whole of [begin, end) as a finite number, or false.
bool fieldNumber(const char* begin, const char* end, double& out) {
  if (begin == end)
    return false;
  if (*begin == '+')
    ++begin;
  const auto r = std::from_chars(begin, end, out);
  return r.ec == std::errc() && r.ptr == end && std::isfinite(out);
}

// Time, current and voltage of a data line (its first character is a digit).
bool dataFields(const char* p, const char* end, char sep, double& t, double& i, double& u) {
  const char* f1 = static_cast<const char*>(std::memchr(p, sep, size_t(end - p)));
  if (!f1 || !fieldNumber(p, f1, t))
    return false;
  const char* f2 = f1;
  while (f2 < end && *f2 == sep)
    ++f2;
  const char* f2end = f2;
  while (f2end < end && *f2end != sep)
    ++f2end;
  if (!fieldNumber(f2, f2end, i))
    return false;
  const char* f3 = f2end < end ? f2end + 1 : end;
  const char* f3end = f3;
  while (f3end < end && *f3end != sep && *f3end != '\n')
    ++f3end;
  if (!fieldNumber(f3, f3end, u))
    return false;
  // No tester measures beyond these; a line that does is junk, and keeping it out keeps every
  // sum and every float finite.
  return std::abs(t) <= 1e9 && std::abs(i) <= 1e6 && std::abs(u) <= 1e6;
}

// The result text of a computed number: shortest decimal form.
QString shortest(double v) {
  return QLocale::c().toString(v, 'g', QLocale::FloatingPointShortest);
}

// The number before `unit` at the end of `text`.
std::optional<double> numberBefore(const QString& text, QLatin1StringView unit) {
  if (!text.endsWith(unit))
    return std::nullopt;
  bool ok = false;
  const double n = text.chopped(unit.size()).trimmed().toDouble(&ok);
  return ok ? std::optional(n) : std::nullopt;
}

// A result of a milliampere file as older versions wrote it: they took the device's mAh for Ah,
// so "999mAh" (always whole) stands for 0.999 mAh and "12.50Ah" for 12.50 mAh. This version
// writes "0.999mAh" and "12.50mAh", which stay as they are.
QString mendedMilliampResult(const QString& text, QLatin1StringView milliUnit,
                             QLatin1StringView unit, QString (*shown)(double)) {
  if (text.endsWith(milliUnit)) {
    const std::optional<double> n = numberBefore(text, milliUnit);
    if (n && !text.contains(QLatin1Char('.')))
      return shown(*n / 1000.0);
    return text;
  }
  if (const std::optional<double> n = numberBefore(text, unit))
    return shown(*n);
  return text;
}

void completeCells(ViewerFile& f, bool milliamps) {
  QString& avg = f.cells[6];
  if (avg.isEmpty())
    avg = shortest(f.average) + QLatin1Char('V');
  QString& cap = f.cells[4];
  QString& energy = f.cells[5];
  if (milliamps) {
    cap = mendedMilliampResult(cap, QLatin1StringView("mAh"), QLatin1StringView("Ah"),
                               milliampHourText);
    energy = mendedMilliampResult(energy, QLatin1StringView("mWh"), QLatin1StringView("Wh"),
                                  milliwattHourText);
    // The samples' own unit: milliampere hours, and milliwatt hours from them.
    if (cap.isEmpty())
      cap = milliampHourText(f.capAcc / 3600.0);
    if (const auto n = numberBefore(cap, QLatin1StringView("mAh")); energy.isEmpty() && n)
      energy = milliwattHourText(*n * f.average);
    return;
  }
  if (cap.isEmpty()) {
    const qint64 c = std::llround(f.capAcc) / 3600;
    cap = c > 9999 ? Format(double(c) / 1000.0, u"00.00") + QStringLiteral("Ah")
                   : QString::number(c) + QStringLiteral("mAh");
  }
  if (energy.isEmpty()) {
    if (const auto n = numberBefore(cap, QLatin1StringView("mAh")))
      energy = Format(*n * f.average, u"0") + QStringLiteral("mWh");
    else if (const auto n = numberBefore(cap, QLatin1StringView("Ah")))
      energy = Format(*n * f.average, u"0.00") + QStringLiteral("Wh");
  }
}

} // namespace

namespace {

// One sample: `dt` seconds since the one before at `i` amperes adds to the capacity; the energy
// goes by the average voltage so far.
void addPoint(ViewerFile& f, qint64 count, double t, double i, double u, double dt, bool volCap) {
  f.voltSum += u;
  f.capAcc += dt * i * 1000.0;
  const double energy = f.capAcc * f.voltSum / double(count);
  f.t.push_back(float(t));
  f.x.push_back(volCap ? float(f.capAcc / 3600.0) : float(t));
  f.volt.push_back(float(u));
  f.cur.push_back(float(i));
  f.capAh.push_back(round3(f.capAcc / 3600.0 / 1000.0));
  f.energyWh.push_back(round3(energy / 3600.0 / 1000.0));
}

// After the last line: the average and the computed results, or why nothing can be shown.
void finishFile(ViewerFile& f, qint64 count, bool milliamps) {
  if (count == 0) {
    f.problem = QStringLiteral("no data lines");
    return;
  }
  f.average = std::round(f.voltSum / double(count) * 100.0) / 100.0;
  completeCells(f, milliamps);
}

// The lines of `bytes` without their line ends, skipping empty ones and those too long to look at.
template <typename Each> void forEachLine(const QByteArray& bytes, Each each) {
  const char* p = bytes.constData();
  const char* const end = p + bytes.size();
  while (p < end) {
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
    const char* next = nl ? nl + 1 : end;
    const char* e = nl ? nl : end;
    if (e > p && e[-1] == '\r')
      --e;
    if (e != p && e - p <= kViewerMaxLine && !each(QByteArray::fromRawData(p, e - p)))
      return;
    p = next;
  }
}

// A file of this program starts with its title line ("-----..."), step rows ("*..."), result
// lines ("Device:..."), its column headings ("Time(S)...") or straight with data; anything else
// starts with another program's heading row.
bool ownFormat(const QByteArray& bytes) {
  bool own = true;
  forEachLine(bytes, [&](QByteArray line) {
    if (line.startsWith("\xEF\xBB\xBF"))
      line = line.mid(3);
    if (line.isEmpty() || (line[0] >= '0' && line[0] <= '9') || line[0] == '-' || line[0] == '*' ||
        line.startsWith("Time(S)"))
      return false;
    own = false;
    for (const char* key : kViewerHeadings) {
      const qsizetype n = qsizetype(std::strlen(key));
      if (line.size() > n && line.startsWith(key) && line[n] == ':')
        own = true;
    }
    return false;
  });
  return own;
}

// Another program's file, its columns found by their headings; never read by position.
ViewerFile readForeignFile(const QByteArray& bytes, bool volCap) {
  ViewerFile f;
  QByteArray header;
  ColumnMap map;
  bool haveMap = false;
  qint64 count = 0;
  double prevT = 0;
  forEachLine(bytes, [&](const QByteArray& line) {
    if (header.isEmpty()) {
      header = line;
      return true;
    }
    if (!haveMap) {
      map = mapColumns(header, line);
      haveMap = true;
      if (!map.usable())
        return false;
    }
    const std::vector<double> cells = splitNumbers(line, map);
    const auto at = [&](int col) {
      return col < int(cells.size()) ? cells[size_t(col)] : std::nan("");
    };
    const double t = at(map.time) * map.timeScale;
    const double u = at(map.volt) * map.voltScale;
    // Cycler files sign the current; the curves show its size, as the program's own files do.
    const double i = std::abs(at(map.current) * map.currentScale);
    if (!std::isfinite(t) || !std::isfinite(u) || !std::isfinite(i) || std::abs(t) > 1e9 ||
        std::abs(u) > 1e6 || i > 1e6)
      return true; // a line of text or junk among the samples
    if (count == 0)
      prevT = t;
    addPoint(f, ++count, t, i, u, t - prevT, volCap);
    prevT = t;
    return true;
  });
  if (haveMap && !map.usable()) {
    f.problem = QStringLiteral("no %1 column in the heading row")
                    .arg(map.missing.join(QStringLiteral(", ")));
    return f;
  }
  finishFile(f, count, false);
  return f;
}

} // namespace

ViewerFile readViewerFile(const QByteArray& bytes, char sep, bool volCap) {
  ViewerFile f;
  if (bytes.left(kViewerMaxLine).contains('\0')) {
    f.problem = QStringLiteral("not a text file");
    return f;
  }
  if (!ownFormat(bytes))
    return readForeignFile(bytes, volCap);
  bool milliamps = false;
  qint64 count = 0, prevT = 0;
  const char* p = bytes.constData();
  const char* const end = p + bytes.size();
  while (p < end) {
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
    const char* lineEnd = nl ? nl : end;
    const char* next = nl ? nl + 1 : end;
    const char* e = lineEnd;
    if (e > p && e[-1] == '\r')
      --e;
    if (e == p || e - p > kViewerMaxLine) {
      p = next;
      continue;
    }
    if (*p >= '0' && *p <= '9') {
      double t, i, u;
      if (dataFields(p, e, sep, t, i, u)) {
        if (milliamps)
          i /= 1000.0;
        addPoint(f, ++count, t, i, u, t - double(prevT), volCap);
        prevT = std::llround(t);
      }
    } else {
      const QByteArrayView line(p, e - p);
      for (int col = 0; col < kViewerColumns; ++col) {
        const QByteArrayView key(kViewerHeadings[size_t(col)]);
        if (line.size() > key.size() + 2 && line.startsWith(key) && line[key.size()] == ':') {
          f.cells[size_t(col)] = decodeTextLine(line.sliced(key.size() + 1));
          if (col == 0) {
            f.deviceSeen = true;
            f.smallCurrent = f.cells[0] == QLatin1String("KL-18");
          }
          break;
        }
      }
      if (line.contains("Cur(mA)"))
        milliamps = true;
    }
    p = next;
  }
  finishFile(f, count, milliamps);
  return f;
}

namespace {

float round1(double v) {
  return static_cast<float>(std::round(v * 10.0) / 10.0);
}

void widen(float value, float& hi, float& lo) {
  if (value + 0.1f > hi)
    hi = round1(double(value) + 0.1);
  if (value <= 0.1f)
    lo = 0;
  else if (value - 0.1f < lo)
    lo = round1(double(value) - 0.1);
}

// One axis: the span made a multiple of ten steps of `step / 10`.
void fit(double lo, double hi, double step, double& outLo, double& outHi) {
  const double unit = step / 10.0;
  const qint64 f = std::llround((hi - lo) / unit) % 10;
  outLo = lo, outHi = hi;
  if (f == 0)
    return;
  if (lo <= step) {
    outHi = hi + double(10 - f) * unit;
  } else {
    outLo = lo - double(10 - f) * unit / 2.0;
    outHi = hi + double(10 - f) * unit / 2.0;
  }
}

} // namespace

void addViewerPoint(ViewerExtremes& e, float x, float volt, float cur) {
  if (x > float(e.XMax))
    e.XMax = static_cast<qint32>(std::lround(std::min(double(x), 2.0e9)));
  if (e.VMax == 0 && e.VMin == 0)
    e.VMax = e.VMin = volt;
  if (e.CMax == 0 && e.CMin == 0)
    e.CMax = e.CMin = cur;
  widen(volt, e.VMax, e.VMin);
  widen(cur, e.CMax, e.CMin);
}

ViewerAxes fitViewerAxes(const ViewerExtremes& e, bool smallCurrent) {
  ViewerAxes a;
  a.xMax = e.XMax;
  fit(e.VMin, e.VMax, 0.5, a.vLow, a.vHigh);
  fit(e.CMin, e.CMax, smallCurrent ? 0.05 : 0.5, a.cLow, a.cHigh);
  return a;
}

} // namespace ondrel
