#include "widgets/lcdlayout.h"

#include "widgets/componenterror.h"

namespace ondrel {

const std::array<const char*, 18> kSegmentPatterns = {
    "1111110", "0110000", "1101101", "1111001", "0110011", "1011011",
    "1011111", "1110000", "1111111", "1111011", "0000000", "0000001",
    "1110111", "0011111", "1001110", "0111101", "1001111", "1000111"};

void normaliseSegmentSizes(LcdConfig& c) {
  auto even = [](int& v) {
    if (v % 2 != 0)
      ++v;
  };
  if (c.SegmentStyle == 0 || c.SegmentStyle == 1) {
    even(c.SegmentWidth);
    even(c.SegmentHeight);
  }
}

namespace {

struct PresetRow {
  int width, height, digits;
  const char* value;
  quint32 lit, litNeg, back;
  int yOffset, yOffsetExp;
};

constexpr quint32 kButtonFace = 0x8000000F;

PresetRow presetRow(LcdPreset p) {
  switch (p) {
  case LcdPreset::DevCtrlVol:
    return {83, 30, 4, "00.00", 0xFF0000, 0xFF0000, kButtonFace, 0, 0};
  case LcdPreset::DevCtrlCur:
    return {83, 30, 4, "00.00", 0x0000FF, 0x0000C0, kButtonFace, 0, 0};
  case LcdPreset::DevCtrlPwr:
    return {83, 30, 4, "000.0", 0x008080, 0x008080, kButtonFace, 0, 0};
  case LcdPreset::DevCtrlTime:
    return {123, 30, 4, "00:00E+00", 0x008080, 0x008080, kButtonFace, 0, 6};
  case LcdPreset::UsbVol:
    return {91, 30, 4, "00.00", 0xFF0000, 0xFF0000, kButtonFace, 1, 4};
  case LcdPreset::DispVol:
    return {83, 33, 4, "00.00", 0xFF0000, 0xFF0000, 0xE0E0E0, 3, 4};
  case LcdPreset::DispCur:
    return {83, 33, 4, "0.000", 0x0000FF, 0x0000C0, 0xE0E0E0, 3, 4};
  case LcdPreset::DispPwr:
    return {83, 33, 4, "00.00", 0x0080FF, 0x0080FF, 0xE0E0E0, 3, 4};
  case LcdPreset::DispD1:
    return {83, 33, 4, "0.000", 0x00C000, 0x00C000, 0xE0E0E0, 3, 4};
  case LcdPreset::DispD2:
    return {83, 33, 4, "0.000", 0xC0C000, 0xC0C000, 0xE0E0E0, 3, 4};
  case LcdPreset::MeterVol:
    return {107, 33, 5, "00.000", 0xFF0000, 0xFF0000, 0xE0E0E0, 3, 4};
  case LcdPreset::MeterCur:
    return {107, 33, 5, "0.0000", 0x0000FF, 0x0000C0, 0xE0E0E0, 3, 4};
  case LcdPreset::MeterPwr:
    return {107, 33, 5, "000.00", 0x0080FF, 0x0080FF, 0xE0E0E0, 3, 4};
  case LcdPreset::MeterD1:
    return {83, 33, 4, "0.000", 0x00C000, 0x00C000, 0xE0E0E0, 3, 4};
  case LcdPreset::MeterD2:
    return {83, 33, 4, "0.000", 0xC0C000, 0xC0C000, 0xE0E0E0, 3, 4};
  }
  return {83, 30, 4, "00.00", 0xFF0000, 0xFF0000, kButtonFace, 0, 0};
}

} // namespace

LcdConfig lcdPresetConfig(LcdPreset preset) {
  const PresetRow r = presetRow(preset);
  LcdConfig c;
  c.SegmentStyle = 0;
  c.SegmentWidth = 4;
  c.SegmentHeight = 12;
  c.SegmentHeightExp = 8;
  c.SegmentWidthExp = 4;
  c.BurnInColor = c.BurnInColorNeg = 0xE0E0E0;
  c.XOffset = 0;
  c.NumDigits = r.digits;
  c.Value = QString::fromLatin1(r.value);
  c.SegmentLitColor = r.lit;
  c.SegmentLitColorNeg = r.litNeg;
  c.BackColor1 = c.BackColor2 = c.BorderColor = r.back;
  c.YOffset = r.yOffset;
  c.NumDigitsExp = 0;
  c.YOffsetExp = r.yOffsetExp;
  if (preset == LcdPreset::DevCtrlTime) {
    c.NumDigitsExp = 2;
    c.SegmentStyleExp = 0;
    c.SegmentHeightExp = 9;
    c.InterDigitGapExp = 4;
    c.XOffsetExp = 88;
  }
  normaliseSegmentSizes(c);
  return c;
}

QSize lcdPresetSize(LcdPreset preset) {
  const PresetRow r = presetRow(preset);
  return {r.width, r.height};
}

LcdGroupGeometry lcdMainGeometry(const LcdConfig& c) {
  return {c.SegmentStyle, c.SegmentHeight, c.SegmentWidth, c.InterSegmentGap};
}

LcdGroupGeometry lcdExpGeometry(const LcdConfig& c) {
  return {c.SegmentStyleExp, c.SegmentHeightExp, c.SegmentWidthExp, c.InterSegmentGapExp};
}

QSize lcdCellSize(const LcdGroupGeometry& g) {
  switch (g.style) {
  case 0:
    return {g.H + g.W + 2 * g.G, 2 * g.H + g.W + 4 * g.G};
  case 1:
    return {g.H + 2 * g.G, 2 * g.H + 4 * g.G};
  default:
    return {g.H + 2 * g.W + 2 * g.G - 3, 2 * g.H + 3 * g.W + 4 * g.G - 4};
  }
}

namespace {

QPolygon poly(std::initializer_list<QPoint> points, QPoint at) {
  QPolygon p;
  for (const QPoint& pt : points)
    p << pt + at;
  return p;
}

// A w x h rectangle as a polygon that fills exactly w x h pixels.
QPolygon box(int x, int y, int w, int h) {
  return QPolygon({QPoint(x, y), QPoint(x + w, y), QPoint(x + w, y + h), QPoint(x, y + h)});
}

QPolygon verticalHexagon(int H, int W, QPoint at) {
  const int h = W / 2;
  return poly({{h, H}, {W, H - h}, {W, h - 1}, {h, -1}, {h - 1, 0}, {0, h - 1}, {0, H - h}}, at);
}

QPolygon horizontalHexagon(int H, int W, QPoint at) {
  const int h = W / 2;
  return poly(
      {{0, h}, {h, W}, {H - h, W}, {H, h}, {H, h - 1}, {H - h + 1, 0}, {h - 1, 0}, {0, h - 1}}, at);
}

} // namespace

std::array<QPolygon, 7> lcdSegmentShapes(const LcdGroupGeometry& g) {
  const int H = g.H, W = g.W, G = g.G, h = W / 2;
  std::array<QPolygon, 7> s;
  if (g.style == 0) {
    s[0] = horizontalHexagon(H, W, {h + G, 0});
    s[1] = verticalHexagon(H, W, {H + 2 * G, h + G});
    s[2] = verticalHexagon(H, W, {H + 2 * G, H + h + 3 * G});
    s[3] = horizontalHexagon(H, W, {h + G, 2 * H + 4 * G});
    s[4] = verticalHexagon(H, W, {0, H + h + 3 * G});
    s[5] = verticalHexagon(H, W, {0, h + G});
    s[6] = horizontalHexagon(H, W, {h + G, H + 2 * G});
  } else if (g.style == 1) {
    const int b = H < 2 * W ? H / 2 : W; // the bevel
    auto top = [&](QPoint at) { return poly({{0, 0}, {b, W}, {H - b, W}, {H, 0}}, at); };
    auto bottom = [&](QPoint at) {
      return poly({{b - 1, 0}, {-1, W}, {H + 1, W}, {H + 1 - b, 0}}, at);
    };
    auto right = [&](QPoint at) { return poly({{0, b - 1}, {0, H - b}, {W, H}, {W, -1}}, at); };
    auto left = [&](QPoint at) { return poly({{0, -1}, {0, H}, {W, H - b}, {W, b - 1}}, at); };
    s[0] = top({G, 0});
    s[1] = right({H + 2 * G - W, G});
    s[2] = right({H + 2 * G - W, H + 3 * G});
    s[3] = bottom({G, 2 * H + 4 * G - W});
    s[4] = left({0, H + 3 * G});
    s[5] = left({0, G});
    s[6] = horizontalHexagon(H, W, {G, H + 2 * G - h});
  } else {
    const int v = W - 1, l = H - 1; // bar thickness and length
    s[0] = box(W + G - 1, 0, l, v);
    s[1] = box(W + H + 2 * G - 2, W + G - 1, v, l);
    s[2] = box(W + H + 2 * G - 2, H + 2 * W + 3 * G - 3, v, l);
    s[3] = box(W + G - 1, 2 * H + 2 * W + 4 * G - 4, l, v);
    s[4] = box(0, H + 2 * W + 3 * G - 3, v, l);
    s[5] = box(0, W + G - 1, v, l);
    s[6] = box(W + G - 1, H + W + 2 * G - 2, l, v);
  }
  return s;
}

double leadingNumber(const QString& text) {
  int i = 0;
  const int n = text.size();
  while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
    ++i;
  bool negative = false;
  if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
    negative = text[i] == QLatin1Char('-');
    ++i;
  }
  double value = 0, scale = 0;
  for (; i < n; ++i) {
    const QChar c = text[i];
    if (c.isDigit()) {
      const int d = c.digitValue();
      if (scale == 0) {
        value = value * 10 + d;
      } else {
        value += d * scale;
        scale /= 10;
      }
    } else if (c == QLatin1Char('.') && scale == 0) {
      scale = 0.1;
    } else {
      break;
    }
  }
  return negative ? -value : value;
}

int lcdPatternIndex(QChar c, bool showBurnIn) {
  if (c == QLatin1Char(' '))
    return showBurnIn ? 10 : -1;
  if (c == QLatin1Char('-'))
    return 11;
  if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
    return 12 + (c.unicode() - 'A');
  if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
    return c.unicode() - '0';
  return 0; // a character without a numeric value reads as 0
}

LcdText layoutLcdText(const QString& value, const LcdConfig& c) {
  LcdText out;
  QString t = value.toUpper();
  if (t.startsWith(QLatin1Char('.')))
    t.prepend(QLatin1Char('0'));
  out.negative = leadingNumber(t) < 0;

  QString main = t;
  int p = t.indexOf(QLatin1String("E+"));
  if (p < 0)
    p = t.indexOf(QLatin1String("E-"));
  if (p >= 0) {
    out.hasExponent = true;
    main = t.left(p);
    QString digits = t.mid(p + 2);
    const int width = t.contains(QLatin1Char(':')) ? c.NumDigitsExp : c.NumDigitsExp - 1;
    if (digits.size() < width)
      digits = QString(width - digits.size(), QLatin1Char('0')) + digits;
    out.exp = (t[p + 1] == QLatin1Char('-') ? QStringLiteral("-") : QStringLiteral(" ")) + digits;
  } else {
    out.exp = QString(c.NumDigitsExp, QLatin1Char(' '));
  }
  if (out.exp.size() > c.NumDigitsExp)
    out.exp = out.exp.right(c.NumDigitsExp);
  else if (out.exp.size() < c.NumDigitsExp)
    out.exp = QString(c.NumDigitsExp - out.exp.size(), QLatin1Char(' ')) + out.exp;

  const int n = c.NumDigits;
  if (c.ShowThousandsSeparator) {
    out.marks.fill(false, n);
    QString s = main;
    if (!s.contains(QLatin1Char('.')))
      s += QLatin1Char('.');
    const int padding = std::max(0, n - static_cast<int>(s.size()));
    s = QString(padding, QLatin1Char('0')) + s;
    const int pointPos = s.indexOf(QLatin1Char('.')) + 1; // 1-based
    int firstReal = padding + 1;
    if (firstReal <= s.size() && s[firstReal - 1] == QLatin1Char('-'))
      ++firstReal;
    const int group = std::max(1, c.ThousandsGrouping);
    for (int k = pointPos - (group + 1); k >= firstReal; k -= group)
      if (k >= 0 && k < n)
        out.marks[k] = true;
  }

  int t1 = main.indexOf(QLatin1Char('.'));
  if (t1 < 0)
    t1 = main.indexOf(QLatin1Char(','));
  if (t1 >= 0) {
    out.pointDigit = n - static_cast<int>(main.size()) + (t1 + 1) - 1;
    main.remove(t1, 1);
    if (out.pointDigit < 0)
      throw ComponentError::subscriptOutOfRange();
  }
  const int a = main.indexOf(QLatin1Char(':'));
  if (a >= 0) {
    out.colonDigit = n + (a + 1) - static_cast<int>(main.size()) - 1;
    main.remove(a, 1);
    if (out.colonDigit < 0)
      throw ComponentError::subscriptOutOfRange();
  }
  if (main.size() > n)
    main = main.right(n);
  else
    main = QString(n - main.size(), QLatin1Char(' ')) + main;
  out.main = main;
  return out;
}

QString lcdShownText(const LcdText& text, const LcdConfig& c) {
  QString s;
  for (int i = 0; i < text.main.size(); ++i) {
    s += text.main[i];
    if (i == text.pointDigit)
      s += QLatin1Char('.');
    if (i == text.colonDigit)
      s += QLatin1Char(':');
  }
  s = s.trimmed();
  if (text.hasExponent && c.ShowExponent && c.NumDigitsExp > 0) {
    const QString e = text.exp.trimmed();
    if (text.colonDigit >= 0)
      s += QLatin1Char(':') + e;
    else
      s += QLatin1Char('E') + (e.startsWith(QLatin1Char('-')) ? e : QLatin1Char('+') + e);
  }
  return s;
}

int lcdDigitLeft(const LcdConfig& c, int digit, bool exponent) {
  if (exponent)
    return c.BorderWidth + c.XOffsetExp +
           digit * (lcdCellSize(lcdExpGeometry(c)).width() + c.InterDigitGapExp);
  return c.BorderWidth + c.XOffset +
         digit * (lcdCellSize(lcdMainGeometry(c)).width() + c.InterDigitGap);
}

QRect lcdPointRect(const LcdConfig& c, int digit) {
  const QSize cell = lcdCellSize(lcdMainGeometry(c));
  const int W = c.SegmentWidth;
  const int x = lcdDigitLeft(c, digit, false) + cell.width() + c.InterDigitGap / 2 - W / 2;
  int y = c.YOffset + cell.height() - W + 1;
  if (c.SegmentStyle == 2)
    y -= 1;
  return {x, y, W, W};
}

QPolygon lcdSlantedMark(const LcdConfig& c, int digit) {
  const QSize cell = lcdCellSize(lcdMainGeometry(c));
  const int W = c.SegmentWidth, H = c.SegmentHeight, Y = c.YOffset;
  const QPoint at(lcdDigitLeft(c, digit, false) + cell.width() - W, Y + cell.height() - W - 1);
  return poly({{H / 2, Y - W}, {H / 2 + W, Y - W}, {W, Y - W + H}, {0, Y - W + H}}, at);
}

std::array<QRect, 2> lcdColonRects(const LcdConfig& c, int digit) {
  const QSize cell = lcdCellSize(lcdMainGeometry(c));
  const int W = c.SegmentWidth, H = c.SegmentHeight;
  const int x = lcdDigitLeft(c, digit, false) + cell.width() + c.InterDigitGap / 2 - W / 2 + 1;
  const int y = c.YOffset + H / 2 + W / 2;
  return {QRect(x, y, W, W), QRect(x, y + H, W, W)};
}

} // namespace ondrel
