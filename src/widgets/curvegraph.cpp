#include "widgets/curvegraph.h"

#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "widgets/accessibility.h"
#include "widgets/colour.h"
#include "widgets/componenterror.h"

#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>

#include <cmath>
#include <cstring>

namespace ondrel {

namespace {

constexpr quint32 kBlue = 0xFF0000;
constexpr quint32 kRed = 0x0000FF;
constexpr int kMaxCurves = 50;

// The plot surface: shows the graph's off-screen image as it is.
class PlotSurface : public QWidget {
public:
  PlotSurface(const QImage* image, QWidget* parent) : QWidget(parent), m_image(image) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    if (m_image->isNull())
      p.fillRect(rect(), Qt::white);
    else
      p.drawImage(QPoint(0, 0), *m_image);
  }

private:
  const QImage* m_image;
};

quint32 invertColour(quint32 c) {
  return (~c) & 0xFFFFFF;
}

// Line styles 0 solid, 1 dashed, 2 dotted, 3 dash-dot, 4 dash-dot-dot, 5 none, with the dash
// lengths of the classic one-pixel pens.
QPen gridPen(int style, const QColor& colour) {
  QPen pen(colour, 1);
  pen.setCapStyle(Qt::FlatCap);
  switch (style) {
  case 1:
    pen.setDashPattern({18, 6});
    break;
  case 2:
    pen.setDashPattern({3, 3});
    break;
  case 3:
    pen.setDashPattern({9, 6, 3, 6});
    break;
  case 4:
    pen.setDashPattern({9, 3, 3, 3, 3, 3});
    break;
  case 5:
    pen.setStyle(Qt::NoPen);
    break;
  default:
    break;
  }
  return pen;
}

// Clips the segment a-b to `r` (Liang-Barsky); false when nothing of it is inside.
bool clipSegment(QPointF& a, QPointF& b, const QRectF& r) {
  double t0 = 0, t1 = 1;
  const double dx = b.x() - a.x(), dy = b.y() - a.y();
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0)
        return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0)
      t0 = std::max(t0, t);
    else
      t1 = std::min(t1, t);
    if (t0 > t1)
      return false;
  }
  const QPointF a0 = a;
  a = a0 + QPointF(dx, dy) * t0;
  b = a0 + QPointF(dx, dy) * t1;
  return true;
}

} // namespace

// Draws a polyline `width` pixels thick as a square of that size swept along each segment,
// straight into the image's pixels: the look of a thin stroked pen, at a fraction of the cost
// of the general stroker, which matters with thousands of segments per curve.
void sweepPolyline(QImage& image, const std::vector<QPoint>& path, QRgb colour, int width) {
  const int w = image.width(), h = image.height();
  const int off = (width - 1) / 2;
  const QRectF bounds(-width, -width, w + 2 * width, h + 2 * width);
  uchar* const bits = image.bits(); // once: every scanLine() call would check for sharing
  const qsizetype stride = image.bytesPerLine();
  auto plot = [&](int x, int y) {
    const int x0 = std::max(0, x - off), x1 = std::min(w - 1, x - off + width - 1);
    const int y0 = std::max(0, y - off), y1 = std::min(h - 1, y - off + width - 1);
    for (int yy = y0; yy <= y1; ++yy) {
      auto* line = reinterpret_cast<QRgb*>(bits + yy * stride);
      for (int xx = x0; xx <= x1; ++xx)
        line[xx] = colour;
    }
  };
  for (size_t i = 1; i < path.size(); ++i) {
    QPointF a = path[i - 1], b = path[i];
    if (!clipSegment(a, b, bounds))
      continue;
    int x0 = qRound(a.x()), y0 = qRound(a.y());
    const int x1 = qRound(b.x()), y1 = qRound(b.y());
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
      plot(x0, y0);
      if (x0 == x1 && y0 == y1)
        break;
      const int e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        x0 += sx;
      }
      if (e2 <= dx) {
        err += dx;
        y0 += sy;
      }
    }
  }
}

namespace {

int rounded(double v) {
  return static_cast<int>(std::clamp<qint64>(roundHalfEven(v), -1000000, 1000000));
}

} // namespace

CurveGraph::CurveGraph(QWidget* parent) : QWidget(parent) {
  installComponentAccessibility();
  // Reached by Tab; a click does not take the focus from the box being typed in.
  setFocusPolicy(Qt::TabFocus);
  setAccessibleDescription(
      LangText(QStringLiteral("Left and right arrow keys move the value cursor, Home and End go "
                              "to the ends. After a test, + and - zoom in and out around the "
                              "cursor and 0 shows the whole test.")));
  m_plot = new PlotSurface(&m_image, this);
  m_plot->setObjectName(QStringLiteral("picGraph"));
  m_title = new QLabel(m_titleText, m_plot);
  m_title->setObjectName(QStringLiteral("lblTitle"));
  // A title may come from a file: shown as the text it is, never read as markup.
  m_title->setTextFormat(Qt::PlainText);
  m_title->installEventFilter(this);
  m_scroll = new QScrollBar(Qt::Horizontal, this);
  m_scroll->setObjectName(QStringLiteral("HScroll1"));
  m_scroll->setAccessibleName(QStringLiteral("Zoomed view"));
  m_scroll->setSingleStep(1);
  m_scroll->setPageStep(10); // positions count tenths of the zoomed span: a page is one span
  m_scroll->hide();
  connect(m_scroll, &QScrollBar::valueChanged, this, &CurveGraph::panTo);
  m_plot->installEventFilter(this);
  // Cursor, band and readout must not catch the pointer that moves them.
  m_line1 = new QFrame(m_plot);
  m_line1->setObjectName(QStringLiteral("Line1"));
  m_line1->setAutoFillBackground(true);
  m_line1->setAttribute(Qt::WA_TransparentForMouseEvents);
  m_line1->hide();
  m_shpRect = new QFrame(m_plot);
  m_shpRect->setObjectName(QStringLiteral("shpRect"));
  m_shpRect->setAttribute(Qt::WA_TransparentForMouseEvents);
  m_shpRect->hide();
  m_lblDisp = new QLabel(QStringLiteral("0.000V 00.00A"), m_plot);
  m_lblDisp->setObjectName(QStringLiteral("lblDisp"));
  m_lblDisp->setAutoFillBackground(true);
  m_lblDisp->setMargin(2);
  m_lblDisp->setAttribute(Qt::WA_TransparentForMouseEvents);
  m_lblDisp->hide();

  m_curves.resize(5);
  m_curves[0].colour = kBlue;
  m_curves[1].colour = kRed;
  setAxesColor(m_axesColor);
  resize(600, 400);
  layoutPlot();
  createLegends();
  Initialize_DrawCurve();
}

CurveGraph::~CurveGraph() = default;

QColor CurveGraph::colour(quint32 value) const {
  return toQColor(value, palette());
}

CurveGraph::Curve& CurveGraph::curve(int index) {
  if (index < 0 || index >= CurveCount())
    throw ComponentError::subscriptOutOfRange();
  return m_curves[static_cast<size_t>(index)];
}

const CurveGraph::Curve& CurveGraph::curve(int index) const {
  if (index < 0 || index >= CurveCount())
    throw ComponentError::subscriptOutOfRange();
  return m_curves[static_cast<size_t>(index)];
}

void CurveGraph::checkAxis(int axis) const {
  if (axis < 0 || axis > 2)
    throw ComponentError::subscriptOutOfRange();
}

QSize CurveGraph::plotSize() const {
  return m_plot->size();
}

// ---- data -----------------------------------------------------------------------------------

void CurveGraph::AddXY(int index, float x, float y) {
  auto& points = curve(index).points;
  if (points.size() >= static_cast<size_t>(std::numeric_limits<qint32>::max()))
    throw ComponentError(7, QStringLiteral("Out of memory"));
  points.push_back({x, y}); // grows geometrically: appending stays cheap at millions of points
}

void CurveGraph::Clear(int index) {
  auto& points = curve(index).points;
  points.clear();
  points.shrink_to_fit();
  points.reserve(2);
}

qint32 CurveGraph::DpCnt(int index) const {
  return static_cast<qint32>(curve(index).points.size());
}

float CurveGraph::DpX(int index, qint64 i) const {
  const auto& pts = curve(index).points;
  if (i < 0 || i >= static_cast<qint64>(pts.size()))
    throw ComponentError::subscriptOutOfRange();
  return pts[static_cast<size_t>(i)].x;
}

float CurveGraph::DpY(int index, qint64 i) const {
  const auto& pts = curve(index).points;
  if (i < 0 || i >= static_cast<qint64>(pts.size()))
    throw ComponentError::subscriptOutOfRange();
  return pts[static_cast<size_t>(i)].y;
}

void CurveGraph::setDpX(int index, qint64 i, float x) {
  auto& pts = curve(index).points;
  if (i < 0 || i >= static_cast<qint64>(pts.size()))
    throw ComponentError::subscriptOutOfRange();
  pts[static_cast<size_t>(i)].x = x;
}

void CurveGraph::setDpY(int index, qint64 i, float y) {
  auto& pts = curve(index).points;
  if (i < 0 || i >= static_cast<qint64>(pts.size()))
    throw ComponentError::subscriptOutOfRange();
  pts[static_cast<size_t>(i)].y = y;
}

// ---- properties -----------------------------------------------------------------------------

void CurveGraph::setBackColor(quint32 c) {
  m_backColor = c;
  const QString css = QStringLiteral("border: 1px solid %1;").arg(colour(invertColour(c)).name());
  for (auto& cv : m_curves)
    if (cv.outline)
      cv.outline->setStyleSheet(css);
}

void CurveGraph::setAxesColor(quint32 c) {
  m_axesColor = c;
  QPalette pal = m_title->palette();
  pal.setColor(QPalette::WindowText, colour(c));
  m_title->setPalette(pal);
}

QString CurveGraph::LegendText(int index) const {
  const Curve& c = curve(index);
  return c.legend ? c.legend->text().mid(5) : QString();
}

void CurveGraph::setLegendText(int index, const QString& text) {
  Curve& c = curve(index);
  c.legend->setText(QStringLiteral("---- ") + text);
  c.legend->adjustSize();
  QPalette pal = c.legend->palette();
  pal.setColor(QPalette::WindowText, colour(c.colour));
  c.legend->setPalette(pal);
  placeLegendFrame(index);
}

void CurveGraph::setTitleText(const QString& text) {
  m_titleText = text;
  m_title->setText(text);
  centreTitle();
  m_title->raise();
}

quint32 CurveGraph::CurveLineColor(int index) const {
  return curve(index).colour;
}

void CurveGraph::setCurveLineColor(int index, quint32 c) {
  Curve& cv = curve(index);
  cv.colour = c;
  QPalette pal = cv.legend->palette();
  pal.setColor(QPalette::WindowText, colour(c));
  cv.legend->setPalette(pal);
}

int CurveGraph::CurveAxesY(int index) const {
  return curve(index).axis;
}
void CurveGraph::setCurveAxesY(int index, int axis) {
  curve(index).axis = axis;
}
bool CurveGraph::ShowCurve(int index) const {
  return curve(index).show;
}
void CurveGraph::setShowCurve(int index, bool show) {
  curve(index).show = show;
}
bool CurveGraph::ShowLegend(int index) const {
  return curve(index).showLegend;
}

void CurveGraph::setShowLegend(int index, bool show) {
  Curve& c = curve(index);
  c.showLegend = show;
  c.legend->setVisible(show);
  if (index == 2) {
    syncLayout();
    centreTitle();
    layoutLegends();
  }
}

float CurveGraph::MaxY(int axis) const {
  checkAxis(axis);
  return static_cast<float>(m_view.MaxY[static_cast<size_t>(axis)]);
}
void CurveGraph::setMaxY(int axis, float v) {
  checkAxis(axis);
  m_view.MaxY[static_cast<size_t>(axis)] = v;
}
float CurveGraph::MinY(int axis) const {
  checkAxis(axis);
  return static_cast<float>(m_view.MinY[static_cast<size_t>(axis)]);
}
void CurveGraph::setMinY(int axis, float v) {
  checkAxis(axis);
  m_view.MinY[static_cast<size_t>(axis)] = v;
}

void CurveGraph::setCurveCount(int count) {
  count = std::clamp(count, 1, kMaxCurves);
  for (size_t i = static_cast<size_t>(count); i < m_curves.size(); ++i) {
    delete m_curves[i].legend;
    delete m_curves[i].outline;
  }
  m_curves.resize(static_cast<size_t>(count));
  for (auto& c : m_curves)
    c.showLegend = false;
  m_curves[0].colour = kBlue;
  if (count > 1)
    m_curves[1].colour = kRed;
  createLegends();
}

void CurveGraph::setLarge(bool large) {
  if (large == m_large)
    return; // in particular, a second "true" must not take the zoomed view for the full one
  m_large = large;
  if (large) {
    m_zoom = GraphZoom{m_view.MinX,
                       m_view.MaxX,
                       {m_view.MinY[0], m_view.MinY[1]},
                       {m_view.MaxY[0], m_view.MaxY[1]},
                       0};
  } else {
    m_view.MinX = m_zoom.FullMinX;
    m_view.MaxX = m_zoom.FullMaxX;
    for (size_t a = 0; a < 2; ++a) {
      m_view.MinY[a] = m_zoom.FullMinY[a];
      m_view.MaxY[a] = m_zoom.FullMaxY[a];
    }
  }
  layoutChildren();
  setupScroll();
}

bool CurveGraph::MovedByUser(int index) const {
  return curve(index).movedByUser;
}

QRect CurveGraph::legendRect(int index) const {
  return curve(index).legendRect;
}
QLabel* CurveGraph::legendLabel(int index) const {
  return curve(index).legend;
}

QString CurveGraph::accessibleValueText() const {
  QStringList legends;
  for (const auto& c : m_curves)
    if (c.legend && !c.legend->isHidden())
      legends << c.legend->text().mid(5);
  QString s = m_titleText;
  if (!legends.isEmpty())
    s += QStringLiteral("; ") + legends.join(QStringLiteral(", "));
  if (m_keyCursorOn)
    s += QStringLiteral("; ") + m_lblDisp->text().replace(QLatin1Char('\n'), QLatin1Char(' '));
  return s;
}

// ---- layout ---------------------------------------------------------------------------------

void CurveGraph::layoutPlot() {
  const int scrollH = m_scroll->sizeHint().height();
  if (m_large) {
    m_plot->setGeometry(0, 0, width(), std::max(0, height() - scrollH));
    m_scroll->setGeometry(0, m_plot->height(), width(), scrollH);
    m_scroll->show();
  } else {
    m_plot->setGeometry(0, 0, width(), height());
    m_scroll->hide();
  }
}

void CurveGraph::centreTitle() {
  m_title->adjustSize();
  m_title->move((m_plot->width() - m_title->width()) / 2, 10);
}

QLabel* CurveGraph::makeLegend(int index) {
  Curve& c = m_curves[static_cast<size_t>(index)];
  if (!c.legend) {
    c.legend = new QLabel(QStringLiteral("---- "), m_plot);
    c.legend->setObjectName(QStringLiteral("lblLegend%1").arg(index));
    c.legend->installEventFilter(this);
    c.legend->hide();
    c.outline = new QFrame(m_plot);
    c.outline->setObjectName(QStringLiteral("ShapeLegend%1").arg(index));
    c.outline->hide();
  }
  QPalette pal = c.legend->palette();
  pal.setColor(QPalette::WindowText, colour(c.colour));
  c.legend->setPalette(pal);
  c.legend->adjustSize();
  return c.legend;
}

void CurveGraph::createLegends() {
  const int W = m_plot->width();
  QLabel* first = makeLegend(0);
  first->move(W - 120, 73);
  first->setVisible(m_curves[0].showLegend);
  placeLegendFrame(0);
  QLabel* previous = first;
  for (int i = 1; i < CurveCount(); ++i) {
    QLabel* l = makeLegend(i);
    if (!l->isHidden()) {
      l->move(first->x(), previous->y() + previous->height() + 5);
      previous = l;
    }
    l->setVisible(m_curves[static_cast<size_t>(i)].showLegend);
    placeLegendFrame(i);
  }
  setBackColor(m_backColor);
}

void CurveGraph::layoutLegends() {
  const int W = m_plot->width();
  Curve& c0 = m_curves[0];
  if (!c0.movedByUser)
    c0.legend->move(m_view.ShowAxesY1 && m_view.ShowAxesY2 ? W - 170 : W - 120, 73);
  placeLegendFrame(0);
  QLabel* last = c0.legend;
  for (int i = 1; i < CurveCount(); ++i) {
    Curve& c = m_curves[static_cast<size_t>(i)];
    if (!c.legend->isHidden() && !c.movedByUser) {
      c.legend->move(c0.legend->x(), last->y() + last->height() + 5);
      last = c.legend;
    }
    placeLegendFrame(i);
  }
}

void CurveGraph::placeLegendFrame(int index) {
  Curve& c = m_curves[static_cast<size_t>(index)];
  const QRect g = c.legend->geometry();
  c.outline->setGeometry(g);
  c.outline->hide();
  c.outline->setStyleSheet(
      QStringLiteral("border: 1px solid %1;").arg(colour(invertColour(m_backColor)).name()));
  c.legendRect =
      QRect(QPoint(g.left(), g.top()), QPoint(g.left() + g.width(), g.top() + g.height()));
}

void CurveGraph::resizeEvent(QResizeEvent*) {
  relayout();
  DrawCurve();
}

void CurveGraph::layoutChildren() {
  layoutPlot();
  centreTitle();
  layoutLegends();
  m_line1->setGeometry(m_line1->x(), 41, 1, std::max(0, m_plot->height() - 51 - 41 + 1));
}

void CurveGraph::relayout() {
  layoutChildren();
  Initialize_DrawCurve();
}

void CurveGraph::syncLayout() {
  // A hidden widget learns of its new size only when shown; drawing must not wait for that.
  const int scrollH = m_large ? m_scroll->sizeHint().height() : 0;
  if (m_plot->size() != QSize(width(), std::max(0, height() - scrollH)))
    relayout();
}

void CurveGraph::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    Initialize_DrawCurve();
    for (auto& c : m_curves)
      if (c.legend)
        c.legend->adjustSize();
    centreTitle();
  }
  QWidget::changeEvent(event);
}

bool CurveGraph::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    if (watched == m_title) {
      emit DblClick();
      return true;
    }
    for (int i = 0; i < CurveCount(); ++i) {
      if (watched == m_curves[static_cast<size_t>(i)].legend) {
        emit LblClick(i);
        return true;
      }
    }
  }
  const QEvent::Type type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
      type != QEvent::MouseButtonRelease)
    return QWidget::eventFilter(watched, event);
  auto& mouse = static_cast<QMouseEvent&>(*event);
  if (watched == m_plot)
    return plotPointer(mouse);
  if (watched == m_title)
    return true; // the title sits on the plot but takes its clicks for itself
  for (int i = 0; i < CurveCount(); ++i)
    if (watched == m_curves[static_cast<size_t>(i)].legend)
      return legendPointer(i, mouse);
  return QWidget::eventFilter(watched, event);
}

// ---- pointer interactions -------------------------------------------------------------------

// The view as the pointer sees it: the surface as it is now, the ranges of the last redraw.
GraphView CurveGraph::pointerView() const {
  GraphView v = m_view;
  v.W = m_plot->width();
  v.H = m_plot->height();
  return v;
}

bool CurveGraph::plotPointer(QMouseEvent& e) {
  // Whole device-independent pixels: the same arithmetic at any screen scale.
  const int x = static_cast<int>(roundHalfEven(e.position().x()));
  const int y = static_cast<int>(roundHalfEven(e.position().y()));
  const GraphView v = pointerView();
  switch (e.type()) {
  case QEvent::MouseButtonPress:
    if (e.button() == Qt::RightButton && inPlotArea(v, x, y)) {
      m_cursorOn = true;
      ShowCursorValues(x, y);
      return true;
    }
    if (e.button() == Qt::LeftButton && m_size && zoomPressArea(v, x, y)) {
      if (m_large) {
        setLarge(false);
        DrawCurve();
        return true;
      }
      m_band = startRubberBand(x, y);
      m_bandOn = true;
      m_shpRect->setStyleSheet(
          QStringLiteral("border: 1px solid %1;").arg(colour(invertColour(m_backColor)).name()));
      m_shpRect->setGeometry(m_band.left, m_band.top, 1, 1);
      m_shpRect->show();
      m_shpRect->raise();
      return true;
    }
    return false;
  case QEvent::MouseMove:
    if (m_bandOn) {
      growRubberBand(m_band, v, x, y);
      // One pixel more each way, so that the outline covers both edges of the band.
      m_shpRect->setGeometry(m_band.left, m_band.top, m_band.width + 1, m_band.height + 1);
      return true;
    }
    if (m_cursorOn) {
      if (inPlotArea(v, x, y))
        ShowCursorValues(x, y);
      return true;
    }
    return false;
  case QEvent::MouseButtonRelease: {
    const bool active = m_bandOn || m_cursorOn;
    const bool zoomNow = m_bandOn && m_size && !m_large;
    const RubberBand band = m_band;
    endPointerGestures();
    if (zoomNow)
      zoomInto(band);
    return active;
  }
  default:
    return false;
  }
}

bool CurveGraph::legendPointer(int index, QMouseEvent& e) {
  Curve& c = m_curves[static_cast<size_t>(index)];
  const QPointF p = e.position() + QPointF(c.legend->pos()); // in plot pixels
  switch (e.type()) {
  case QEvent::MouseButtonPress:
    if (e.button() != Qt::LeftButton)
      return false; // other buttons act on the plot under the legend
    c.dragging = true;
    c.grabOffset = p - QPointF(c.legend->pos());
    c.outline->setGeometry(c.legend->geometry());
    c.outline->show();
    c.outline->raise();
    return true;
  case QEvent::MouseMove:
    if (!c.dragging)
      return false;
    c.outline->move((p - c.grabOffset).toPoint());
    return true;
  case QEvent::MouseButtonRelease: {
    if (!c.dragging || e.button() != Qt::LeftButton)
      return false;
    c.dragging = false;
    c.legend->move(snapLegend(p - c.grabOffset));
    placeLegendFrame(index); // records the rectangle and hides the outline
    c.movedByUser = true;
    endPointerGestures();
    return true;
  }
  default:
    return false;
  }
}

// Shows the cursor line at x with the readout beside it: the time under the cursor and the
// voltage, current, capacity and energy of channel 0's curves at that time.
void CurveGraph::ShowCursorValues(int x, int y) {
  const GraphView v = pointerView();
  const qint64 t = cursorTime(v, m_scales, x);
  auto value = [&](int index) {
    if (index >= CurveCount()) // a graph of fewer than five curves reads 0
      return 0.0f;
    const auto& pts = m_curves[static_cast<size_t>(index)].points;
    return cursorValue(pts.data(), static_cast<qint64>(pts.size()), v.W, t);
  };
  m_lblDisp->setText(cursorReadoutText(value(0), value(1), value(3), value(4)));
  QPalette pal = m_lblDisp->palette();
  pal.setColor(QPalette::Window, colour(m_backColor));
  pal.setColor(QPalette::WindowText, colour(m_axesColor));
  m_lblDisp->setPalette(pal);
  // Placed by its new size, so that a wider text still flips before the right edge.
  m_lblDisp->adjustSize();
  m_lblDisp->move(cursorReadoutPos(v, x, y, m_lblDisp->width()));
  QPalette linePal = m_line1->palette();
  linePal.setColor(QPalette::Window, colour(m_axesColor));
  m_line1->setPalette(linePal);
  m_line1->setGeometry(x, 41, 1, std::max(0, v.H - 51 - 41 + 1));
  m_line1->show();
  m_line1->raise();
  m_lblDisp->show();
  m_lblDisp->raise();
}

// ---- keys -----------------------------------------------------------------------------------

bool CurveGraph::showKeyCursor(int x) {
  const GraphView v = pointerView();
  const int first = 51, last = v.W - graphRightMargin(v) - 1;
  const int top = 41, bottom = v.H - 51;
  if (last < first || bottom < top)
    return false;
  m_keyX = std::clamp(x, first, last);
  m_keyCursorOn = true;
  // Half-way down the plot area, where a pointer at this X could stand as well.
  ShowCursorValues(m_keyX, (top + bottom) / 2);
  notifyAccessibleValue(this, accessibleValueText());
  return true;
}

void CurveGraph::hideKeyCursor() {
  if (!m_keyCursorOn)
    return;
  m_keyCursorOn = false;
  if (!m_cursorOn) {
    m_line1->hide();
    m_lblDisp->hide();
  }
}

void CurveGraph::keyPressEvent(QKeyEvent* event) {
  const auto mods = event->modifiers() & ~Qt::KeypadModifier;
  const int step = mods & (Qt::ShiftModifier | Qt::ControlModifier) ? 10 : 1;
  const GraphView v = pointerView();
  const int middle = (51 + v.W - graphRightMargin(v) - 1) / 2;
  // The first key shows the cursor where it was last, or in the middle.
  const int from = m_keyX >= 0 ? m_keyX : middle;
  switch (event->key()) {
  case Qt::Key_Left:
    showKeyCursor(m_keyCursorOn ? from - step : from);
    return;
  case Qt::Key_Right:
    showKeyCursor(m_keyCursorOn ? from + step : from);
    return;
  case Qt::Key_Home:
    showKeyCursor(0);
    return;
  case Qt::Key_End:
    showKeyCursor(v.W);
    return;
  case Qt::Key_Plus:
  case Qt::Key_Equal: // "+" without Shift on most layouts
    zoomByKey(true);
    return;
  case Qt::Key_Minus:
    zoomByKey(false);
    return;
  case Qt::Key_0:
    wholeViewByKey();
    return;
  case Qt::Key_Escape:
    if (m_keyCursorOn) {
      hideKeyCursor();
      return;
    }
    break;
  default:
    break;
  }
  QWidget::keyPressEvent(event);
}

void CurveGraph::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  // The cursor is the graph's only sign of having the focus.
  if (!m_cursorOn && event->reason() != Qt::ActiveWindowFocusReason)
    showKeyCursor(m_keyX >= 0 ? m_keyX : (51 + plotSize().width() - RightMargin() - 1) / 2);
}

void CurveGraph::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  hideKeyCursor();
}

// The zoom of the rubber band, by keys: only where the band works (Size on), around the time
// under the cursor, X only.
void CurveGraph::zoomByKey(bool in) {
  if (!m_size || !m_scales.valid || (!in && !m_large))
    return;
  const GraphView v = pointerView();
  const double centre = m_keyCursorOn ? static_cast<double>(cursorTime(v, m_scales, m_keyX))
                                      : (m_view.MinX + m_view.MaxX) / 2;
  const GraphZoom full = m_large ? m_zoom
                                 : GraphZoom{m_view.MinX,
                                             m_view.MaxX,
                                             {m_view.MinY[0], m_view.MinY[1]},
                                             {m_view.MaxY[0], m_view.MaxY[1]},
                                             0};
  const std::optional<XRange> r = keyZoomRange(full, m_view.MinX, m_view.MaxX, centre, in);
  if (!r)
    return;
  if (r->MinX == full.FullMinX && r->MaxX == full.FullMaxX) {
    if (!m_large)
      return;
    setLarge(false);
  } else {
    m_zoom = full;
    m_zoom.ZoomSpan = r->MaxX - r->MinX;
    m_large = true;
    m_view.MinX = r->MinX;
    m_view.MaxX = r->MaxX;
    layoutChildren();
    setupScroll();
  }
  DrawCurve();
  // The cursor stays on the time it was on, as near as the new scale allows.
  if (m_keyCursorOn && m_scales.valid && m_scales.x > 0)
    showKeyCursor(static_cast<int>(std::clamp<qint64>(
        roundHalfEven(50 + (centre - m_view.MinX) / m_scales.x), -1000000, 1000000)));
}

void CurveGraph::wholeViewByKey() {
  if (!m_large)
    return;
  setLarge(false);
  DrawCurve();
  if (m_keyCursorOn)
    showKeyCursor(m_keyX);
}

// A button release ends the cursor, the rubber band and every legend drag.
void CurveGraph::endPointerGestures() {
  m_cursorOn = false;
  m_keyCursorOn = false;
  m_bandOn = false;
  m_line1->hide();
  m_lblDisp->hide();
  m_shpRect->hide();
  for (auto& c : m_curves) {
    c.dragging = false;
    c.outline->hide();
  }
}

void CurveGraph::zoomInto(const RubberBand& band) {
  const std::optional<ZoomedView> z = zoomToBand(pointerView(), m_scales, band);
  if (!z)
    return;
  m_view.MinX = z->view.MinX;
  m_view.MaxX = z->view.MaxX;
  m_view.MinY = z->view.MinY;
  m_view.MaxY = z->view.MaxY;
  m_zoom = z->zoom;
  m_large = true;
  layoutChildren();
  setupScroll();
  DrawCurve();
}

void CurveGraph::setupScroll() {
  const ZoomScroll s = m_large ? zoomScroll(m_zoom, m_view.MinX) : ZoomScroll{};
  const QSignalBlocker quiet(m_scroll); // setting the range is not the user panning
  m_scroll->setRange(0, s.maximum);
  m_scroll->setValue(s.position);
}

void CurveGraph::panTo(int position) {
  if (!m_large || !(m_zoom.ZoomSpan >= 1))
    return;
  const XRange r = panRange(m_zoom, position);
  m_view.MinX = r.MinX;
  m_view.MaxX = r.MaxX;
  DrawCurve();
}

// ---- drawing --------------------------------------------------------------------------------

void CurveGraph::Initialize_DrawCurve() {
  const qreal dpr = devicePixelRatioF();
  const QSize sz = m_plot->size().expandedTo(QSize(1, 1));
  m_image = QImage(sz * dpr, QImage::Format_ARGB32_Premultiplied);
  m_image.setDevicePixelRatio(dpr);
  m_image.fill(colour(m_backColor));
  m_back = QImage();
  // The font's point size is taken as the text height in pixels.
  m_font = font();
  if (m_font.pointSizeF() > 0)
    m_font.setPixelSize(std::max(1, rounded(m_font.pointSizeF())));
  m_font.setWeight(font().bold() ? QFont::Bold : QFont::Normal);
}

bool CurveGraph::drawFrame(QImage& image) {
  const int W = m_plot->width(), H = m_plot->height();
  const int RM = graphRightMargin(m_view);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(QRect(0, 0, W, H), colour(m_backColor));

  const QColor axes = colour(m_axesColor);
  const QColor back = colour(m_backColor);
  p.setPen(QPen(axes, 1));
  p.drawLine(45, 40, 45, H - 50);
  p.drawLine(50, H - 45, W - RM, H - 45);
  if (m_view.ShowAxesY1 || m_view.ShowAxesY2)
    p.drawLine(W - RM + 5, H - 50, W - RM + 5, 40);
  if (m_view.ShowAxesY1 && m_view.ShowAxesY2)
    p.drawLine(W - RM / 2 + 5, H - 50, W - RM / 2 + 5, 40);

  p.setFont(m_font);
  const QFontMetrics fm(m_font);
  auto text = [&](double left, double top, const QString& s, const QColor& c) {
    const QRect cell(rounded(left), rounded(top), fm.horizontalAdvance(s), fm.height());
    p.fillRect(cell, back);
    p.setPen(c);
    p.drawText(cell.left(), cell.top() + fm.ascent(), s);
  };

  const double plotW = W - 50 - RM;
  const double plotH = H - 90;
  for (int i = 0; i <= 10; ++i) {
    const QString label = xLabelText(xLabelValue(m_view.MinX, m_view.MaxX, i), m_xBarType);
    const double x = plotW / 10 * i + 50;
    text(x - fm.horizontalAdvance(label) / 2.0, H - 38 + fm.height() / 2.0, label, axes);
    p.setPen(QPen(axes, 1));
    p.drawLine(QLineF(rounded(x), H - 45, rounded(x), H - 39));
  }

  // One Y axis: labels, ticks and unit caption. `labelLeft` < 0 means right-aligned at 34.
  auto yAxis = [&](int axis, const char* picture, double labelLeft, double tickFrom, double tickTo,
                   const QString& unit) {
    const size_t a = static_cast<size_t>(axis);
    for (int i = 0; i <= 10; ++i) {
      const double y = H - 50 - plotH / 10 * i;
      const QString label = Format((m_view.MaxY[a] - m_view.MinY[a]) / 10 * i + m_view.MinY[a],
                                   QString::fromLatin1(picture));
      const double left = labelLeft < 0 ? 34 - fm.horizontalAdvance(label) : labelLeft;
      text(left, y - fm.height() / 2.0, label, axes);
      p.setPen(QPen(axes, 1));
      p.drawLine(QLineF(rounded(tickFrom), rounded(y), rounded(tickTo), rounded(y)));
    }
    const double y = H - 50 - plotH / 10 * 10.5;
    const double left = labelLeft < 0 ? 34 - fm.horizontalAdvance(unit) : labelLeft;
    text(left, y - fm.height() / 2.0, unit, axes);
  };
  yAxis(0, "0.00", -1, 45, 39, QStringLiteral("[V]"));
  if (m_view.ShowAxesY1)
    yAxis(1, "0.00", W - RM + 16, W - RM + 5, W - RM + 11, m_axesY1Txt);
  if (m_view.ShowAxesY2) {
    const int R2 = m_view.ShowAxesY1 && m_view.ShowAxesY2 ? RM / 2 : RM;
    yAxis(2, "0.0", W - R2 + 16, W - R2 + 5, W - R2 + 11, m_axesY2Txt);
  }

  const QColor grid = colour(m_gridColor);
  auto gridLines = [&](int style, double firstY, double firstX) {
    p.setPen(gridPen(style, grid));
    const double stepY = plotH / 10 - 0.0001;
    const double stepX = plotW / 10 - 0.0001;
    if (stepY <= 0 || stepX <= 0)
      return;
    for (double y = firstY; y >= 40; y -= stepY)
      p.drawLine(50, rounded(y), W - RM, rounded(y));
    for (double x = firstX; x <= W - RM; x += stepX)
      p.drawLine(rounded(x), H - 50, rounded(x), 40);
  };
  gridLines(m_gridType2, (H - 50) - plotH / 20, 50 + plotW / 20);
  gridLines(m_gridType1, H - 50, 50);

  const QString mark = QStringLiteral("Maravo");
  text(W - RM - fm.horizontalAdvance(mark) - 5, 50, mark, grid);
  return true;
}

CurveGraph::FrameKey CurveGraph::frameKey(const QImage& image) const {
  return {image.size(),
          image.devicePixelRatio(),
          m_view,
          colour(m_backColor).rgba(),
          colour(m_axesColor).rgba(),
          colour(m_gridColor).rgba(),
          m_gridType1,
          m_gridType2,
          m_xBarType,
          m_axesY1Txt,
          m_axesY2Txt,
          m_font};
}

void CurveGraph::putFrame(QImage& image) {
  // Reports redraw the graph many times a second, while its axes move only now and then: the
  // labels and grid lines cost far more than the curves, so an unchanged frame is copied.
  FrameKey key = frameKey(image);
  if (!m_frame.isNull() && key == m_frameKey && m_frame.format() == image.format() &&
      m_frame.bytesPerLine() == image.bytesPerLine()) {
    std::memcpy(image.bits(), m_frame.constBits(), static_cast<size_t>(image.sizeInBytes()));
    return;
  }
  drawFrame(image);
  m_frame = image.copy();
  m_frameKey = std::move(key);
}

bool CurveGraph::render(QImage& image) {
  m_view.W = m_plot->width();
  m_view.H = m_plot->height();
  const GraphScales scales = graphScales(m_view);
  if (!scales.valid)
    return false;
  for (const auto& c : m_curves)
    if (c.show && !c.points.empty() && (c.axis < 0 || c.axis > 2))
      return false;
  putFrame(image);
  m_scales = scales;

  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  for (const auto& c : m_curves) {
    if (!c.show || c.points.empty())
      continue;
    const std::vector<QPoint> path =
        curvePolyline(c.points.data(), static_cast<qint64>(c.points.size()), m_view, scales, c.axis,
                      m_large, m_yStep);
    if (path.size() < 2)
      continue;
    const int width = std::max(1, m_line);
    const QColor lineColour = colour(c.colour);
    if (width <= 3 && image.devicePixelRatio() == 1 &&
        image.format() == QImage::Format_ARGB32_Premultiplied) {
      sweepPolyline(image, path, lineColour.rgba(), width);
    } else {
      QPen pen(lineColour, width);
      pen.setCapStyle(Qt::SquareCap);
      pen.setJoinStyle(Qt::BevelJoin);
      p.setPen(pen);
      for (size_t i = 1; i < path.size(); ++i)
        p.drawLine(path[i - 1], path[i]);
    }
  }
  return true;
}

void CurveGraph::present() {
  for (auto& c : m_curves) {
    c.legend->setVisible(c.showLegend);
    c.legend->raise();
  }
  m_title->raise();
  m_plot->update();
  notifyAccessibleValue(this, accessibleValueText());
}

void CurveGraph::DrawCurve() {
  syncLayout();
  const qreal dpr = devicePixelRatioF();
  const QSize sz = m_plot->size().expandedTo(QSize(1, 1)) * dpr;
  if (m_back.size() != sz) {
    m_back = QImage(sz, QImage::Format_ARGB32_Premultiplied);
    m_back.setDevicePixelRatio(dpr);
  }
  try {
    if (!render(m_back))
      return; // the picture on the screen stays as it was
  } catch (const std::exception&) {
    return;
  }
  std::swap(m_image, m_back);
  present();
}

void CurveGraph::ClearAll() {
  for (size_t i = 0; i < m_curves.size(); ++i)
    Clear(static_cast<int>(i));
  syncLayout();
  Initialize_DrawCurve();
  m_view.W = m_plot->width();
  m_view.H = m_plot->height();
  const GraphScales scales = graphScales(m_view);
  if (!scales.valid)
    return;
  QImage frame(m_image.size(), QImage::Format_ARGB32_Premultiplied);
  frame.setDevicePixelRatio(m_image.devicePixelRatio());
  drawFrame(frame);
  m_scales = scales;
  m_image = frame;
  m_plot->update();
}

} // namespace ondrel
