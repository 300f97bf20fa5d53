#pragma once

#include <QImage>
#include <QPoint>
#include <QString>
#include <QtGlobal>

#include <array>
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

} // namespace ondrel
