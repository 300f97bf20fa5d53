#pragma once

#include "widgets/graphgeometry.h"

#include <QImage>
#include <QRect>
#include <QWidget>

#include <array>
#include <vector>

class QFrame;
class QLabel;
class QMouseEvent;
class QScrollBar;

namespace ondrel {

// The chart on which the program plots a test against time: up to three Y axes, a 10 x 10
// grid, labels, a legend per curve and the curves. Everything is drawn into an off-screen image
// that reaches the screen in one copy. Setting a property does not redraw unless said; the host
// calls DrawCurve. Index errors throw ComponentError (code 9) and change nothing.
//
// Pointer interactions, in device-independent pixels of the plot surface: a legend dragged with
// the left button lands on a 5-pixel grid and stays where the user put it; holding the right
// button in the plot area shows a cursor line with the voltage, current, capacity and energy
// under it (curves 0, 1, 3 and 4); with Size on, a left-button rubber band zooms in, the scroll
// bar under the zoomed view pans it and a left click returns to the full view.
//
// Keys, once the graph has the focus (by Tab): Left and Right move the same cursor and readout a
// pixel at a time (ten with Shift or Ctrl), Home and End go to the plot area's ends; with Size
// on, + and - halve and double the shown time around the cursor and 0 returns to the full view.
class CurveGraph : public QWidget {
  Q_OBJECT

public:
  explicit CurveGraph(QWidget* parent = nullptr);
  ~CurveGraph() override;

  // Appends a point to curve `index`; no redraw.
  void AddXY(int index, float x, float y);
  // Full redraw: frame, curves, legends. A graph that cannot be drawn (zero range, surface
  // smaller than its margins, a curve on an axis outside 0..2) keeps its last picture.
  void DrawCurve();
  // Empties every curve and draws the empty frame.
  void ClearAll();
  // Empties curve `index`; no redraw.
  void Clear(int index);
  // Rebuilds the off-screen image at the surface's size and the text font.
  void Initialize_DrawCurve();

  quint32 BackColor() const { return m_backColor; }
  void setBackColor(quint32 colour);
  QString LegendText(int index) const;
  void setLegendText(int index, const QString& text);
  QString TitleText() const { return m_titleText; }
  void setTitleText(const QString& text);
  int GridType1() const { return m_gridType1; }
  void setGridType1(int style) { m_gridType1 = style; }
  int GridType2() const { return m_gridType2; }
  void setGridType2(int style) { m_gridType2 = style; }
  quint32 GridColor() const { return m_gridColor; }
  void setGridColor(quint32 colour) { m_gridColor = colour; }
  quint32 AxesColor() const { return m_axesColor; }
  void setAxesColor(quint32 colour);
  bool ShowAxesY1() const { return m_view.ShowAxesY1; }
  void setShowAxesY1(bool show) { m_view.ShowAxesY1 = show; }
  bool ShowAxesY2() const { return m_view.ShowAxesY2; }
  void setShowAxesY2(bool show) { m_view.ShowAxesY2 = show; }
  int Line() const { return m_line; }
  void setLine(int width) { m_line = width; }
  quint32 CurveLineColor(int index) const;
  void setCurveLineColor(int index, quint32 colour);
  int CurveAxesY(int index) const;
  void setCurveAxesY(int index, int axis);
  bool ShowCurve(int index) const;
  void setShowCurve(int index, bool show);
  bool ShowLegend(int index) const;
  void setShowLegend(int index, bool show);
  qint32 DpCnt(int index) const;
  float DpX(int index, qint64 i) const;
  float DpY(int index, qint64 i) const;
  void setDpX(int index, qint64 i, float x);
  void setDpY(int index, qint64 i, float y);
  int xBarType() const { return m_xBarType; }
  void setxBarType(int type) { m_xBarType = type; }
  float MaxX() const { return static_cast<float>(m_view.MaxX); }
  void setMaxX(float v) { m_view.MaxX = v; }
  float MinX() const { return static_cast<float>(m_view.MinX); }
  void setMinX(float v) { m_view.MinX = v; }
  float MaxY(int axis) const;
  void setMaxY(int axis, float v);
  float MinY(int axis) const;
  void setMinY(int axis, float v);
  bool Size() const { return m_size; }
  void setSize(bool enabled) { m_size = enabled; }
  bool YStep() const { return m_yStep; }
  void setYStep(bool on) { m_yStep = on; }
  QString AxesY1Txt() const { return m_axesY1Txt; }
  void setAxesY1Txt(const QString& text) { m_axesY1Txt = text; }
  QString AxesY2Txt() const { return m_axesY2Txt; }
  void setAxesY2Txt(const QString& text) { m_axesY2Txt = text; }
  int CurveCount() const { return static_cast<int>(m_curves.size()); }
  // Limited to 1..50; keeps existing curves, hides every legend, recolours curves 0 and 1.
  void setCurveCount(int count);
  bool Large() const { return m_large; }
  // Switches between the zoomed and the full view; without a redraw. Leaving the zoomed view
  // restores the ranges of the full view (axis 2 was never zoomed). Entering it from the host
  // keeps the current ranges as the full view; the scroll bar pans only a view the user zoomed.
  void setLarge(bool large);
  // The user has dragged legend `index`; the layout leaves it where it was dropped.
  bool MovedByUser(int index) const;
  // The full view saved by the last zoom, and the zoomed X span.
  const GraphZoom& zoom() const { return m_zoom; }

  // What was drawn last: the off-screen image, the plot surface's size and the scales.
  const QImage& image() const { return m_image; }
  QSize plotSize() const;
  const GraphScales& lastScales() const { return m_scales; }
  int RightMargin() const { return graphRightMargin(m_view); }
  // The rectangle recorded for legend `index` (left, top, right, bottom).
  QRect legendRect(int index) const;
  QLabel* legendLabel(int index) const;
  QLabel* titleLabel() const { return m_title; }
  QFont graphFont() const { return m_font; }

  // Title and visible legends, and the readout while the keyboard's cursor shows it, for
  // assistive tools.
  QString accessibleValueText() const;
  // The keyboard's cursor: its X in plot pixels, -1 while it is not shown.
  int keyCursorX() const { return m_keyCursorOn ? m_keyX : -1; }

signals:
  // The title was double-clicked.
  void DblClick();
  // Legend `index` was double-clicked.
  void LblClick(int index);

protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

private:
  struct Curve {
    std::vector<CurvePoint> points;
    int axis = 0;
    bool show = false;
    quint32 colour = 0;
    bool showLegend = false;
    QLabel* legend = nullptr;
    QFrame* outline = nullptr;
    QRect legendRect;
    bool movedByUser = false;
    bool dragging = false;
    QPointF grabOffset; // pointer minus the legend's top-left when the drag began
  };

  Curve& curve(int index);
  const Curve& curve(int index) const;
  void checkAxis(int axis) const;
  void layoutPlot();
  void layoutChildren();
  void relayout();
  void syncLayout();
  void centreTitle();
  void createLegends();
  void layoutLegends();
  void placeLegendFrame(int index);
  QLabel* makeLegend(int index);
  bool drawFrame(QImage& image);
  // Everything the frame (axes, labels, grid lines) is drawn from.
  struct FrameKey {
    QSize size;
    qreal dpr = 0;
    GraphView view;
    QRgb back = 0, axes = 0, grid = 0;
    int gridType1 = 0, gridType2 = 0, xBarType = 0;
    QString axesY1Txt, axesY2Txt;
    QFont font;
    bool operator==(const FrameKey&) const = default;
  };
  FrameKey frameKey(const QImage& image) const;
  // The frame into `image`: copied from the last one drawn while nothing it shows has changed.
  void putFrame(QImage& image);
  bool render(QImage& image);
  void present();
  QColor colour(quint32 value) const;

  GraphView pointerView() const;
  bool plotPointer(QMouseEvent& event);
  bool legendPointer(int index, QMouseEvent& event);
  void ShowCursorValues(int x, int y);
  // The keyboard's cursor at plot X `x`, kept inside the plot area; false when there is none.
  bool showKeyCursor(int x);
  void hideKeyCursor();
  void zoomByKey(bool in);
  void wholeViewByKey();
  void endPointerGestures();
  void zoomInto(const RubberBand& band);
  void setupScroll();
  void panTo(int position);

  QWidget* m_plot = nullptr;      // picGraph
  QLabel* m_title = nullptr;      // lblTitle
  QScrollBar* m_scroll = nullptr; // HScroll1
  QFrame* m_line1 = nullptr;      // cursor line of the value readout
  QFrame* m_shpRect = nullptr;    // zoom rubber band
  QLabel* m_lblDisp = nullptr;    // value readout
  std::vector<Curve> m_curves;
  GraphView m_view;
  GraphScales m_scales;
  quint32 m_backColor = 0xFFFFFF;
  quint32 m_axesColor = 0;
  quint32 m_gridColor = 0x646464;
  int m_gridType1 = 0;
  int m_gridType2 = 2;
  int m_line = 2;
  bool m_yStep = false;
  int m_xBarType = 0;
  QString m_axesY1Txt = QStringLiteral("[A]");
  QString m_axesY2Txt = QStringLiteral("[W]");
  bool m_size = false;
  bool m_large = false;
  GraphZoom m_zoom;
  bool m_cursorOn = false;    // right button held in the plot area
  bool m_keyCursorOn = false; // the keyboard's cursor is shown
  int m_keyX = -1;            // where the keyboard's cursor is (or was last)
  bool m_bandOn = false;      // rubber band being drawn
  RubberBand m_band;
  QString m_titleText = QStringLiteral("Ondrel Tester Software");
  QImage m_image; // shown
  QImage m_back;  // drawn into, then swapped with m_image
  QFont m_font;
  QImage m_frame; // the last frame drawn, from m_frameKey
  FrameKey m_frameKey;
};

} // namespace ondrel
