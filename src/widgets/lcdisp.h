#pragma once

#include "widgets/lcdlayout.h"

#include <QImage>
#include <QWidget>

namespace ondrel {

// A numeric readout in the look of a seven-segment LCD. The host sets `Value` (and the lit
// colours from the user's settings); the rest of the look comes from an LcdConfig, normally one
// of the program's presets. A new value is drawn at the widget's next paint, and then only the
// cells whose character changed: a readout that cannot be seen does no drawing, and several
// values between two paints cost one drawing of the latest.
class LCDisp : public QWidget {
  Q_OBJECT

public:
  explicit LCDisp(QWidget* parent = nullptr);
  // A readout of one of the program's windows, at its size, showing its design value.
  explicit LCDisp(LcdPreset preset, QWidget* parent = nullptr);

  const LcdConfig& config() const { return m_cfg; }
  // Replaces the whole look and redraws everything.
  void setConfig(const LcdConfig& config);

  QString Value() const { return m_cfg.Value; }
  // Shows a new text. Throws ComponentError (and shows nothing new) when a point or colon would
  // fall left of the first cell.
  void setValue(const QString& value);

  // What the cells show, as a reader would say it ("12.34", "01:02:03").
  QString shownText() const { return m_shownText; }

  // The off-screen picture of the readout showing the latest value (in device pixels); a value
  // not drawn yet is drawn first.
  const QImage& surface() const;
  // Number of digit cells drawn by the last drawing, which brings the picture up to the latest
  // value first (for checks of incremental redraw).
  int cellsDrawnLastTime() const;
  // A value waits for the next paint.
  bool drawPending() const { return m_drawPending; }

#define ONDREL_LCD_PROPERTY(Type, Name, Effect)                                                    \
  Type Name() const {                                                                              \
    return m_cfg.Name;                                                                             \
  }                                                                                                \
  void set##Name(Type v) {                                                                         \
    m_cfg.Name = v;                                                                                \
    changed(Effect);                                                                               \
  }
  ONDREL_LCD_PROPERTY(bool, ShowExponent, Rebuild)
  ONDREL_LCD_PROPERTY(int, SegmentStyle, Rebuild)
  ONDREL_LCD_PROPERTY(int, SegmentStyleExp, Rebuild)
  ONDREL_LCD_PROPERTY(int, SegmentHeight, Rebuild)
  ONDREL_LCD_PROPERTY(int, SegmentHeightExp, Rebuild)
  ONDREL_LCD_PROPERTY(int, SegmentWidth, Rebuild)
  ONDREL_LCD_PROPERTY(int, SegmentWidthExp, Rebuild)
  ONDREL_LCD_PROPERTY(int, InterSegmentGap, Rebuild)
  ONDREL_LCD_PROPERTY(int, InterSegmentGapExp, Rebuild)
  ONDREL_LCD_PROPERTY(int, InterDigitGap, Rebuild)
  ONDREL_LCD_PROPERTY(int, InterDigitGapExp, Rebuild)
  ONDREL_LCD_PROPERTY(int, XOffset, Rebuild)
  ONDREL_LCD_PROPERTY(int, YOffset, Rebuild)
  ONDREL_LCD_PROPERTY(int, XOffsetExp, Rebuild)
  ONDREL_LCD_PROPERTY(int, YOffsetExp, Rebuild)
  ONDREL_LCD_PROPERTY(quint32, SegmentLitColor, Rebuild)
  ONDREL_LCD_PROPERTY(quint32, SegmentLitColorNeg, Rebuild)
  ONDREL_LCD_PROPERTY(bool, ShowBurnIn, Rebuild)
  ONDREL_LCD_PROPERTY(quint32, BurnInColor, Rebuild)
  ONDREL_LCD_PROPERTY(quint32, BurnInColorNeg, Rebuild)
  ONDREL_LCD_PROPERTY(int, SegmentFillStyle, Rebuild)
  ONDREL_LCD_PROPERTY(quint32, Seg3DColor1, Rebuild)
  ONDREL_LCD_PROPERTY(quint32, Seg3DColor2, Rebuild)
  ONDREL_LCD_PROPERTY(bool, Seg3DMiddleOut, StoreOnly)
  ONDREL_LCD_PROPERTY(float, Seg3DAngle, StoreOnly)
  ONDREL_LCD_PROPERTY(int, DecimalSeparator, Rebuild)
  ONDREL_LCD_PROPERTY(bool, ShowThousandsSeparator, Rebuild)
  ONDREL_LCD_PROPERTY(int, ThousandsGrouping, Redraw)
  ONDREL_LCD_PROPERTY(int, ThousandsSeparator, Rebuild)
  ONDREL_LCD_PROPERTY(quint32, BackColor1, Background)
  ONDREL_LCD_PROPERTY(quint32, BackColor2, Background)
  ONDREL_LCD_PROPERTY(float, BackAngle, Background)
  ONDREL_LCD_PROPERTY(bool, BackMiddleOut, Background)
  ONDREL_LCD_PROPERTY(QImage, Picture, Rebuild)
  ONDREL_LCD_PROPERTY(int, PictureMode, Rebuild)
  ONDREL_LCD_PROPERTY(quint32, BorderColor, Background)
  ONDREL_LCD_PROPERTY(qint16, BorderWidth, Background)
  ONDREL_LCD_PROPERTY(int, CurveTopLeft, Background)
  ONDREL_LCD_PROPERTY(int, CurveTopRight, Background)
  ONDREL_LCD_PROPERTY(int, CurveBottomLeft, Background)
  ONDREL_LCD_PROPERTY(int, CurveBottomRight, Background)
  ONDREL_LCD_PROPERTY(int, Theme, StoreOnly)
#undef ONDREL_LCD_PROPERTY

  int NumDigits() const {
    return m_cfg.NumDigits;
  }
  int NumDigitsExp() const {
    return m_cfg.NumDigitsExp;
  }
  // 1..50 and 0..5 cells; other counts are rejected with ComponentError (code 380).
  void setNumDigits(int n);
  void setNumDigitsExp(int n);

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  enum Effect { StoreOnly, Redraw, Background, Rebuild };
  void changed(Effect effect);
  void build();
  void paintBackground();
  // Tells a reader what the cells show once `lay` is drawn.
  void showText(const LcdText& lay);
  // The value is drawn at the next paint (every cell when forced).
  void requestDraw(bool forced);
  // Draws a value that waits; a stored text that does not fit leaves the readout blank.
  void drawPendingValue();
  void displayValue(bool forced);
  void restore(QPainter& p, const QRect& r);
  void drawCell(QPainter& p, bool exponent, int index, QChar ch);
  void drawMark(QPainter& p, int digit, int kind);
  QColor colour(quint32 value) const;

  LcdConfig m_cfg;
  QImage m_surface;
  QImage m_background;
  std::array<QPolygon, 7> m_shapes;
  std::array<QPolygon, 7> m_shapesExp;
  QColor m_lit, m_burnIn;
  QString m_shownMain, m_shownExp; // what the cells show now; empty means "redraw all"
  bool m_lastNegative = false;
  QVector<QRect> m_pointArea; // places of the last point and colon marks
  QVector<bool> m_marks;      // thousands marks now shown
  QString m_shownText;
  int m_cellsDrawn = 0;
  bool m_valueFits = false; // the stored text fits the look (a build may leave it not fitting)
  bool m_drawPending = false;
  bool m_drawForced = false;
};

} // namespace ondrel
