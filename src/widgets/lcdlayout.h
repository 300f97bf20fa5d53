#pragma once

#include <QImage>
#include <QPolygon>
#include <QSize>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <array>

namespace ondrel {

// Everything that describes one seven-segment readout. Field names are the readout's property
// names; LCDisp exposes each of them through a getter and a setter.
struct LcdConfig {
  QString Value = QStringLiteral("1234567890");
  int NumDigits = 20;
  int NumDigitsExp = 4;
  bool ShowExponent = true;
  int SegmentStyle = 2, SegmentStyleExp = 2; // 0 hexagons, 1 trapezoids, 2 rectangles
  int SegmentHeight = 8, SegmentHeightExp = 6;
  int SegmentWidth = 3, SegmentWidthExp = 3;
  int InterSegmentGap = 0, InterSegmentGapExp = 0;
  int InterDigitGap = 6, InterDigitGapExp = 2;
  int XOffset = 5, YOffset = 5;
  int XOffsetExp = 355, YOffsetExp = 5;
  quint32 SegmentLitColor = 0xFFFF00, SegmentLitColorNeg = 0xFFFF00;
  bool ShowBurnIn = true;
  quint32 BurnInColor = 0x505000, BurnInColorNeg = 0x505000;
  int SegmentFillStyle = 1; // 0 outline, 1 solid, 2 shaded (lit segments only)
  quint32 Seg3DColor1 = 0, Seg3DColor2 = 0xC0C0C0;
  bool Seg3DMiddleOut = true;
  float Seg3DAngle = 90;
  int DecimalSeparator = 1; // 0 slanted mark in the digit's corner, 1 square dot in the gap
  bool ShowThousandsSeparator = false;
  int ThousandsGrouping = 3;
  int ThousandsSeparator = 0;
  quint32 BackColor1 = 0, BackColor2 = 0;
  float BackAngle = 90;
  bool BackMiddleOut = true;
  QImage Picture;
  int PictureMode = 0; // 0 as is, 1 stretched, 2 tiled
  quint32 BorderColor = 0xFF0000;
  qint16 BorderWidth = 1;
  int CurveTopLeft = 0, CurveTopRight = 0, CurveBottomLeft = 0, CurveBottomRight = 0;
  int Theme = 5;
};

// Hexagon and trapezoid segments of the main group need even sizes; stored odd ones are raised
// by one. The exponent group keeps its sizes: raised, the time readout's seconds would reach
// below its border.
void normaliseSegmentSizes(LcdConfig& config);

// The readouts the program places in its windows, each with its stored look and size.
enum class LcdPreset {
  DevCtrlVol,  // device panel: voltage "00.00"
  DevCtrlCur,  // device panel: current "00.00"
  DevCtrlPwr,  // device panel: power "000.0"
  DevCtrlTime, // device panel: time, hh:mm large and ss small ("00:00E+00")
  UsbVol,      // USB trigger window: voltage
  DispVol,     // big readout window: voltage, current, power, capacity, energy
  DispCur,
  DispPwr,
  DispD1,
  DispD2,
  MeterVol, // USB meter window: voltage, current, power, D+, D-
  MeterCur,
  MeterPwr,
  MeterD1,
  MeterD2,
};
LcdConfig lcdPresetConfig(LcdPreset preset);
QSize lcdPresetSize(LcdPreset preset);

// One group of digits (main or exponent) in pixels.
struct LcdGroupGeometry {
  int style = 2;
  int H = 8; // segment length
  int W = 3; // segment thickness
  int G = 0; // gap between segments
};
LcdGroupGeometry lcdMainGeometry(const LcdConfig& config);
LcdGroupGeometry lcdExpGeometry(const LcdConfig& config);

QSize lcdCellSize(const LcdGroupGeometry& g);

// The seven segments a..g of a digit, placed relative to the digit's top-left corner.
std::array<QPolygon, 7> lcdSegmentShapes(const LcdGroupGeometry& g);
// True when segment s (0 = a … 6 = g) lies horizontally (a, d, g).
inline bool lcdSegmentHorizontal(int s) {
  return s == 0 || s == 3 || s == 6;
}

// "1" lit, "0" unlit, segments in the order a b c d e f g.
extern const std::array<const char*, 18> kSegmentPatterns;

// The pattern index for one (upper-case) character, or -1 when the cell stays empty.
int lcdPatternIndex(QChar c, bool showBurnIn);

// The numeric value at the start of a text, read as far as it is a number ("-1.25V" → -1.25).
double leadingNumber(const QString& text);

// How one text falls onto the cells of a readout.
struct LcdText {
  QString main; // exactly NumDigits characters, point and colon removed
  QString exp;  // exactly NumDigitsExp characters
  bool hasExponent = false;
  int pointDigit = -1; // a point after this main cell, -1 none
  int colonDigit = -1; // a colon after this main cell, -1 none
  QVector<bool> marks; // a thousands mark after main cell i (empty unless shown)
  bool negative = false;
};
// Throws ComponentError when a point or colon would fall left of the first cell.
LcdText layoutLcdText(const QString& value, const LcdConfig& config);

// The text a reader sees on the cells: "12.34", "01:02:03" for a time with its seconds small.
QString lcdShownText(const LcdText& text, const LcdConfig& config);

// Pixel geometry of a laid-out readout.
int lcdDigitLeft(const LcdConfig& config, int digit, bool exponent);
QRect lcdPointRect(const LcdConfig& config, int digit);      // square dot after `digit`
QPolygon lcdSlantedMark(const LcdConfig& config, int digit); // slanted mark in `digit`
std::array<QRect, 2> lcdColonRects(const LcdConfig& config, int digit);

} // namespace ondrel
