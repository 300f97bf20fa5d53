#include "widgets/colour.h"
#include "widgets/componenterror.h"
#include "widgets/lcdisp.h"

#include <QAccessible>
#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

// Reads the seven segments of a cell from the picture: '1' lit, '0' burn-in, '.' background.
QString segmentsAt(const LCDisp& d, int digit, bool exponent = false) {
  const LcdConfig& c = d.config();
  const auto shapes = lcdSegmentShapes(exponent ? lcdExpGeometry(c) : lcdMainGeometry(c));
  const QPoint at(lcdDigitLeft(c, digit, exponent), exponent ? c.YOffsetExp : c.YOffset);
  const QColor lit = toQColor(d.Value().startsWith('-') ? c.SegmentLitColorNeg : c.SegmentLitColor);
  const QColor burn = toQColor(d.Value().startsWith('-') ? c.BurnInColorNeg : c.BurnInColor);
  QString out;
  for (const QPolygon& s : shapes) {
    const QColor px = d.surface().pixelColor(s.boundingRect().center() + at);
    out += px == lit ? '1' : px == burn ? '0' : '.';
  }
  return out;
}

QString pattern(int index) {
  return QString::fromLatin1(kSegmentPatterns[index]);
}

bool pointLit(const LCDisp& d, int digit) {
  const QRect r = lcdPointRect(d.config(), digit);
  return d.surface().pixelColor(r.center()) == toQColor(d.config().SegmentLitColor);
}

} // namespace

TEST(LcdLayout, CellSizesOfTheThreeStyles) {
  EXPECT_EQ(lcdCellSize({0, 12, 4, 0}), QSize(16, 28));
  EXPECT_EQ(lcdCellSize({1, 12, 4, 1}), QSize(14, 28));
  EXPECT_EQ(lcdCellSize({2, 8, 3, 0}), QSize(11, 21));
}

TEST(LcdLayout, SegmentShapesStayInsideTheirCell) {
  for (int style = 0; style <= 2; ++style) {
    const LcdGroupGeometry g{style, 12, 4, 1};
    const QRect cell(QPoint(0, -1), lcdCellSize(g) + QSize(1, 2));
    for (const QPolygon& s : lcdSegmentShapes(g))
      EXPECT_TRUE(cell.adjusted(-1, 0, 1, 0).contains(s.boundingRect())) << style;
  }
  // Style 2 rectangles: a at (W + G - 1, 0), H - 1 long and W - 1 thick.
  const auto s = lcdSegmentShapes({2, 8, 3, 0});
  EXPECT_EQ(s[0].boundingRect(), QRect(2, 0, 8, 3)); // polygon bounds include the far edge
}

TEST(LcdLayout, CharactersToPatterns) {
  EXPECT_EQ(lcdPatternIndex(' ', true), 10);
  EXPECT_EQ(lcdPatternIndex(' ', false), -1);
  EXPECT_EQ(lcdPatternIndex('-', true), 11);
  EXPECT_EQ(lcdPatternIndex('A', true), 12);
  EXPECT_EQ(lcdPatternIndex('F', true), 17);
  EXPECT_EQ(lcdPatternIndex('7', true), 7);
  EXPECT_EQ(lcdPatternIndex('X', true), 0);
}

TEST(LcdLayout, TextsFallOntoCells) {
  LcdConfig c = lcdPresetConfig(LcdPreset::DevCtrlVol);
  struct Case {
    const char* value;
    const char* main;
    int point;
    bool negative;
  } cases[] = {
      {"12.34", "1234", 1, false},  {"5", "   5", -1, false}, {"-1.25", "-125", 1, true},
      {"12345", "2345", -1, false}, {".5", "  05", 2, false}, {"-0.00", "-000", 1, false},
      {"x", "   X", -1, false},
  };
  for (const Case& k : cases) {
    const LcdText t = layoutLcdText(QString::fromLatin1(k.value), c);
    EXPECT_EQ(t.main, QString::fromLatin1(k.main)) << k.value;
    EXPECT_EQ(t.pointDigit, k.point) << k.value;
    EXPECT_EQ(t.negative, k.negative) << k.value;
  }
}

TEST(LcdLayout, TimeWithExponentGroup) {
  const LcdConfig c = lcdPresetConfig(LcdPreset::DevCtrlTime);
  const LcdText t = layoutLcdText(QStringLiteral("01:02E+03"), c);
  EXPECT_EQ(t.main, QStringLiteral("0102"));
  EXPECT_EQ(t.colonDigit, 1);
  EXPECT_EQ(t.exp, QStringLiteral("03"));
  EXPECT_EQ(lcdShownText(t, c), QStringLiteral("01:02:03"));
}

TEST(LcdLayout, ThousandsMarks) {
  LcdConfig c;
  c.NumDigits = 8;
  c.ShowThousandsSeparator = true;
  LcdText t = layoutLcdText(QStringLiteral("1234567"), c);
  EXPECT_EQ(t.marks, QVector<bool>({false, true, false, false, true, false, false, false}));
  t = layoutLcdText(QStringLiteral("-1234.5"), c);
  EXPECT_EQ(t.marks.indexOf(true), 3); // after the 1, not after the minus
  EXPECT_EQ(t.marks.count(true), 1);
  t = layoutLcdText(QStringLiteral("123"), c);
  EXPECT_EQ(t.marks.count(true), 0);
}

TEST(LcdLayout, PointLeftOfTheFirstCellIsAnError) {
  const LcdConfig c = lcdPresetConfig(LcdPreset::DevCtrlVol);
  try {
    layoutLcdText(QStringLiteral("1.2345"), c);
    FAIL() << "no error";
  } catch (const ComponentError& e) {
    EXPECT_EQ(e.code(), 9);
  }
}

TEST(LcdLayout, PresetsFitTheirSize) {
  for (int p = 0; p <= static_cast<int>(LcdPreset::MeterD2); ++p) {
    const auto preset = static_cast<LcdPreset>(p);
    const LcdConfig c = lcdPresetConfig(preset);
    const QSize size = lcdPresetSize(preset);
    const QSize cell = lcdCellSize(lcdMainGeometry(c));
    EXPECT_LE(lcdDigitLeft(c, c.NumDigits - 1, false) + cell.width(), size.width()) << p;
    EXPECT_LE(c.YOffset + cell.height(), size.height()) << p;
    if (c.NumDigitsExp > 0) {
      const QSize expCell = lcdCellSize(lcdExpGeometry(c));
      EXPECT_LE(lcdDigitLeft(c, c.NumDigitsExp - 1, true) + expCell.width(), size.width());
      // The small digits sit at the bottom right, above the border.
      EXPECT_LE(c.YOffsetExp + expCell.height(), size.height() - c.BorderWidth) << p;
      EXPECT_EQ(c.SegmentHeightExp, 9); // only the main group's sizes are raised to even
    }
  }
}

TEST(LCDisp, DrawsDigitsPointAndBurnIn) {
  LCDisp d(LcdPreset::DevCtrlVol);
  d.setValue(QStringLiteral("12.34"));
  EXPECT_EQ(segmentsAt(d, 0), pattern(1));
  EXPECT_EQ(segmentsAt(d, 1), pattern(2));
  EXPECT_EQ(segmentsAt(d, 2), pattern(3));
  EXPECT_EQ(segmentsAt(d, 3), pattern(4));
  EXPECT_TRUE(pointLit(d, 1));
  EXPECT_FALSE(pointLit(d, 0));

  d.setValue(QStringLiteral("5"));
  EXPECT_EQ(segmentsAt(d, 0), pattern(10)); // dim eight
  EXPECT_EQ(segmentsAt(d, 2), pattern(10));
  EXPECT_EQ(segmentsAt(d, 3), pattern(5));
  EXPECT_FALSE(pointLit(d, 1)); // the old point is erased

  d.setValue(QStringLiteral("12345"));
  EXPECT_EQ(segmentsAt(d, 0), pattern(2));
  EXPECT_EQ(segmentsAt(d, 3), pattern(5));

  d.setValue(QStringLiteral("X"));
  EXPECT_EQ(segmentsAt(d, 3), pattern(0));

  d.setShowBurnIn(false);
  d.setValue(QStringLiteral("5"));
  EXPECT_EQ(segmentsAt(d, 0), QStringLiteral("......."));
}

TEST(LCDisp, NegativeValueRedrawsEveryCellInItsColours) {
  LCDisp d(LcdPreset::DevCtrlCur);
  d.setValue(QStringLiteral("1.25"));
  d.setValue(QStringLiteral("-1.25"));
  EXPECT_EQ(d.cellsDrawnLastTime(), 4);
  EXPECT_EQ(segmentsAt(d, 0), pattern(11));
  EXPECT_EQ(segmentsAt(d, 1), pattern(1));
  EXPECT_EQ(d.surface().pixelColor(lcdPointRect(d.config(), 1).center()), toQColor(0x0000C0));
  d.setValue(QStringLiteral("1.25"));
  EXPECT_EQ(d.cellsDrawnLastTime(), 4);
  EXPECT_EQ(segmentsAt(d, 1), pattern(1));
  EXPECT_EQ(segmentsAt(d, 0), pattern(10));
}

TEST(LCDisp, ValueChangeRedrawsOnlyChangedCells) {
  LCDisp d(LcdPreset::DevCtrlVol);
  d.setValue(QStringLiteral("12.34"));
  d.surface(); // drawn, as at a paint
  d.setValue(QStringLiteral("12.35"));
  EXPECT_EQ(d.cellsDrawnLastTime(), 1);
  d.setValue(QStringLiteral("12.35"));
  EXPECT_FALSE(d.drawPending()); // the same text again draws nothing
  EXPECT_EQ(segmentsAt(d, 3), pattern(5));
}

TEST(LCDisp, ValuesWaitForThePaintAndShareOneDrawing) {
  QWidget window;
  auto* d = new LCDisp(LcdPreset::DevCtrlVol, &window);
  window.show();
  QCoreApplication::processEvents();
  ASSERT_FALSE(d->drawPending());

  // Hidden: nothing is drawn however many values arrive, while a reader hears each at once.
  window.hide();
  for (const char* v : {"01.23", "02.34", "03.45"}) {
    d->setValue(QString::fromLatin1(v));
    QCoreApplication::processEvents();
  }
  EXPECT_TRUE(d->drawPending());
  EXPECT_EQ(d->shownText(), QStringLiteral("03.45"));
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(d);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->text(QAccessible::Value), QStringLiteral("03.45"));

  // Shown again: one paint draws the latest value, and only the cells that changed since the
  // picture was last drawn ("00.00" then).
  window.show();
  QCoreApplication::processEvents();
  EXPECT_FALSE(d->drawPending());
  EXPECT_EQ(d->cellsDrawnLastTime(), 3);
  EXPECT_EQ(segmentsAt(*d, 1), pattern(3));
  EXPECT_EQ(segmentsAt(*d, 2), pattern(4));
  EXPECT_EQ(segmentsAt(*d, 3), pattern(5));
  const QImage onScreen = d->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
  EXPECT_EQ(onScreen, d->surface().convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

TEST(LCDisp, TimePresetShowsColonAndSmallSeconds) {
  LCDisp d(LcdPreset::DevCtrlTime);
  EXPECT_EQ(d.shownText(), QStringLiteral("00:00:00"));
  d.setValue(QStringLiteral("01:02E+03"));
  EXPECT_EQ(segmentsAt(d, 1), pattern(1));
  EXPECT_EQ(segmentsAt(d, 3), pattern(2));
  EXPECT_EQ(segmentsAt(d, 0, true), pattern(0));
  EXPECT_EQ(segmentsAt(d, 1, true), pattern(3));
  const QColor lit = toQColor(d.config().SegmentLitColor);
  for (const QRect& r : lcdColonRects(d.config(), 1))
    EXPECT_EQ(d.surface().pixelColor(r.center()), lit);
  EXPECT_EQ(d.shownText(), QStringLiteral("01:02:03"));

  // Eights light every segment of the seconds; none of them reaches the bottom border.
  d.setValue(QStringLiteral("00:00E+88"));
  ASSERT_EQ(segmentsAt(d, 1, true), pattern(8));
  const QImage& img = d.surface();
  const QColor border = toQColor(d.config().BorderColor);
  for (int y = img.height() - d.config().BorderWidth; y < img.height(); ++y)
    for (int x = lcdDigitLeft(d.config(), 0, true); x < img.width(); ++x)
      ASSERT_EQ(img.pixelColor(x, y), border) << x << "," << y;
}

TEST(LCDisp, ThousandsMarksDrawn) {
  LcdConfig c;
  c.NumDigits = 8;
  c.NumDigitsExp = 0;
  c.ShowThousandsSeparator = true;
  c.ThousandsSeparator = 1;
  LCDisp d;
  d.setConfig(c);
  d.resize(d.sizeHint());
  d.setValue(QStringLiteral("1234567"));
  EXPECT_TRUE(pointLit(d, 1));
  EXPECT_TRUE(pointLit(d, 4));
  EXPECT_FALSE(pointLit(d, 2));
  d.setValue(QStringLiteral("12"));
  EXPECT_FALSE(pointLit(d, 4));
}

TEST(LCDisp, RejectedValueKeepsThePicture) {
  LCDisp d(LcdPreset::DevCtrlVol);
  d.setValue(QStringLiteral("12.34"));
  const QImage before = d.surface().copy();
  EXPECT_THROW(d.setValue(QStringLiteral("1.2345")), ComponentError);
  EXPECT_EQ(d.Value(), QStringLiteral("12.34"));
  EXPECT_EQ(d.surface(), before);
  EXPECT_THROW(d.setNumDigits(51), ComponentError);
  EXPECT_THROW(d.setNumDigitsExp(6), ComponentError);

  // A look that no longer fits the stored text: the same text again is still refused.
  d.setValue(QStringLiteral("1.2"));
  d.setNumDigits(1);
  EXPECT_THROW(d.setValue(QStringLiteral("1.2")), ComponentError);
}

TEST(LCDisp, SystemColourBackgroundAndOtherStyles) {
  LCDisp d(LcdPreset::DevCtrlVol);
  EXPECT_EQ(d.surface().pixelColor(0, 0), toQColor(0x8000000F, d.palette()));
  d.setFixedSize(120, 40); // rectangles of this size need more room than the preset has
  for (int style = 0; style <= 2; ++style) {
    for (int fill = 0; fill <= 2; ++fill) {
      d.setSegmentStyle(style);
      d.setSegmentFillStyle(fill);
      d.setValue(QStringLiteral("8.8"));
      if (fill == 1) {
        EXPECT_EQ(segmentsAt(d, 3), pattern(8)) << style;
      }
    }
  }
  d.setCurveTopLeft(8);
  EXPECT_FALSE(d.mask().contains(QPoint(0, 0)));
  EXPECT_TRUE(d.mask().contains(QPoint(40, 15)));
}

TEST(LCDisp, AccessibleValueIsTheShownText) {
  LCDisp d(LcdPreset::DevCtrlVol);
  d.setValue(QStringLiteral("12.34"));
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&d);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->text(QAccessible::Value), QStringLiteral("12.34"));
}
