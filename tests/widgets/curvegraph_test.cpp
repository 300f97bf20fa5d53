#include "support/printers.h"
#include "widgets/colour.h"
#include "widgets/componenterror.h"
#include "widgets/curvegraph.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <utility>

using namespace ondrel;

namespace {

GraphView view500() {
  GraphView v;
  v.W = 500;
  v.H = 400;
  return v;
}

QColor px(const CurveGraph& g, QPoint p) {
  return g.image().pixelColor(p);
}

} // namespace

TEST(GraphGeometry, ToPixelAndMargins) {
  GraphView v = view500();
  const GraphScales s = graphScales(v);
  ASSERT_TRUE(s.valid);
  EXPECT_DOUBLE_EQ(s.x, 60.0 / 400);
  EXPECT_EQ(graphToPixel(v, s, 30, 10, 0), QPoint(250, 195));
  EXPECT_EQ(graphToPixel(v, s, 0, 0, 0), QPoint(50, 350));
  EXPECT_EQ(graphToPixel(v, s, 60, 5, 1), QPoint(450, 195));
  EXPECT_EQ(graphRightMargin(true, true), 100);
  EXPECT_EQ(graphRightMargin(true, false), 50);
  // Values far outside stay within what a painter can take.
  const QPoint far = graphToPixel(v, s, 1e30, std::nan(""), 0);
  EXPECT_LE(std::abs(far.x()), 1000050);
}

TEST(GraphGeometry, UnusableViews) {
  GraphView v = view500();
  v.MaxX = v.MinX;
  EXPECT_FALSE(graphScales(v).valid);
  v = view500();
  v.MaxY[2] = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(graphScales(v).valid);
  v = view500();
  v.W = 100; // no room between the margins
  EXPECT_FALSE(graphScales(v).valid);
  v = view500();
  v.H = 90;
  EXPECT_FALSE(graphScales(v).valid);
}

TEST(GraphGeometry, XLabels) {
  EXPECT_EQ(xLabelText(3725, 0), QStringLiteral("01:02:05"));
  EXPECT_EQ(xLabelText(3725, 1), QStringLiteral("3725"));
  EXPECT_EQ(xLabelText(360000, 0), QStringLiteral("100:00:00"));
  EXPECT_EQ(xLabelText(0, 0), QStringLiteral("00:00:00"));
  EXPECT_EQ(xLabelValue(0, 60, 5), 30);
  EXPECT_EQ(xLabelValue(0, 25, 1), 2); // 2.5 rounds to the even 2
}

TEST(GraphGeometry, DecimationStrideOnA500PixelSurface) {
  const std::pair<qint64, qint64> cases[] = {{0, 1},    {999, 1},  {1000, 2},
                                             {4999, 3}, {5000, 4}, {1000000, 501}};
  for (auto [n, step] : cases)
    EXPECT_EQ(decimationStep(n, 500), step) << n;
}

TEST(GraphGeometry, OutOfRangePointsAreSkippedWithoutBreakingTheLine) {
  const GraphView v = view500();
  const GraphScales s = graphScales(v);
  const std::vector<CurvePoint> pts = {{0, 25}, {10, 5}, {20, 50}, {30, 6}, {40, -1}};
  const auto path = curvePolyline(pts.data(), 5, v, s, 0, false, false);
  ASSERT_EQ(path.size(), 3u); // the pen starts at point 0 whatever its Y
  EXPECT_EQ(path[0], graphToPixel(v, s, 0, 25, 0));
  EXPECT_EQ(path[1], graphToPixel(v, s, 10, 5, 0));
  EXPECT_EQ(path[2], graphToPixel(v, s, 30, 6, 0));
}

TEST(GraphGeometry, LastPointIsAlwaysConnected) {
  GraphView v = view500();
  v.MaxX = 1001;
  const GraphScales s = graphScales(v);
  std::vector<CurvePoint> pts;
  for (int i = 0; i < 1001; ++i)
    pts.push_back({static_cast<float>(i), 1});
  pts.back().y = 15;
  const auto path = curvePolyline(pts.data(), 1001, v, s, 0, false, false);
  EXPECT_EQ(path.back(), graphToPixel(v, s, 1000, 15, 0));
  pts.back().y = 25; // out of range: not connected
  EXPECT_NE(curvePolyline(pts.data(), 1001, v, s, 0, false, false).back(),
            graphToPixel(v, s, 1000, 25, 0));
}

TEST(GraphGeometry, ZoomedViewWalksTheVisibleSpan) {
  GraphView v = view500();
  v.MinX = 20;
  v.MaxX = 30;
  const GraphScales s = graphScales(v);
  std::vector<CurvePoint> pts;
  for (int i = 0; i < 100; ++i)
    pts.push_back({static_cast<float>(i), static_cast<float>(i % 7)});
  const auto path = curvePolyline(pts.data(), 100, v, s, 0, true, false);
  EXPECT_EQ(path.front(), graphToPixel(v, s, 20, 20 % 7, 0));
  EXPECT_EQ(path.back(), graphToPixel(v, s, 29, 29 % 7, 0));
  EXPECT_EQ(path.size(), 10u);
}

TEST(GraphGeometry, Staircase) {
  const GraphView v = view500();
  const GraphScales s = graphScales(v);
  const std::vector<CurvePoint> pts = {{0, 1}, {30, 10}};
  const auto path = curvePolyline(pts.data(), 2, v, s, 0, false, true);
  ASSERT_EQ(path.size(), 3u);
  EXPECT_EQ(path[1], QPoint(path[2].x(), path[0].y()));
}

TEST(CurveGraph, Defaults) {
  CurveGraph g;
  EXPECT_EQ(g.CurveCount(), 5);
  EXPECT_EQ(g.CurveLineColor(0), 0xFF0000u);
  EXPECT_EQ(g.CurveLineColor(1), 0x0000FFu);
  EXPECT_EQ(g.CurveLineColor(4), 0u);
  EXPECT_FALSE(g.ShowCurve(0));
  EXPECT_EQ(g.MaxY(2), 100.0f);
  EXPECT_EQ(g.TitleText(), QStringLiteral("Ondrel Tester Software"));
  EXPECT_EQ(g.AxesY1Txt(), QStringLiteral("[A]"));
}

TEST(CurveGraph, CurveCountIsClampedAndResetsLegendsAndColours) {
  CurveGraph g;
  g.AddXY(0, 1, 2);
  g.setCurveLineColor(0, 0x00FF00);
  g.setCurveLineColor(3, 0x123456);
  g.setShowLegend(0, true);
  g.setCurveCount(0);
  EXPECT_EQ(g.CurveCount(), 1);
  EXPECT_EQ(g.DpCnt(0), 1); // existing curves keep their points
  EXPECT_EQ(g.CurveLineColor(0), 0xFF0000u);
  EXPECT_FALSE(g.ShowLegend(0));
  g.setCurveCount(60);
  EXPECT_EQ(g.CurveCount(), 50);
  EXPECT_EQ(g.CurveLineColor(1), 0x0000FFu);
  EXPECT_EQ(g.CurveLineColor(3), 0u);
  EXPECT_NE(g.legendLabel(49), nullptr);
  g.setCurveCount(5);
  EXPECT_THROW(g.legendLabel(5), ComponentError);
}

TEST(CurveGraph, IndexErrorsReachTheCaller) {
  CurveGraph g;
  g.AddXY(1, 1, 2);
  auto code = [](auto f) {
    try {
      f();
    } catch (const ComponentError& e) {
      return e.code();
    }
    return 0;
  };
  EXPECT_EQ(code([&] { g.AddXY(5, 0, 0); }), 9);
  EXPECT_EQ(code([&] { g.AddXY(-1, 0, 0); }), 9);
  EXPECT_EQ(code([&] { g.setMaxY(3, 1); }), 9);
  EXPECT_EQ(code([&] { g.DpX(1, 1); }), 9);
  EXPECT_EQ(code([&] { g.DpY(1, -1); }), 9);
  EXPECT_EQ(g.DpX(1, 0), 1.0f);
  g.setDpY(1, 0, 7);
  EXPECT_EQ(g.DpY(1, 0), 7.0f);
  g.setCurveAxesY(1, 7); // accepted; only drawing refuses it
  EXPECT_EQ(g.CurveAxesY(1), 7);
}

TEST(CurveGraph, DrawsFrameGridAndCurve) {
  CurveGraph g;
  g.resize(500, 400);
  g.setShowCurve(0, true);
  for (int x = 0; x <= 60; ++x)
    g.AddXY(0, static_cast<float>(x), 10);
  g.DrawCurve();
  const int H = 400;
  EXPECT_EQ(px(g, {45, 200}), QColor(Qt::black));           // left axis
  EXPECT_EQ(px(g, {200, H - 45}), QColor(Qt::black));       // X axis
  EXPECT_EQ(px(g, {455, 200}), QColor(Qt::black));          // right axis 1
  EXPECT_EQ(px(g, {50 + 40 * 3, 100}), toQColor(0x646464)); // solid major grid
  EXPECT_EQ(px(g, {300, 195}), toQColor(0xFF0000));         // the curve at y = 10 V
  EXPECT_EQ(px(g, {300, 150}), toQColor(0xFFFFFF));

  g.setShowCurve(0, false);
  g.DrawCurve();
  EXPECT_NE(px(g, {300, 195}), toQColor(0xFF0000));
}

// A redraw reuses the last frame only while nothing the frame shows has changed: after any such
// change the picture is the one a graph drawn once with the same settings shows.
TEST(CurveGraph, RedrawAfterAFrameChangeMatchesAFreshDrawing) {
  const std::pair<const char*, std::function<void(CurveGraph&)>> changes[] = {
      {"X range", [](CurveGraph& g) { g.setMaxX(90); }},
      {"Y range", [](CurveGraph& g) { g.setMaxY(1, 7.5f); }},
      {"third axis", [](CurveGraph& g) { g.setShowAxesY2(true); }},
      {"axis caption", [](CurveGraph& g) { g.setAxesY1Txt(QStringLiteral("[mA]")); }},
      {"grid colour", [](CurveGraph& g) { g.setGridColor(0x00C000); }},
      {"grid style", [](CurveGraph& g) { g.setGridType1(2); }},
      {"back colour", [](CurveGraph& g) { g.setBackColor(0xE0E0E0); }},
      {"time labels", [](CurveGraph& g) { g.setxBarType(1); }},
      {"size", [](CurveGraph& g) { g.resize(520, 400); }},
  };
  auto setUp = [](CurveGraph& g) {
    g.resize(500, 400);
    g.setShowCurve(0, true);
    for (int x = 0; x <= 60; ++x)
      g.AddXY(0, static_cast<float>(x), 10);
  };
  for (const auto& [what, change] : changes) {
    CurveGraph redrawn;
    setUp(redrawn);
    redrawn.DrawCurve();
    change(redrawn);
    redrawn.DrawCurve();
    CurveGraph fresh;
    setUp(fresh);
    change(fresh);
    fresh.DrawCurve();
    EXPECT_EQ(redrawn.image(), fresh.image()) << what;
  }
}

TEST(CurveGraph, RedrawThatCannotBeDoneKeepsThePicture) {
  CurveGraph g;
  g.resize(500, 400);
  g.setShowCurve(0, true);
  g.AddXY(0, 0, 10);
  g.AddXY(0, 60, 10);
  g.AddXY(0, std::nanf(""), std::numeric_limits<float>::infinity());
  g.AddXY(0, 30, std::nanf(""));
  g.DrawCurve();
  const QImage before = g.image().copy();
  g.setMaxX(0); // zero-width range
  g.setMinX(0);
  g.DrawCurve();
  EXPECT_EQ(g.image(), before);
  g.setMaxX(60);
  g.setCurveAxesY(0, 3);
  g.DrawCurve();
  EXPECT_EQ(g.image(), before);
  g.setCurveAxesY(0, 0);
  // Smaller than the margins: the first draw takes the new size and leaves the rebuilt surface
  // blank, later draws and ClearAll leave it so.
  g.resize(80, 60);
  g.DrawCurve();
  const QImage blank = g.image().copy();
  ASSERT_EQ(blank.size(), QSize(80, 60));
  for (int y = 0; y < blank.height(); ++y)
    for (int x = 0; x < blank.width(); ++x)
      ASSERT_EQ(blank.pixelColor(x, y), toQColor(g.BackColor())) << x << "," << y;
  g.DrawCurve();
  EXPECT_EQ(g.image(), blank);
  g.ClearAll();
  EXPECT_EQ(g.image(), blank);
}

TEST(CurveGraph, ClearAllDrawsTheEmptyFrame) {
  CurveGraph g;
  g.resize(500, 400);
  g.setShowCurve(0, true);
  g.AddXY(0, 0, 10);
  g.AddXY(0, 60, 10);
  g.DrawCurve();
  g.ClearAll();
  EXPECT_EQ(g.DpCnt(0), 0);
  EXPECT_NE(px(g, {300, 195}), toQColor(0xFF0000));
  EXPECT_EQ(px(g, {45, 200}), QColor(Qt::black));
  g.DrawCurve();
  EXPECT_EQ(px(g, {45, 200}), QColor(Qt::black));
}

TEST(CurveGraph, LegendPlacementAndRelayout) {
  CurveGraph g;
  g.setLegendText(0, QStringLiteral("Voltage"));
  g.setLegendText(1, QStringLiteral("Current"));
  g.setLegendText(2, QStringLiteral("Temp"));
  EXPECT_EQ(g.LegendText(1), QStringLiteral("Current"));
  EXPECT_EQ(g.legendLabel(1)->text(), QStringLiteral("---- Current"));
  EXPECT_EQ(g.legendRect(0).topLeft(), QPoint(480, 73));
  g.setShowLegend(0, true);
  g.setShowLegend(1, true);
  const QPoint before = g.legendLabel(1)->pos();
  const int h = g.legendLabel(0)->height();
  g.setShowLegend(2, true); // curve 2 re-lays out every legend
  EXPECT_NE(g.legendLabel(1)->pos(), before);
  EXPECT_EQ(g.legendLabel(1)->pos(), QPoint(480, 73 + h + 5));
  EXPECT_EQ(g.legendLabel(2)->pos(), QPoint(480, 73 + 2 * (h + 5)));
  EXPECT_EQ(g.legendRect(2).topLeft(), g.legendLabel(2)->pos());

  g.setShowAxesY2(true); // both right axes: legends move left by 50 on the next layout
  g.resize(600, 401);
  g.DrawCurve();
  EXPECT_EQ(g.legendLabel(0)->pos(), QPoint(430, 73));
}

TEST(CurveGraph, DoubleClicksRaiseEvents) {
  CurveGraph g;
  QSignalSpy title(&g, &CurveGraph::DblClick);
  QSignalSpy legend(&g, &CurveGraph::LblClick);
  auto dbl = [](QWidget* w) {
    QMouseEvent e(QEvent::MouseButtonDblClick, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
  };
  dbl(g.titleLabel());
  dbl(g.legendLabel(3));
  EXPECT_EQ(title.count(), 1);
  ASSERT_EQ(legend.count(), 1);
  EXPECT_EQ(legend.at(0).at(0).toInt(), 3);
}

TEST(CurveGraph, TitleIsShownAsPlainText) {
  CurveGraph g;
  const auto width = [&](const char* title) {
    g.setTitleText(QString::fromLatin1(title));
    return g.titleLabel()->sizeHint().width();
  };
  // Markup in a title (a parameter file's, say) shows its tags instead of being obeyed.
  EXPECT_GT(width("<i>x</i><img src=\"a.png\">"), 5 * width("x"));
}

TEST(CurveGraph, AccessibleTitleAndLegends) {
  CurveGraph g;
  g.setTitleText(QStringLiteral("Cell 7"));
  g.setLegendText(0, QStringLiteral("Voltage"));
  g.setShowLegend(0, true);
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&g);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("Cell 7"));
  EXPECT_EQ(a->text(QAccessible::Value), QStringLiteral("Cell 7; Voltage"));
}

TEST(GraphGeometry, SweptLinesAreClippedToTheImage) {
  QImage img(100, 100, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::white);
  const std::vector<QPoint> path = {{-1000000, -1000000}, {1000000, 1000000}, {1000000, -1000000}};
  sweepPolyline(img, path, qRgb(255, 0, 0), 2);
  EXPECT_EQ(img.pixelColor(10, 10), QColor(Qt::red));
  EXPECT_EQ(img.pixelColor(11, 10), QColor(Qt::red)); // two pixels wide
  EXPECT_EQ(img.pixelColor(13, 10), QColor(Qt::white));
  EXPECT_EQ(img.pixelColor(90, 5), QColor(Qt::white)); // the second line is all outside
}

// ---- pointer interactions -------------------------------------------------------------------

TEST(GraphGeometry, CursorReadoutCaption) {
  struct Case {
    float v, a, ah, wh;
    const char* text;
  };
  const Case cases[] = {
      {4.2f, 12.5f, 0.5f, 2.0f, "4.200V   12.50A\n0.500Ah 2.000Wh"},
      {12.345f, 3.0f, 10.0f, 9.999f, "12.345V  3.000A\n10.00Ah 9.999Wh"}, // one blank less
      {0, 0, 0, 0, "0.000V   0.000A\n0.000Ah 0.000Wh"}, // nothing under the cursor
  };
  for (const Case& c : cases)
    EXPECT_EQ(cursorReadoutText(c.v, c.a, c.ah, c.wh), QString::fromLatin1(c.text)) << c.text;
}

TEST(GraphGeometry, CursorTimeAndTheValueReadThere) {
  const GraphView v = view500(); // X 0..60 over 400 pixels: 0.15 s a pixel
  const GraphScales s = graphScales(v);
  EXPECT_EQ(cursorTime(v, s, 250), 30);
  EXPECT_EQ(cursorTime(v, s, 70), 3);
  EXPECT_EQ(cursorTime(v, s, 73), 3); // 3.45

  std::vector<CurvePoint> pts;
  for (int i = 0; i < 5000; ++i)
    pts.push_back({static_cast<float>(i), static_cast<float>(i) / 10});
  // 5,000 points on 500 pixels: every fourth point is looked at, as when drawing.
  EXPECT_EQ(cursorValue(pts.data(), 5000, 500, 8), 0.8f);
  EXPECT_EQ(cursorValue(pts.data(), 5000, 500, 9), 1.2f);
  EXPECT_EQ(cursorValue(pts.data(), 5000, 500, 5000), 0.0f); // beyond the curve
  EXPECT_EQ(cursorValue(pts.data(), 0, 500, 0), 0.0f);
  pts[0].x = std::nanf("");
  EXPECT_EQ(cursorValue(pts.data(), 3, 500, -1), 0.1f);
}

TEST(GraphGeometry, ReadoutFlipsLeftOfTheCursorNearTheRightEdge) {
  GraphView v = view500(); // plot area ends at x = 450
  EXPECT_EQ(cursorReadoutPos(v, 344, 100, 100), QPoint(349, 80));
  EXPECT_EQ(cursorReadoutPos(v, 345, 100, 100), QPoint(240, 80)); // would reach 450
  v.ShowAxesY2 = true;                                            // ends at 400
  EXPECT_EQ(cursorReadoutPos(v, 300, 100, 100), QPoint(195, 80));
}

TEST(GraphGeometry, PlotAreaAndZoomPressArea) {
  const GraphView v = view500(); // plot area 50 < x < 450, 40 < y < 350
  struct Case {
    int x, y;
    bool plot, zoom;
  };
  const Case cases[] = {{51, 41, true, true},     {50, 200, false, true},   {449, 349, true, true},
                        {450, 200, false, false}, {200, 350, false, false}, {10, 10, false, true}};
  for (const Case& c : cases) {
    EXPECT_EQ(inPlotArea(v, c.x, c.y), c.plot) << c.x << "," << c.y;
    EXPECT_EQ(zoomPressArea(v, c.x, c.y), c.zoom) << c.x << "," << c.y;
  }
}

TEST(GraphGeometry, RubberBandGrowsOnlyRightAndDownWithinThePlot) {
  const GraphView v = view500();
  RubberBand b = startRubberBand(30, 20);
  EXPECT_EQ(b.left, 50);
  EXPECT_EQ(b.top, 40);
  b = startRubberBand(100, 100);
  growRubberBand(b, v, 200, 150);
  EXPECT_EQ(b.width, 100);
  EXPECT_EQ(b.height, 50);
  growRubberBand(b, v, 80, 90); // left of and above the start: the band keeps its size
  EXPECT_EQ(b.width, 100);
  EXPECT_EQ(b.height, 50);
  growRubberBand(b, v, 900, 900); // limited to the plot area
  EXPECT_EQ(b.width, 350);
  EXPECT_EQ(b.height, 250);
}

TEST(GraphGeometry, ZoomToBand) {
  const GraphView v = view500(); // H - 90 = 310 pixels for each Y axis
  const GraphScales s = graphScales(v);
  const std::pair<int, int> tooSmall[] = {{10, 40}, {40, 10}, {10, 10}, {0, 0}};
  for (auto [w, h] : tooSmall)
    EXPECT_FALSE(zoomToBand(v, s, {100, 100, w, h})) << w << "x" << h;
  EXPECT_TRUE(zoomToBand(v, s, {100, 100, 11, 11}));

  const auto z = zoomToBand(v, s, {90, 140, 200, 100});
  ASSERT_TRUE(z);
  EXPECT_EQ(z->view.MinX, 6); // 40 pixels of 0.15 s
  EXPECT_EQ(z->view.MaxX, 36);
  EXPECT_DOUBLE_EQ(z->view.MinY[0], 110 * 20.0 / 310);
  EXPECT_DOUBLE_EQ(z->view.MaxY[0], 210 * 20.0 / 310);
  EXPECT_DOUBLE_EQ(z->view.MinY[1], 110 * 10.0 / 310);
  EXPECT_DOUBLE_EQ(z->view.MaxY[1], 210 * 10.0 / 310);
  EXPECT_EQ(z->view.MinY[2], 0); // axis 2 is not zoomed
  EXPECT_EQ(z->view.MaxY[2], 100);
  EXPECT_EQ(z->zoom.ZoomSpan, 30);
  EXPECT_EQ(z->zoom.FullMinX, 0);
  EXPECT_EQ(z->zoom.FullMaxX, 60);
  EXPECT_EQ(z->zoom.FullMaxY[0], 20);
  EXPECT_EQ(z->zoom.FullMaxY[1], 10);
}

// A band over less than one second (a five-second test, or the viewer's capacity axis) would
// give a zoomed span of 0: no view to draw, and a division by zero for the scroll bar.
TEST(GraphGeometry, BandSpanningLessThanOneXUnitDoesNotZoom) {
  GraphView v = view500();
  v.MaxX = 5;                                                      // 0.0125 s a pixel
  EXPECT_FALSE(zoomToBand(v, graphScales(v), {100, 100, 50, 50})); // 0.625 .. 1.25: 1 .. 1
  EXPECT_TRUE(zoomToBand(v, graphScales(v), {100, 100, 100, 50})); // 1 .. 2
  v.MaxX = -60;                                                    // a reversed range
  EXPECT_FALSE(zoomToBand(v, graphScales(v), {100, 100, 100, 50}));
  EXPECT_FALSE(zoomToBand(view500(), GraphScales{}, {100, 100, 100, 50})); // never drawn

  GraphZoom zero;
  zero.ZoomSpan = 0;
  EXPECT_EQ(zoomScroll(zero, 10).maximum, 0);
  EXPECT_EQ(panRange(zero, 3).MinX, zero.FullMinX);
  EXPECT_EQ(panRange(zero, 3).MaxX, zero.FullMaxX);
}

TEST(GraphGeometry, ScrollBarRangeAndPosition) {
  struct Case {
    double fullMin, fullMax, span, minX;
    int maximum, position;
  };
  const Case cases[] = {
      {0, 3600, 600, 1200, 50, 20},    // six spans: the bar covers five of them
      {0, 3600, 7, 0, 5133, 0},        // 36000 / 7 rounds to 5143
      {0, 60, 59, 1, 10, 0},           // ten or less is not reduced; 10 / 59 rounds to 0
      {1000, 4600, 600, 2200, 50, 20}, // counted from the full view's start
  };
  for (const Case& c : cases) {
    GraphZoom z;
    z.FullMinX = c.fullMin;
    z.FullMaxX = c.fullMax;
    z.ZoomSpan = c.span;
    const ZoomScroll s = zoomScroll(z, c.minX);
    EXPECT_EQ(s.maximum, c.maximum) << c.span;
    EXPECT_EQ(s.position, c.position) << c.span;
  }
}

TEST(GraphGeometry, PanningStaysWithinTheFullView) {
  struct Case {
    double span;
    int position;
    double minX, maxX;
  };
  const Case cases[] = {
      {600, 0, 0, 600},      {600, 20, 1200, 1800},
      {600, 50, 3000, 3600}, {7, 1, 0, 8}, // 7 is odd: the right end moves on to 8
      {7, 3, 2, 10},                       // round(21) \ 10 = 2
      {7, 5133, 3593, 3600}, // the last position: the right end stops at the full view's end
  };
  for (const Case& c : cases) {
    GraphZoom z;
    z.FullMaxX = 3600;
    z.ZoomSpan = c.span;
    const XRange r = panRange(z, c.position);
    EXPECT_EQ(r.MinX, c.minX) << c.span << " @" << c.position;
    EXPECT_EQ(r.MaxX, c.maxX) << c.span << " @" << c.position;
  }
  // Every position the bar can take, from either start.
  for (double fullMin : {0.0, 1000.0})
    for (double span : {1.0, 7.0, 59.0, 600.0, 3599.0}) {
      GraphZoom z;
      z.FullMinX = fullMin;
      z.FullMaxX = fullMin + 3600;
      z.ZoomSpan = span;
      const int maximum = zoomScroll(z, fullMin).maximum;
      for (int p = 0; p <= maximum; ++p) {
        const XRange r = panRange(z, p);
        ASSERT_GE(r.MinX, z.FullMinX) << span << " @" << p;
        ASSERT_LT(r.MinX, r.MaxX) << span << " @" << p;
        ASSERT_LE(r.MaxX, z.FullMaxX) << span << " @" << p;
      }
    }
}

TEST(GraphGeometry, LegendSnap) {
  const std::pair<QPointF, QPoint> cases[] = {
      {{123, 77}, {120, 75}},   {{125, 80}, {125, 80}}, {{129.4, 84.5}, {125, 80}},
      {{129.5, 0.2}, {130, 0}}, {{-3, -7}, {0, -5}}, // integer division goes toward 0
  };
  for (auto [dropped, snapped] : cases)
    EXPECT_EQ(snapLegend(dropped), snapped) << dropped.x() << "," << dropped.y();
}

namespace {

// A shown 500 x 400 graph, drawn once, with mouse zoom on: X 0..60 s over 400 pixels.
struct PointerGraph {
  CurveGraph g;
  QWidget* plot;
  PointerGraph() {
    g.resize(500, 400);
    g.show();
    plot = g.findChild<QWidget*>(QStringLiteral("picGraph"));
    g.setSize(true);
    g.setShowCurve(0, true);
    for (int x = 0; x <= 60; ++x)
      g.AddXY(0, static_cast<float>(x), 10);
    g.DrawCurve();
  }
  QLabel* readout() const { return g.findChild<QLabel*>(QStringLiteral("lblDisp")); }
  QWidget* cursor() const { return g.findChild<QWidget*>(QStringLiteral("Line1")); }
  QWidget* band() const { return g.findChild<QWidget*>(QStringLiteral("shpRect")); }
  QScrollBar* scroll() const { return g.findChild<QScrollBar*>(QStringLiteral("HScroll1")); }
  // Left button pressed at `from`, moved to `to` and released there.
  void drag(QPoint from, QPoint to) {
    QTest::mousePress(plot, Qt::LeftButton, {}, from);
    QTest::mouseMove(plot, to);
    QTest::mouseRelease(plot, Qt::LeftButton, {}, to);
  }
  struct Ranges {
    float minX, maxX;
    std::array<float, 3> minY, maxY;
    bool operator==(const Ranges&) const = default;
  };
  Ranges ranges() const {
    return {
        g.MinX(), g.MaxX(), {g.MinY(0), g.MinY(1), g.MinY(2)}, {g.MaxY(0), g.MaxY(1), g.MaxY(2)}};
  }
};

} // namespace

TEST(CurveGraphPointer, LegendDraggedWithItsOutlineSnapsAndStaysWhereDropped) {
  PointerGraph t;
  CurveGraph& g = t.g;
  g.setLegendText(0, QStringLiteral("Voltage"));
  g.setLegendText(1, QStringLiteral("Current"));
  g.setShowLegend(0, true);
  g.setShowLegend(1, true);
  QLabel* legend = g.legendLabel(0);
  auto* outline = g.findChild<QWidget*>(QStringLiteral("ShapeLegend0"));
  ASSERT_EQ(legend->pos(), QPoint(380, 73));
  const QSize size = legend->size();

  // Grabbed 10, 5 inside the label; the pointer goes to 133, 82 of the plot.
  QTest::mousePress(legend, Qt::LeftButton, {}, QPoint(10, 5));
  EXPECT_FALSE(outline->isHidden());
  QTest::mouseMove(legend, QPoint(133, 82) - legend->pos());
  EXPECT_EQ(outline->pos(), QPoint(123, 77));
  EXPECT_EQ(legend->pos(), QPoint(380, 73)); // only the outline follows the pointer
  QTest::mouseRelease(legend, Qt::LeftButton, {}, QPoint(133, 82) - legend->pos());
  EXPECT_TRUE(outline->isHidden());
  EXPECT_EQ(legend->pos(), QPoint(120, 75));
  EXPECT_EQ(legend->size(), size);
  EXPECT_EQ(g.legendRect(0).topLeft(), QPoint(120, 75));
  EXPECT_TRUE(g.MovedByUser(0));
  EXPECT_FALSE(g.MovedByUser(1));

  g.resize(600, 400); // the layout keeps the user's place; the others follow legend 0
  EXPECT_EQ(legend->pos(), QPoint(120, 75));
  EXPECT_EQ(g.legendLabel(1)->pos(), QPoint(120, 75 + size.height() + 5));
  EXPECT_FALSE(g.Large()); // a legend drag is no zoom, whatever Size says
}

TEST(CurveGraphPointer, RightButtonShowsTheValuesUnderTheCursor) {
  PointerGraph t;
  CurveGraph& g = t.g;
  g.Clear(0);
  for (int i = 0; i <= 60; ++i) { // at 30 s: 4.2 V, 12.5 A, 0.5 Ah, 2 Wh
    g.AddXY(0, static_cast<float>(i), 3.0f + 0.04f * static_cast<float>(i));
    g.AddXY(1, static_cast<float>(i), 12.5f);
    g.AddXY(2, static_cast<float>(i), 99); // temperature: not read
    g.AddXY(3, static_cast<float>(i), static_cast<float>(i) / 60);
    g.AddXY(4, static_cast<float>(i), static_cast<float>(i) / 15);
  }
  g.DrawCurve();
  QLabel* readout = t.readout();

  QTest::mousePress(t.plot, Qt::RightButton, {}, QPoint(30, 200)); // left of the plot area
  EXPECT_TRUE(readout->isHidden());
  QTest::mouseRelease(t.plot, Qt::RightButton, {}, QPoint(30, 200));

  QTest::mousePress(t.plot, Qt::RightButton, {}, QPoint(250, 200));
  ASSERT_FALSE(readout->isHidden());
  ASSERT_FALSE(t.cursor()->isHidden());
  EXPECT_EQ(readout->text(), QStringLiteral("4.200V   12.50A\n0.500Ah 2.000Wh"));
  EXPECT_EQ(readout->pos(), QPoint(255, 180));
  EXPECT_EQ(t.cursor()->geometry(), QRect(250, 41, 1, 400 - 51 - 41 + 1));

  QTest::mouseMove(t.plot, QPoint(430, 150)); // near the right edge: the readout flips left
  EXPECT_EQ(readout->pos(), QPoint(430 - 5 - readout->width(), 130));
  EXPECT_EQ(t.cursor()->x(), 430);
  EXPECT_EQ(readout->text(), QStringLiteral("5.280V   12.50A\n0.950Ah 3.800Wh")); // at 57 s
  QTest::mouseMove(t.plot, QPoint(470, 150)); // outside the plot area: stays
  EXPECT_EQ(t.cursor()->x(), 430);
  QTest::mouseRelease(t.plot, Qt::RightButton, {}, QPoint(470, 150));
  EXPECT_TRUE(readout->isHidden());
  EXPECT_TRUE(t.cursor()->isHidden());

  g.setCurveCount(2); // fewer curves than the readout reads: the missing ones read 0
  QTest::mousePress(t.plot, Qt::RightButton, {}, QPoint(250, 200));
  EXPECT_EQ(readout->text(), QStringLiteral("4.200V   12.50A\n0.000Ah 0.000Wh"));
  QTest::mouseRelease(t.plot, Qt::RightButton, {}, QPoint(250, 200));
}

TEST(CurveGraphPointer, RubberBandZoomsAndAClickReturnsToTheFullViewExactly) {
  PointerGraph t;
  CurveGraph& g = t.g;
  g.setMinY(0, 0.3f); // ranges that a float cannot hold exactly
  g.setMaxY(0, 4.7f);
  g.setMaxY(1, 3.3f);
  g.setMinY(2, -7.1f);
  g.DrawCurve();
  const PointerGraph::Ranges full = t.ranges();

  t.drag({100, 100}, {110, 140}); // 10 x 40: ignored
  EXPECT_FALSE(g.Large());
  EXPECT_TRUE(t.band()->isHidden());
  EXPECT_EQ(t.ranges(), full);

  // The band follows the pointer while the button is held.
  QTest::mousePress(t.plot, Qt::LeftButton, {}, QPoint(90, 140));
  QTest::mouseMove(t.plot, QPoint(290, 240));
  ASSERT_FALSE(t.band()->isHidden());
  EXPECT_EQ(t.band()->geometry(), QRect(90, 140, 201, 101));
  QTest::mouseRelease(t.plot, Qt::LeftButton, {}, QPoint(290, 240));
  EXPECT_TRUE(t.band()->isHidden());
  ASSERT_TRUE(g.Large());
  EXPECT_EQ(g.MinX(), 6);
  EXPECT_EQ(g.MaxX(), 36);
  EXPECT_FLOAT_EQ(g.MinY(0), 110 * 4.4f / 310 + 0.3f);
  EXPECT_FLOAT_EQ(g.MaxY(1), 210 * 3.3f / 310);
  EXPECT_EQ(g.MinY(2), full.minY[2]); // axis 2 keeps its range
  EXPECT_EQ(g.MaxY(2), full.maxY[2]);
  EXPECT_EQ(g.zoom().ZoomSpan, 30);
  // The scroll bar under the shrunk surface: two spans, one shown.
  EXPECT_FALSE(t.scroll()->isHidden());
  EXPECT_EQ(t.plot->height() + t.scroll()->height(), 400);
  EXPECT_EQ(t.scroll()->y(), t.plot->height());
  EXPECT_EQ(t.scroll()->width(), 500);
  EXPECT_EQ(t.scroll()->maximum(), 10);
  EXPECT_EQ(t.scroll()->value(), 2);
  EXPECT_EQ(g.image().deviceIndependentSize().height(),
            t.plot->height()); // redrawn at the new size

  // No second band in the zoomed view: a click anywhere above the X axis returns.
  QTest::mouseClick(t.plot, Qt::LeftButton, {}, QPoint(300, 300));
  EXPECT_FALSE(g.Large());
  EXPECT_EQ(t.ranges(), full);
  EXPECT_TRUE(t.scroll()->isHidden());
  EXPECT_EQ(t.plot->height(), 400);
  EXPECT_EQ(g.image().deviceIndependentSize().height(), 400);

  t.drag({100, 100}, {111, 111}); // 11 x 11 zooms
  EXPECT_TRUE(g.Large());
}

TEST(CurveGraphPointer, BandsThatDoNotZoom) {
  struct Case {
    const char* what;
    float maxX;
    bool size;
    QPoint from, to;
  };
  const Case cases[] = {
      {"mouse zoom off", 60, false, {100, 100}, {300, 300}},
      {"pressed under the X axis", 60, true, {100, 360}, {300, 300}},
      {"pressed right of the plot", 60, true, {460, 100}, {300, 300}},
      {"40 x 10", 60, true, {100, 100}, {140, 110}},
      {"a five-second test, 0.625 .. 1.25 s", 5, true, {100, 100}, {150, 200}},
  };
  for (const Case& c : cases) {
    PointerGraph t;
    t.g.setSize(c.size);
    t.g.setMaxX(c.maxX);
    t.g.DrawCurve();
    const PointerGraph::Ranges before = t.ranges();
    t.drag(c.from, c.to);
    EXPECT_FALSE(t.g.Large()) << c.what;
    EXPECT_EQ(t.ranges(), before) << c.what;
    EXPECT_TRUE(t.scroll()->isHidden()) << c.what;
  }
  PointerGraph t; // the title takes its own presses
  QTest::mousePress(t.g.titleLabel(), Qt::LeftButton, {}, QPoint(2, 2));
  EXPECT_TRUE(t.band()->isHidden());
  QTest::mouseRelease(t.g.titleLabel(), Qt::LeftButton, {}, QPoint(2, 2));
}

TEST(CurveGraphPointer, ScrollBarPansTheZoomedView) {
  PointerGraph t;
  CurveGraph& g = t.g;
  g.setMaxX(3600);
  g.Clear(0);
  for (int x = 0; x <= 3600; x += 10)
    g.AddXY(0, static_cast<float>(x), 10);
  g.DrawCurve();
  t.drag({90, 100}, {157, 200}); // 600 .. 1200 s of 9 s a pixel
  ASSERT_TRUE(g.Large());
  ASSERT_EQ(g.zoom().ZoomSpan, 603);
  EXPECT_EQ(g.MinX(), 360);
  EXPECT_EQ(t.scroll()->maximum(), 50); // round(36000 / 603) = 60, less one span
  EXPECT_EQ(t.scroll()->value(), 6);
  const QImage before = g.image().copy();

  t.scroll()->setValue(20);
  EXPECT_EQ(g.MinX(), 1206);
  EXPECT_EQ(g.MaxX(), 1810); // 1809 is odd
  EXPECT_NE(g.image(), before);
  t.scroll()->setValue(t.scroll()->maximum());
  EXPECT_EQ(g.MinX(), 3015);
  EXPECT_EQ(g.MaxX(), 3600); // never beyond the full view
  t.scroll()->triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_EQ(g.MinX(), 2412);
}

TEST(CurveGraphPointer, HostSwitchesTheZoomedView) {
  PointerGraph t;
  CurveGraph& g = t.g;
  const PointerGraph::Ranges full = t.ranges();
  t.drag({100, 100}, {300, 300});
  ASSERT_TRUE(g.Large());
  const PointerGraph::Ranges zoomed = t.ranges();
  g.setLarge(true); // already zoomed: the saved full view stays
  EXPECT_EQ(t.ranges(), zoomed);
  const QImage shown = g.image().copy();
  g.setLarge(false);
  EXPECT_EQ(t.ranges(), full);
  EXPECT_TRUE(t.scroll()->isHidden());
  EXPECT_EQ(t.plot->height(), 400);
  EXPECT_EQ(g.image(), shown); // no redraw: the host follows with one

  // Out of the zoomed view, switching it off again leaves the host's ranges alone.
  g.setMaxX(120);
  g.setLarge(false);
  EXPECT_EQ(g.MaxX(), 120);

  // Switched on by the host, the view of the moment is the full view.
  g.setLarge(true);
  EXPECT_FALSE(t.scroll()->isHidden());
  g.setMinX(30);
  g.setMaxX(60);
  g.setLarge(false);
  EXPECT_EQ(g.MinX(), 0);
  EXPECT_EQ(g.MaxX(), 120);
}

// ---- keys -----------------------------------------------------------------------------------

namespace {

// The pointer graph with five curves that read differently at every second.
struct KeyGraph : PointerGraph {
  KeyGraph() {
    g.Clear(0);
    for (int i = 0; i <= 60; ++i) {
      const float t = static_cast<float>(i);
      g.AddXY(0, t, 3.0f + 0.04f * t);
      g.AddXY(1, t, 12.5f - 0.1f * t);
      g.AddXY(3, t, t / 60);
      g.AddXY(4, t, t / 15);
    }
    g.DrawCurve();
  }
  // What the right button shows at plot X `x`.
  QString rightButtonReadout(int x) {
    QTest::mousePress(plot, Qt::RightButton, {}, QPoint(x, 200));
    const QString text = readout()->text();
    QTest::mouseRelease(plot, Qt::RightButton, {}, QPoint(x, 200));
    return text;
  }
};

} // namespace

TEST(CurveGraphKeys, ArrowKeysMoveTheCursorWithTheRightButtonsReadout) {
  KeyGraph keys, mouse; // the same graph twice: the mouse must not disturb the keys' cursor
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    int x;
  } steps[] = {
      {Qt::Key_Right, {}, 250}, // the first key shows the cursor in the middle
      {Qt::Key_Right, {}, 251},
      {Qt::Key_Right, Qt::ShiftModifier, 261},
      {Qt::Key_Left, Qt::ControlModifier, 251},
      {Qt::Key_Left, {}, 250},
      {Qt::Key_Home, {}, 51}, // the plot area's ends
      {Qt::Key_Left, {}, 51},
      {Qt::Key_End, {}, 449},
      {Qt::Key_Right, {}, 449},
      {Qt::Key_Left, Qt::ShiftModifier, 439},
  };
  for (const auto& s : steps) {
    QTest::keyClick(&keys.g, s.key, s.mods);
    ASSERT_EQ(keys.g.keyCursorX(), s.x) << QKeySequence(s.key | s.mods).toString().toStdString();
    EXPECT_FALSE(keys.readout()->isHidden());
    EXPECT_EQ(keys.cursor()->x(), s.x);
    EXPECT_EQ(keys.readout()->text(), mouse.rightButtonReadout(s.x)) << s.x;
  }
  EXPECT_TRUE(keys.g.accessibleValueText().endsWith(keys.readout()->text().replace('\n', ' ')));

  QTest::keyClick(&keys.g, Qt::Key_Escape);
  EXPECT_EQ(keys.g.keyCursorX(), -1);
  EXPECT_TRUE(keys.readout()->isHidden());
  QTest::keyClick(&keys.g, Qt::Key_Right); // back where it was
  EXPECT_EQ(keys.g.keyCursorX(), 439);
}

TEST(CurveGraphKeys, PlusAndMinusZoomAroundTheCursorOnceZoomIsOn) {
  KeyGraph t;
  CurveGraph& g = t.g;
  const PointerGraph::Ranges full = t.ranges();
  QTest::keyClick(&g, Qt::Key_Right); // 250: 30 s

  QTest::keyClick(&g, Qt::Key_Plus);
  ASSERT_TRUE(g.Large());
  EXPECT_EQ(g.MinX(), 15);
  EXPECT_EQ(g.MaxX(), 45);
  EXPECT_EQ(g.zoom().ZoomSpan, 30);
  EXPECT_EQ(g.MinY(0), full.minY[0]); // the keys zoom the time only
  EXPECT_EQ(g.MaxY(1), full.maxY[1]);
  EXPECT_FALSE(t.scroll()->isHidden());
  EXPECT_EQ(g.keyCursorX(), 250); // still on 30 s

  QTest::keyClick(&g, Qt::Key_Equal); // "+" without Shift
  EXPECT_EQ(g.MinX(), 22);            // 30 - 7.5, rounded half to even
  EXPECT_EQ(g.MaxX(), 37);
  QTest::keyClick(&g, Qt::Key_Minus);
  EXPECT_EQ(g.MaxX() - g.MinX(), 30);
  QTest::keyClick(&g, Qt::Key_Minus); // out to the whole test: the full view exactly
  EXPECT_FALSE(g.Large());
  EXPECT_EQ(t.ranges(), full);
  EXPECT_TRUE(t.scroll()->isHidden());
  QTest::keyClick(&g, Qt::Key_Minus); // nothing further out
  EXPECT_EQ(t.ranges(), full);

  QTest::keyClick(&g, Qt::Key_End); // near the end the zoomed span stays within the test
  QTest::keyClick(&g, Qt::Key_Plus);
  EXPECT_EQ(g.MinX(), 30);
  EXPECT_EQ(g.MaxX(), 60);
  QTest::keyClick(&g, Qt::Key_Plus);
  QTest::keyClick(&g, Qt::Key_0); // the whole test at once
  EXPECT_FALSE(g.Large());
  EXPECT_EQ(t.ranges(), full);

  g.setSize(false); // a test running: no zoom
  QTest::keyClick(&g, Qt::Key_Plus);
  EXPECT_FALSE(g.Large());
  EXPECT_EQ(t.ranges(), full);
}

TEST(CurveGraphKeys, KeyZoomRangeStaysWholeAndInsideTheFullView) {
  const GraphZoom z{0, 100, {0, 0}, {1, 1}, 0};
  const struct {
    const char* what;
    double minX, maxX, centre;
    bool in;
    std::optional<XRange> expected;
  } cases[] = {
      {"in, middle", 0, 100, 50, true, XRange{25, 75}},
      {"in, at the start", 0, 100, 3, true, XRange{0, 50}},
      {"in, past the end", 0, 100, 140, true, XRange{50, 100}},
      {"in to one second", 40, 42, 41, true, XRange{40, 41}},
      {"not under one second", 40, 41, 40, true, std::nullopt},
      {"out", 40, 60, 50, false, XRange{30, 70}},
      {"out to the full view", 20, 80, 50, false, XRange{0, 100}},
      {"not a number", 0, 100, std::nan(""), true, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto r = keyZoomRange(z, c.minX, c.maxX, c.centre, c.in);
    ASSERT_EQ(r.has_value(), c.expected.has_value()) << c.what;
    if (r) {
      EXPECT_EQ(r->MinX, c.expected->MinX) << c.what;
      EXPECT_EQ(r->MaxX, c.expected->MaxX) << c.what;
    }
  }
}
