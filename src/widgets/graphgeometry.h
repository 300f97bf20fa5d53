#pragma once

#include <QImage>
#include <QPoint>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>
#include <vector>

namespace ondrel {

// One stored point of a curve, as the devices and data files give it.
struct CurvePoint {
  float x;
  float y;
};

// The ranges and surface a graph is drawn with. W and H are the plot surface in pixels.
struct GraphView {
  int W = 0;
  int H = 0;
  double MinX = 0, MaxX = 60;
  std::array<double, 3> MinY{0, 0, 0};
  std::array<double, 3> MaxY{20, 10, 100};
  bool ShowAxesY1 = true;
  bool ShowAxesY2 = false;
  bool operator==(const GraphView&) const = default;
};

// 100 pixels on the right for two right axes, else 50.
int graphRightMargin(bool showAxesY1, bool showAxesY2);
inline int graphRightMargin(const GraphView& v) {
  return graphRightMargin(v.ShowAxesY1, v.ShowAxesY2);
}

// Units per pixel of X and of the three Y axes. `valid` is false when a range has zero width or
// is not finite, or the surface is no larger than its margins: such a graph cannot be drawn.
struct GraphScales {
  double x = 0;
  std::array<double, 3> y{0, 0, 0};
  bool valid = false;
};
GraphScales graphScales(const GraphView& view);

// Where a value lands on the surface; coordinates are kept within a range the painter handles.
QPoint graphToPixel(const GraphView& view, const GraphScales& scales, double x, double y, int axis);

// The value under X label i (0..10), and its text: hh:mm:ss for xBarType 0, else a whole number.
qint64 xLabelValue(double minX, double maxX, int i);
QString xLabelText(qint64 seconds, int xBarType);

// Points visited per curve: every step-th, step = round(n / (4 W) + 1), at most about four
// points per pixel column however many are stored.
qint64 decimationStep(qint64 n, int W);

// The pixel path of one curve: the first entry is where the pen starts, the others are the
// ends of the lines drawn from it in turn. `large` selects the zoomed view's walk, `yStep` the
// staircase. Points outside the axis's Y range are skipped without breaking the line.
std::vector<QPoint> curvePolyline(const CurvePoint* points, qint64 count, const GraphView& view,
                                  const GraphScales& scales, int axis, bool large, bool yStep);

// Draws a polyline `width` pixels thick (1..3) as a square swept along each segment, straight
// into the pixels of an image of format ARGB32_Premultiplied at pixel ratio 1.
void sweepPolyline(QImage& image, const std::vector<QPoint>& path, QRgb colour, int width);

// ---- pointer interactions ------------------------------------------------------------------

// Inside the plot area, where the cursor readout works: 50 < x < W - RightMargin, 40 < y < H - 50.
bool inPlotArea(const GraphView& view, double x, double y);

// The time under a cursor at x: round((x - 50) XScale + MinX).
qint64 cursorTime(const GraphView& view, const GraphScales& scales, double x);

// A curve's value at time t as the readout reads it: the Y of the first point with X >= t among
// every step-th point (the drawing's stride on a surface W wide); 0 when there is none.
float cursorValue(const CurvePoint* points, qint64 count, int W, qint64 t);

// The readout caption, two lines: "4.200V   12.50A" and "0.500Ah 2.000Wh". The blanks after
// the voltage keep the current under the energy whether the voltage has one digit or two.
QString cursorReadoutText(float volt, float amp, float ampHours, float wattHours);

// Top-left of the readout label beside a cursor at (x, y): right of the cursor, or left of it
// when the label would reach the plot area's right edge.
QPoint cursorReadoutPos(const GraphView& view, int x, int y, int labelWidth);

// The zoom rubber band in plot pixels.
struct RubberBand {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// A left press at (x, y) with mouse zoom on acts on the graph (starts a band, or leaves the
// zoomed view) only left of the right axes and above the X axis.
bool zoomPressArea(const GraphView& view, int x, int y);
// The band a press starts: no further left or up than the plot area, size 0.
RubberBand startRubberBand(int x, int y);
// Follows the pointer: limited to the plot area, and only ever extended right and down of
// where the band started.
void growRubberBand(RubberBand& band, const GraphView& view, int x, int y);

// The view before the zoom, kept to return to it and to pan within it; ZoomSpan is the X span
// of the zoomed view.
struct GraphZoom {
  double FullMinX = 0, FullMaxX = 60;
  std::array<double, 2> FullMinY{0, 0}, FullMaxY{20, 10};
  double ZoomSpan = 0;
};

struct ZoomedView {
  GraphView view;
  GraphZoom zoom;
};

// The view a released band zooms into, with the full view saved; axis 2 keeps its range. Nothing
// when the band is 10 pixels or less either way, or when its X span rounds to less than 1 (a
// short test): such a view could not be drawn or panned.
std::optional<ZoomedView> zoomToBand(const GraphView& view, const GraphScales& scales,
                                     const RubberBand& band);

// The scroll bar of the zoomed view, in tenths of the zoomed span: its maximum (one span less
// than the full view, since one span is shown) and the position of the view starting at minX.
struct ZoomScroll {
  int maximum = 0;
  int position = 0;
};
ZoomScroll zoomScroll(const GraphZoom& zoom, double minX);

// The X range shown at scroll position `position`: whole seconds, an even right end where
// there is room, never beyond the full view.
struct XRange {
  double MinX = 0, MaxX = 0;
};
XRange panRange(const GraphZoom& zoom, int position);

// The X range the keyboard's zoom shows around time `centre`: the shown span halved (`in`) or
// doubled, in whole seconds, moved to stay within the full view. Zooming out as far as the full
// view answers the full view; nothing when a halved span would be under one second or the
// numbers are not finite.
std::optional<XRange> keyZoomRange(const GraphZoom& zoom, double minX, double maxX, double centre,
                                   bool in);

// Where a dropped legend lands: whole pixels, then integer-divided by 5 and multiplied by 5.
QPoint snapLegend(QPointF topLeft);

} // namespace ondrel
