#include "widgets/lcdisp.h"

#include "widgets/accessibility.h"
#include "widgets/colour.h"
#include "widgets/componenterror.h"

#include <QAccessible>
#include <QEvent>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace ondrel {

namespace {

// A rectangle whose four corners are rounded with their own radii.
QPainterPath roundedOutline(const QRectF& r, qreal tl, qreal tr, qreal br, qreal bl) {
  auto clampR = [&](qreal v) {
    return std::clamp<qreal>(v, 0, std::min(r.width(), r.height()) / 2);
  };
  tl = clampR(tl), tr = clampR(tr), br = clampR(br), bl = clampR(bl);
  QPainterPath path;
  path.moveTo(r.left() + tl, r.top());
  path.lineTo(r.right() - tr, r.top());
  if (tr > 0)
    path.arcTo(QRectF(r.right() - 2 * tr, r.top(), 2 * tr, 2 * tr), 90, -90);
  path.lineTo(r.right(), r.bottom() - br);
  if (br > 0)
    path.arcTo(QRectF(r.right() - 2 * br, r.bottom() - 2 * br, 2 * br, 2 * br), 0, -90);
  path.lineTo(r.left() + bl, r.bottom());
  if (bl > 0)
    path.arcTo(QRectF(r.left(), r.bottom() - 2 * bl, 2 * bl, 2 * bl), 270, -90);
  path.lineTo(r.left(), r.top() + tl);
  if (tl > 0)
    path.arcTo(QRectF(r.left(), r.top(), 2 * tl, 2 * tl), 180, -90);
  path.closeSubpath();
  return path;
}

// A linear blend from c1 to c2 between two points, mirrored about the middle when asked.
QLinearGradient blend(QPointF from, QPointF to, const QColor& c1, const QColor& c2,
                      bool middleOut) {
  QLinearGradient g(from, to);
  g.setColorAt(0, c1);
  if (middleOut) {
    g.setColorAt(0.5, c2);
    g.setColorAt(1, c1);
  } else {
    g.setColorAt(1, c2);
  }
  return g;
}

} // namespace

LCDisp::LCDisp(QWidget* parent) : QWidget(parent) {
  installComponentAccessibility();
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(sizeHint());
  build();
}

LCDisp::LCDisp(LcdPreset preset, QWidget* parent) : QWidget(parent) {
  installComponentAccessibility();
  setAttribute(Qt::WA_OpaquePaintEvent);
  m_cfg = lcdPresetConfig(preset);
  const QSize size = lcdPresetSize(preset);
  setFixedSize(size);
  build();
}

void LCDisp::setConfig(const LcdConfig& config) {
  const LcdConfig old = m_cfg;
  m_cfg = config;
  normaliseSegmentSizes(m_cfg);
  if (m_cfg.NumDigits < 1 || m_cfg.NumDigits > 50 || m_cfg.NumDigitsExp < 0 ||
      m_cfg.NumDigitsExp > 5) {
    m_cfg = old;
    throw ComponentError::invalidValue();
  }
  build();
}

void LCDisp::setValue(const QString& value) {
  // Reports repeat most values: a text already laid out for this look costs nothing again.
  if (m_valueFits && value == m_cfg.Value)
    return;
  const LcdText lay = layoutLcdText(value, m_cfg); // may throw: nothing changed yet
  m_valueFits = true;
  if (value == m_cfg.Value)
    return;
  m_cfg.Value = value;
  showText(lay);
  requestDraw(false);
}

// The picture is a cache of the value: bringing it up to date changes nothing a caller can see
// but the pixels that the value already stands for.
const QImage& LCDisp::surface() const {
  const_cast<LCDisp*>(this)->drawPendingValue();
  return m_surface;
}

int LCDisp::cellsDrawnLastTime() const {
  const_cast<LCDisp*>(this)->drawPendingValue();
  return m_cellsDrawn;
}

void LCDisp::showText(const LcdText& lay) {
  // A reader hears the new text at once, whether or not it has been drawn yet.
  const QString shownText = lcdShownText(lay, m_cfg);
  if (shownText != m_shownText) {
    m_shownText = shownText;
    notifyAccessibleValue(this, m_shownText);
  }
}

void LCDisp::requestDraw(bool forced) {
  m_drawPending = true;
  m_drawForced = m_drawForced || forced;
  update(); // nothing while hidden: showing the widget paints it whole
}

void LCDisp::drawPendingValue() {
  if (!m_drawPending)
    return;
  m_drawPending = false;
  const bool forced = m_drawForced;
  m_drawForced = false;
  try {
    displayValue(forced);
  } catch (const ComponentError&) {
    // The stored text does not fit the layout: the readout stays blank until the next value.
  }
}

void LCDisp::setNumDigits(int n) {
  if (n < 1 || n > 50)
    throw ComponentError::invalidValue();
  m_cfg.NumDigits = n;
  build();
}

void LCDisp::setNumDigitsExp(int n) {
  if (n < 0 || n > 5)
    throw ComponentError::invalidValue();
  m_cfg.NumDigitsExp = n;
  build();
}

QSize LCDisp::sizeHint() const {
  const QSize cell = lcdCellSize(lcdMainGeometry(m_cfg));
  int w = lcdDigitLeft(m_cfg, m_cfg.NumDigits, false) + m_cfg.BorderWidth;
  if (m_cfg.ShowExponent && m_cfg.NumDigitsExp > 0)
    w = std::max(w, lcdDigitLeft(m_cfg, m_cfg.NumDigitsExp, true) + m_cfg.BorderWidth);
  return {w, m_cfg.YOffset + cell.height() + 2 * m_cfg.BorderWidth + 2};
}

void LCDisp::changed(Effect effect) {
  switch (effect) {
  case StoreOnly:
    return;
  case Redraw:
    requestDraw(true);
    return;
  case Background:
    paintBackground();
    requestDraw(true);
    return;
  case Rebuild:
    build();
    return;
  }
}

QColor LCDisp::colour(quint32 value) const {
  return toQColor(value, palette());
}

void LCDisp::build() {
  m_shapes = lcdSegmentShapes(lcdMainGeometry(m_cfg));
  m_shapesExp = lcdSegmentShapes(lcdExpGeometry(m_cfg));
  m_marks.clear();
  m_pointArea.clear();
  paintBackground();
  m_valueFits = false;
  try {
    showText(layoutLcdText(m_cfg.Value, m_cfg));
    m_valueFits = true;
  } catch (const ComponentError&) {
    // The stored text does not fit the new layout: the readout stays blank until the next value.
  }
  requestDraw(true);
}

void LCDisp::paintBackground() {
  const qreal dpr = devicePixelRatioF();
  const QSize sz = size().isEmpty() ? QSize(1, 1) : size();
  m_surface = QImage(sz * dpr, QImage::Format_ARGB32_Premultiplied);
  m_surface.setDevicePixelRatio(dpr);
  m_surface.fill(Qt::transparent);
  {
    QPainter p(&m_surface);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF outer(0, 0, sz.width(), sz.height());
    const qreal bw = m_cfg.BorderWidth;
    const QPainterPath outerPath = roundedOutline(outer, m_cfg.CurveTopLeft, m_cfg.CurveTopRight,
                                                  m_cfg.CurveBottomRight, m_cfg.CurveBottomLeft);
    const QRectF innerRect = outer.adjusted(bw, bw, -bw, -bw);
    const QPainterPath innerPath =
        roundedOutline(innerRect, m_cfg.CurveTopLeft - bw, m_cfg.CurveTopRight - bw,
                       m_cfg.CurveBottomRight - bw, m_cfg.CurveBottomLeft - bw);
    p.fillPath(outerPath, colour(m_cfg.BorderColor));
    p.setClipPath(innerPath);
    if (!m_cfg.Picture.isNull()) {
      p.fillRect(innerRect, colour(m_cfg.BackColor1));
      switch (m_cfg.PictureMode) {
      case 1:
        p.drawImage(innerRect, m_cfg.Picture);
        break;
      case 2:
        p.drawTiledPixmap(innerRect, QPixmap::fromImage(m_cfg.Picture));
        break;
      default:
        p.setClipping(false);
        p.drawImage(QPointF(0, 0), m_cfg.Picture);
        break;
      }
    } else if (m_cfg.BackColor1 == m_cfg.BackColor2) {
      p.fillRect(innerRect, colour(m_cfg.BackColor1));
    } else {
      // The gradient runs along BackAngle (90 = top to bottom) through the whole inside.
      const qreal a = qDegreesToRadians(static_cast<qreal>(m_cfg.BackAngle));
      const QPointF c = innerRect.center();
      const qreal half =
          (std::abs(std::cos(a)) * innerRect.width() + std::abs(std::sin(a)) * innerRect.height()) /
          2;
      const QPointF d(std::cos(a) * half, std::sin(a) * half);
      p.fillRect(innerRect, blend(c - d, c + d, colour(m_cfg.BackColor1), colour(m_cfg.BackColor2),
                                  m_cfg.BackMiddleOut));
    }
    if (m_cfg.CurveTopLeft || m_cfg.CurveTopRight || m_cfg.CurveBottomLeft ||
        m_cfg.CurveBottomRight)
      setMask(QRegion(outerPath.toFillPolygon().toPolygon()));
    else
      clearMask();
  }
  m_background = m_surface.copy();
  m_shownMain.clear();
  m_shownExp.clear();
  m_pointArea.clear();
  m_marks.clear();
  update();
}

void LCDisp::restore(QPainter& p, const QRect& r) {
  const qreal dpr = m_surface.devicePixelRatio();
  const QRect src(QPointF(r.topLeft() * dpr).toPoint(), QSizeF(r.size() * dpr).toSize());
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(QRectF(r), m_background, QRectF(src));
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void LCDisp::drawCell(QPainter& p, bool exponent, int index, QChar ch) {
  const int pattern = lcdPatternIndex(ch, m_cfg.ShowBurnIn);
  if (pattern < 0)
    return; // the cell stays erased
  const LcdGroupGeometry g = exponent ? lcdExpGeometry(m_cfg) : lcdMainGeometry(m_cfg);
  const QPoint at(lcdDigitLeft(m_cfg, index, exponent),
                  exponent ? m_cfg.YOffsetExp : m_cfg.YOffset);
  const auto& shapes = exponent ? m_shapesExp : m_shapes;
  const char* bits = kSegmentPatterns[static_cast<size_t>(pattern)];
  for (int s = 0; s < 7; ++s) {
    const bool lit = bits[s] == '1';
    if (!lit && (!m_cfg.ShowBurnIn || m_cfg.SegmentFillStyle == 2))
      continue;
    const QColor c = lit ? m_lit : m_burnIn;
    const QPolygon shape = shapes[static_cast<size_t>(s)].translated(at);
    if (m_cfg.SegmentFillStyle == 0) {
      p.setPen(QPen(c, 1));
      p.setBrush(Qt::NoBrush);
      p.drawPolygon(shape);
    } else if (m_cfg.SegmentFillStyle == 2) {
      // Shaded across the segment's thickness.
      const QRectF b = shape.boundingRect();
      const bool horizontal = lcdSegmentHorizontal(s);
      const QPointF from = b.topLeft();
      const QPointF to =
          horizontal ? QPointF(b.left(), b.top() + g.W) : QPointF(b.left() + g.W, b.top());
      p.setPen(Qt::NoPen);
      p.setBrush(blend(from, to, colour(m_cfg.Seg3DColor1), colour(m_cfg.Seg3DColor2), true));
      p.drawPolygon(shape);
    } else {
      p.setPen(Qt::NoPen);
      p.setBrush(c);
      p.drawPolygon(shape);
    }
  }
}

void LCDisp::drawMark(QPainter& p, int digit, int kind) {
  p.setPen(Qt::NoPen);
  p.setBrush(m_lit);
  if (kind == 0)
    p.drawPolygon(lcdSlantedMark(m_cfg, digit));
  else
    p.fillRect(lcdPointRect(m_cfg, digit), m_lit);
}

void LCDisp::displayValue(bool forced) {
  const LcdText lay = layoutLcdText(m_cfg.Value, m_cfg); // may throw: nothing drawn yet
  if (lay.negative != m_lastNegative)
    forced = true;
  m_lastNegative = lay.negative;
  m_lit = colour(lay.negative ? m_cfg.SegmentLitColorNeg : m_cfg.SegmentLitColor);
  m_burnIn = colour(lay.negative ? m_cfg.BurnInColorNeg : m_cfg.BurnInColor);
  if (forced) {
    m_shownMain.clear();
    m_shownExp.clear();
  }

  auto markArea = [this](int digit, int kind) {
    return kind == 0 ? lcdSlantedMark(m_cfg, digit).boundingRect().adjusted(-1, -1, 1, 1)
                     : lcdPointRect(m_cfg, digit);
  };

  QPainter p(&m_surface);
  p.setRenderHint(QPainter::Antialiasing, false);

  // Take away the marks of the last value; cells under them are drawn again below.
  QVector<QRect> restored = m_pointArea;
  for (int i = 0; i < m_marks.size(); ++i)
    if (m_marks[i])
      restored << markArea(i, m_cfg.ThousandsSeparator);
  for (const QRect& r : restored) {
    restore(p, r);
  }

  auto cellArea = [this](bool exponent, int i) {
    const LcdGroupGeometry g = exponent ? lcdExpGeometry(m_cfg) : lcdMainGeometry(m_cfg);
    const QSize cell = lcdCellSize(g);
    const int x = lcdDigitLeft(m_cfg, i, exponent);
    if (g.style == 0) // hexagons reach one pixel above the cell: take the whole column
      return QRect(x, m_cfg.BorderWidth, cell.width(), height() - 2 * m_cfg.BorderWidth);
    const QRect r(x, exponent ? m_cfg.YOffsetExp : m_cfg.YOffset, cell.width(), cell.height());
    return g.style == 1 ? r.adjusted(-1, -1, 1, 1) : r;
  };

  m_cellsDrawn = 0;
  auto drawGroup = [&](bool exponent, const QString& text, QString& shown) {
    for (int i = 0; i < text.size(); ++i) {
      const QRect area = cellArea(exponent, i);
      bool redraw = shown.size() != text.size() || shown[i] != text[i];
      for (const QRect& r : restored)
        redraw = redraw || r.intersects(area);
      if (!redraw)
        continue;
      restore(p, area);
      drawCell(p, exponent, i, text[i]);
      ++m_cellsDrawn;
    }
    shown = text;
  };
  drawGroup(false, lay.main, m_shownMain);
  if (m_cfg.ShowExponent)
    drawGroup(true, lay.exp, m_shownExp);

  m_pointArea.clear();
  if (lay.pointDigit >= 0) {
    drawMark(p, lay.pointDigit, m_cfg.DecimalSeparator);
    m_pointArea << markArea(lay.pointDigit, m_cfg.DecimalSeparator);
  }
  if (lay.colonDigit >= 0) {
    for (const QRect& r : lcdColonRects(m_cfg, lay.colonDigit)) {
      p.fillRect(r, m_lit);
      m_pointArea << r;
    }
  }
  m_marks = lay.marks;
  for (int i = 0; i < m_marks.size(); ++i)
    if (m_marks[i])
      drawMark(p, i, m_cfg.ThousandsSeparator);
  p.end();
  showText(lay);
}

void LCDisp::paintEvent(QPaintEvent* event) {
  drawPendingValue();
  QPainter p(this);
  const qreal dpr = m_surface.devicePixelRatio();
  for (const QRect& r : event->region()) {
    const QRectF src(QPointF(r.topLeft()) * dpr, QSizeF(r.size()) * dpr);
    p.drawImage(QRectF(r), m_surface, src);
  }
}

void LCDisp::resizeEvent(QResizeEvent*) {
  paintBackground();
  requestDraw(true);
}

void LCDisp::changeEvent(QEvent* event) {
  // System colours follow the platform palette; a new screen may bring a new pixel ratio.
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ScreenChangeInternal)
    build();
  QWidget::changeEvent(event);
}

} // namespace ondrel
