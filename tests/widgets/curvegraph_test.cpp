#include "widgets/colour.h"
#include "widgets/componenterror.h"
#include "widgets/curvegraph.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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
