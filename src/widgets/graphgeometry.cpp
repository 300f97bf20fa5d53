#include "widgets/graphgeometry.h"

#include "data/support/numberformat.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

// ---- pointer interactions ------------------------------------------------------------------

bool inPlotArea(const GraphView& v, double x, double y) {
  return x > 50 && x < v.W - graphRightMargin(v) && y > 40 && y < v.H - 50;
}

qint64 cursorTime(const GraphView& v, const GraphScales& s, double x) {
  return roundHalfEven((x - 50) * s.x + v.MinX);
}

float cursorValue(const CurvePoint* pts, qint64 count, int W, qint64 t) {
  const qint64 step = decimationStep(count, W);
  for (qint64 i = 0; i < count; i += step)
    if (pts[i].x >= static_cast<double>(t))
      return pts[i].y;
  return 0;
}

QString cursorReadoutText(float volt, float amp, float ampHours, float wattHours) {
  auto value = [](float v) { return Format(v, v >= 10 ? u"00.00" : u"0.000"); };
  return Format(volt, u"0.000") + (volt >= 10 ? QStringLiteral("V  ") : QStringLiteral("V   ")) +
         value(amp) + QStringLiteral("A\n") + value(ampHours) + QStringLiteral("Ah ") +
         value(wattHours) + QStringLiteral("Wh");
}

QPoint cursorReadoutPos(const GraphView& v, int x, int y, int labelWidth) {
  const bool flip = x + 5 + labelWidth >= v.W - graphRightMargin(v);
  return {flip ? x - 5 - labelWidth : x + 5, y - 20};
}

bool zoomPressArea(const GraphView& v, int x, int y) {
  return x < v.W - graphRightMargin(v) && y < v.H - 50;
}

RubberBand startRubberBand(int x, int y) {
  return {std::max(x, 50), std::max(y, 40), 0, 0};
}

void growRubberBand(RubberBand& band, const GraphView& v, int x, int y) {
  x = std::min(x, v.W - graphRightMargin(v));
  y = std::min(y, v.H - 50);
  if (x > band.left)
    band.width = x - band.left;
  if (y > band.top)
    band.height = y - band.top;
}

std::optional<ZoomedView> zoomToBand(const GraphView& v, const GraphScales& s,
                                     const RubberBand& b) {
  if (b.width <= 10 || b.height <= 10 || !s.valid)
    return std::nullopt;
  const qint64 minX = roundHalfEven((b.left - 50) * s.x + v.MinX);
  const qint64 maxX = roundHalfEven((b.left + b.width - 50) * s.x + v.MinX);
  // A span of 0 would leave nothing to draw and divide by zero in the scroll arithmetic.
  if (maxX - minX < 1)
    return std::nullopt;
  ZoomedView z{v, {}};
  z.zoom.FullMinX = v.MinX;
  z.zoom.FullMaxX = v.MaxX;
  z.view.MinX = static_cast<double>(minX);
  z.view.MaxX = static_cast<double>(maxX);
  for (size_t a = 0; a < 2; ++a) {
    z.zoom.FullMinY[a] = v.MinY[a];
    z.zoom.FullMaxY[a] = v.MaxY[a];
    z.view.MinY[a] = (v.H - b.top - b.height - 50) * s.y[a] + v.MinY[a];
    z.view.MaxY[a] = (v.H - b.top - 50) * s.y[a] + v.MinY[a];
  }
  z.zoom.ZoomSpan = static_cast<double>(maxX - minX);
  return z;
}

namespace {

bool usableSpan(const GraphZoom& z) {
  return std::isfinite(z.ZoomSpan) && z.ZoomSpan >= 1;
}

} // namespace

ZoomScroll zoomScroll(const GraphZoom& z, double minX) {
  if (!usableSpan(z))
    return {};
  constexpr qint64 kIntMax = std::numeric_limits<int>::max();
  qint64 maximum = roundHalfEven((z.FullMaxX - z.FullMinX) * 10 / z.ZoomSpan);
  if (maximum > 10)
    maximum -= 10;
  maximum = std::clamp<qint64>(maximum, 0, kIntMax);
  const qint64 position =
      std::clamp<qint64>(roundHalfEven((minX - z.FullMinX) * 10 / z.ZoomSpan), 0, maximum);
  return {static_cast<int>(maximum), static_cast<int>(position)};
}

XRange panRange(const GraphZoom& z, int position) {
  if (!usableSpan(z))
    return {z.FullMinX, z.FullMaxX};
  // Counted from the full view's start, so that a full view not starting at 0 pans within
  // itself; with the usual start at 0 this is the plain position x span / 10.
  double minX = z.FullMinX + static_cast<double>(roundHalfEven(position * z.ZoomSpan) / 10);
  if (minX >= z.FullMaxX)
    minX = z.FullMaxX - z.ZoomSpan;
  double maxX = minX + z.ZoomSpan;
  if (roundHalfEven(maxX) % 2 != 0)
    maxX += 1;
  return {minX, std::min(maxX, z.FullMaxX)};
}

std::optional<XRange> keyZoomRange(const GraphZoom& z, double minX, double maxX, double centre,
                                   bool in) {
  const double full = z.FullMaxX - z.FullMinX;
  if (!std::isfinite(full) || !std::isfinite(minX) || !std::isfinite(maxX) ||
      !std::isfinite(centre) || full < 1)
    return std::nullopt;
  const double span = std::clamp(maxX - minX, 1.0, full);
  const double wanted = static_cast<double>(roundHalfEven(in ? span / 2 : span * 2));
  if (wanted < 1)
    return std::nullopt;
  if (wanted >= full)
    return XRange{z.FullMinX, z.FullMaxX};
  double from = static_cast<double>(roundHalfEven(centre - wanted / 2));
  from = std::clamp(from, z.FullMinX, z.FullMaxX - wanted);
  return XRange{from, from + wanted};
}

QPoint snapLegend(QPointF topLeft) {
  auto snap = [](double v) { return static_cast<int>(clampPixel(v) / 5 * 5); };
  return {snap(topLeft.x()), snap(topLeft.y())};
}

} // namespace ondrel
