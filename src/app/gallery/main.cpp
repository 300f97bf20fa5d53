// ondrel-gallery DIR: renders the display components in telling states to PNG files, so that
// their look can be checked by eye without a device.
#include "widgets/curvegraph.h"
#include "widgets/lcdisp.h"
#include "widgets/progressmath.h"
#include "widgets/ucprogressbar.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTextStream>

#include <cmath>

using namespace ondrel;

namespace {

bool save(QWidget& w, const QDir& dir, const QString& name) {
  const QString path = dir.filePath(name + QStringLiteral(".png"));
  if (!w.grab().save(path)) {
    QTextStream(stderr) << "cannot write " << path << '\n';
    return false;
  }
  return true;
}

// Several readouts side by side on one sheet, each under its name.
bool saveReadouts(const QDir& dir, const QString& name,
                  const QList<QPair<LcdPreset, QString>>& items) {
  QWidget sheet;
  sheet.setAutoFillBackground(true);
  int y = 5, width = 0;
  const QStringList values = {QString(), QStringLiteral("12.34"), QStringLiteral("-1.25"),
                              QStringLiteral("5")};
  for (const auto& [preset, label] : items) {
    int x = 5;
    for (const QString& v : values) {
      auto* d = new LCDisp(preset, &sheet);
      if (!v.isEmpty())
        d->setValue(preset == LcdPreset::DevCtrlTime ? QStringLiteral("01:02E+03") : v);
      d->move(x, y);
      x += d->width() + 10;
    }
    width = std::max(width, x);
    y += lcdPresetSize(preset).height() + 8;
    Q_UNUSED(label);
  }
  sheet.resize(width, y);
  return save(sheet, dir, name);
}

void fillGraph(CurveGraph& g, int points) {
  g.setCurveCount(5);
  g.setLegendText(0, QStringLiteral("Voltage"));
  g.setLegendText(1, QStringLiteral("Current"));
  g.setLegendText(2, QStringLiteral("Temp"));
  g.setCurveAxesY(1, 1);
  g.setCurveAxesY(2, 2);
  g.setCurveLineColor(2, 8421376);
  g.setShowAxesY2(true);
  g.setAxesY2Txt(QStringLiteral("[C]"));
  for (int c = 0; c < 3; ++c) {
    g.setShowCurve(c, true);
    g.setShowLegend(c, true);
  }
  g.setMaxX(3600);
  for (int i = 0; i < points; ++i) {
    const float t = 3600.0f * i / points;
    g.AddXY(0, t, 4.2f - 1.2f * t / 3600 - 0.05f * std::sin(t / 40));
    g.AddXY(1, t, t < 3000 ? 5.0f + 0.1f * std::sin(t / 7) : 2.0f);
    g.AddXY(2, t, 25 + 10 * t / 3600);
  }
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    QTextStream(stderr) << "usage: ondrel-gallery DIR\n";
    return 2;
  }
  QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!dir.mkpath(QStringLiteral("."))) {
    QTextStream(stderr) << "cannot create " << argv[1] << '\n';
    return 1;
  }
  bool ok = true;

  ok &= saveReadouts(dir, QStringLiteral("lcd-panel"),
                     {{LcdPreset::DevCtrlVol, "Vol"},
                      {LcdPreset::DevCtrlCur, "Cur"},
                      {LcdPreset::DevCtrlPwr, "Pwr"},
                      {LcdPreset::DevCtrlTime, "Time"},
                      {LcdPreset::UsbVol, "USB"}});
  ok &= saveReadouts(dir, QStringLiteral("lcd-display"),
                     {{LcdPreset::DispVol, "V"},
                      {LcdPreset::DispCur, "A"},
                      {LcdPreset::DispPwr, "W"},
                      {LcdPreset::DispD1, "Ah"},
                      {LcdPreset::DispD2, "Wh"}});
  ok &= saveReadouts(dir, QStringLiteral("lcd-meter"),
                     {{LcdPreset::MeterVol, "V"},
                      {LcdPreset::MeterCur, "A"},
                      {LcdPreset::MeterPwr, "W"},
                      {LcdPreset::MeterD1, "D+"},
                      {LcdPreset::MeterD2, "D-"}});
  {
    LCDisp d;
    LcdConfig c;
    c.NumDigits = 8;
    c.NumDigitsExp = 3;
    c.XOffsetExp = 175;
    c.ShowThousandsSeparator = true;
    c.ThousandsSeparator = 1;
    c.BackColor1 = 0x202020;
    c.BackColor2 = 0x606060;
    c.CurveTopLeft = c.CurveBottomRight = 8;
    c.SegmentFillStyle = 2;
    c.Seg3DColor1 = 0x006000;
    c.Seg3DColor2 = 0x40FF40;
    c.Value = QStringLiteral("1234567E-05");
    d.setConfig(c);
    d.resize(d.sizeHint());
    ok &= save(d, dir, QStringLiteral("lcd-styles"));
  }

  {
    CurveGraph g;
    g.resize(800, 500);
    fillGraph(g, 20000);
    g.DrawCurve();
    ok &= save(g, dir, QStringLiteral("graph-full"));
    g.setMinX(1200);
    g.setMaxX(1800);
    g.setLarge(true);
    g.setMinX(1200);
    g.setMaxX(1800);
    g.setYStep(true);
    g.DrawCurve();
    ok &= save(g, dir, QStringLiteral("graph-zoomed"));
  }
  {
    CurveGraph g;
    g.resize(500, 320);
    g.setxBarType(1);
    g.setGridType1(1);
    g.setGridType2(3);
    g.setBackColor(0x302020);
    g.setAxesColor(0xE0E0E0);
    g.setGridColor(0x808080);
    g.ClearAll();
    ok &= save(g, dir, QStringLiteral("graph-empty-dark"));
  }

  const QImage fore = firmwareBarPicture();
  for (int v : {0, 50, 100}) {
    ucProgressBar bar;
    bar.setBarPictureFore(fore);
    bar.setCaptionFormat(5);
    bar.setValue(v);
    ok &= save(bar, dir, QStringLiteral("progress-h-%1").arg(v));
    ucProgressBar vbar;
    vbar.resize(25, 120);
    vbar.setOrientation(1);
    vbar.setBarPictureFore(fore.transformed(QTransform().rotate(90)));
    vbar.setValue(v);
    ok &= save(vbar, dir, QStringLiteral("progress-v-%1").arg(v));
  }
  return ok ? 0 : 1;
}
