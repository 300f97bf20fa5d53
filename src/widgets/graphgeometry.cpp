#include "widgets/graphgeometry.h"

#include "data/support/numberformat.h"

#include <cmath>

namespace ondrel {

int graphRightMargin(bool showAxesY1, bool showAxesY2) {
  return showAxesY1 && showAxesY2 ? 100 : 50;
}

GraphScales graphScales(const GraphView& v) {
  GraphScales s;
  const int plotW = v.W - 50 - graphRightMargin(v);
  const int plotH = v.H - 90;
  if (plotW <= 0 || plotH <= 0)
    return s;
  auto usable = [](double scale) { return std::isfinite(scale) && scale != 0; };
  s.x = (v.MaxX - v.MinX) / plotW;
  s.valid = usable(s.x);
  for (size_t a = 0; a < 3; ++a) {
    s.y[a] = (v.MaxY[a] - v.MinY[a]) / plotH;
    s.valid = s.valid && usable(s.y[a]);
  }
  return s;
}

namespace {

// Far beyond any surface, small enough that pixel arithmetic cannot overflow.
constexpr qint64 kPixelLimit = 1000000;

qint64 clampPixel(double value) {
  return std::clamp<qint64>(roundHalfEven(value), -kPixelLimit, kPixelLimit);
}

} // namespace

QPoint graphToPixel(const GraphView& v, const GraphScales& s, double x, double y, int axis) {
  const qint64 px = clampPixel((x - v.MinX) / s.x) + 50;
  const qint64 py =
      v.H -
      (clampPixel((y - v.MinY[static_cast<size_t>(axis)]) / s.y[static_cast<size_t>(axis)]) + 50);
  return {static_cast<int>(px), static_cast<int>(py)};
}

qint64 xLabelValue(double minX, double maxX, int i) {
  return roundHalfEven((maxX - minX) / 10 * i + minX);
}

QString xLabelText(qint64 v, int xBarType) {
  if (xBarType != 0)
    return QString::number(v);
  const QString sign = v < 0 ? QStringLiteral("-") : QString();
  const qint64 a = v < 0 ? -v : v;
  auto two = [](qint64 n) { return QString::number(n).rightJustified(2, QLatin1Char('0')); };
  return sign + two(a / 3600) + QLatin1Char(':') + two((a % 3600) / 60) + QLatin1Char(':') +
         two(a % 60);
}

qint64 decimationStep(qint64 n, int W) {
  if (W <= 0)
    return 1;
  return std::max<qint64>(1,
                          roundHalfEven(static_cast<double>(n) / (static_cast<double>(W) * 4) + 1));
}

std::vector<QPoint> curvePolyline(const CurvePoint* pts, qint64 count, const GraphView& v,
                                  const GraphScales& s, int axis, bool large, bool yStep) {
  std::vector<QPoint> out;
  if (count <= 0)
    return out;
  const double lo = v.MinY[static_cast<size_t>(axis)];
  const double hi = v.MaxY[static_cast<size_t>(axis)];
  auto inRange = [&](const CurvePoint& p) { return p.y >= lo && p.y <= hi && std::isfinite(p.x); };
  auto pixel = [&](const CurvePoint& p) { return graphToPixel(v, s, p.x, p.y, axis); };
  auto lineTo = [&](const CurvePoint& p) {
    const QPoint to = pixel(p);
    if (out.empty()) { // nothing to draw from yet: this point is where the pen starts
      out.push_back(to);
      return;
    }
    if (yStep && to.x() != out.back().x())
      out.emplace_back(to.x(), out.back().y());
    if (to != out.back())
      out.push_back(to);
  };
  out.reserve(static_cast<size_t>(std::min<qint64>(count, static_cast<qint64>(v.W) * 8 + 8)));

  if (!large) {
    out.push_back(pixel(pts[0])); // the pen starts at the first point whatever its Y
    const qint64 step = decimationStep(count, v.W);
    qint64 last = 0;
    for (qint64 i = 1; i <= count - 1; i += step) {
      if (inRange(pts[i]))
        lineTo(pts[i]);
      last = i;
    }
    if (last != count - 1 && inRange(pts[count - 1]))
      lineTo(pts[count - 1]);
    return out;
  }

  qint64 start = -1, end = -1;
  for (qint64 i = 0; i < count; ++i) {
    if (start < 0 && pts[i].x >= v.MinX)
      start = i;
    if (pts[i].x >= v.MaxX) {
      end = std::max<qint64>(i - 1, 0);
      break;
    }
  }
  if (start < 0)
    start = 0;
  if (end < 0)
    end = count - 1;
  const qint64 step = decimationStep(end - start + 1, v.W);
  qint64 last = -1;
  for (qint64 i = start; i <= end; i += step) {
    if (inRange(pts[i]))
      lineTo(pts[i]);
    last = i;
  }
  if (last != end && inRange(pts[end]))
    lineTo(pts[end]);
  return out;
}

} // namespace ondrel
