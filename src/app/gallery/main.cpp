// ondrel-gallery DIR: renders the display components, the device panel and the firmware-update
// window in telling states to PNG files, so that their look can be checked by eye without a device.
#include "data/ui/frmabout.h"
#include "data/ui/frmdata.h"
#include "data/ui/frmhistory.h"
#include "data/ui/networksetting.h"
#include "history/catalogue.h"
#include "history/historywriter.h"
#include "history/testrecord.h"
#include "data/ui/readoutwindows.h"
#include "data/ui/settingsdialogs.h"
#include "link/memoryport.h"
#include "link/modeltable.h"
#include "link/ui/frmupdate.h"
#include "test/ui/devctrl.h"
#include "test/ui/frmstep.h"
#include "test/ui/frmusb.h"
#include "widgets/curvegraph.h"
#include "widgets/lcdisp.h"
#include "widgets/progressmath.h"
#include "widgets/ucprogressbar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTabBar>
#include <QTemporaryDir>
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
  double ah = 0, wh = 0; // capacity and energy: not drawn, read by the cursor
  for (int i = 0; i < points; ++i) {
    const float t = 3600.0f * i / points;
    const float v = 4.2f - 1.2f * t / 3600 - 0.05f * std::sin(t / 40);
    const float a = t < 3000 ? 5.0f + 0.1f * std::sin(t / 7) : 2.0f;
    g.AddXY(0, t, v);
    g.AddXY(1, t, a);
    g.AddXY(2, t, 25 + 10 * t / 3600);
    g.AddXY(3, t, static_cast<float>(ah));
    g.AddXY(4, t, static_cast<float>(wh));
    ah += a * 3600.0 / points / 3600;
    wh += v * a * 3600.0 / points / 3600;
  }
}

// A pointer event on the graph's plot surface, as the user's mouse gives it.
void pointer(CurveGraph& g, QEvent::Type type, Qt::MouseButton button, QPoint pos) {
  QWidget* plot = g.findChild<QWidget*>(QStringLiteral("picGraph"));
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
  QMouseEvent e(type, pos, plot->mapToGlobal(pos),
                type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
  QCoreApplication::sendEvent(plot, &e);
}

// A panel as a connected device shows it: one-channel or two-channel, on page 0, 1 or 2.
bool savePanel(const QDir& dir, const QString& name, bool twoChannels, int page) {
  DevCtrl p;
  p.setAttribute(Qt::WA_DontShowOnScreen);
  p.TabAdd(1, QStringLiteral("key1"));
  p.TabAdd(2, QStringLiteral("key2"));
  p.TabAdd(3, QStringLiteral("key3"));
  p.PortAdd(QStringLiteral("COM3"));
  p.PortAdd(QStringLiteral("COM7"));
  p.setTPort(QStringLiteral("COM3"));
  p.setConn(true);
  p.setLedRecv(true);
  p.setDev2S(twoChannels);
  p.ModeClr();
  for (const char* m : {"D-CC", "D-CP", "D-CV", "C-Liion", "C-CV"})
    p.ModeAdd(QString::fromLatin1(m));
  p.setTMode(QStringLiteral("D-CC"));
  for (int c = 0; c < (twoChannels ? 2 : 1); ++c) {
    p.setTSval(c, c ? QStringLiteral("0.500") : QStringLiteral("1.000"));
    p.setTSlmt(c, QStringLiteral("3.00"));
    p.setTStim(c, QStringLiteral("0"));
    p.setTVol(c, c ? QStringLiteral("3.71") : QStringLiteral("12.34"));
    p.setTCur(c, c ? QStringLiteral("0.50") : QStringLiteral("1.000"));
    p.setTPwr(c, c ? QStringLiteral("1.86") : QStringLiteral("12.34"));
    p.setTTime(c, c ? QStringLiteral("00:12:40") : QStringLiteral("01:02:03"));
  }
  p.setRunEnable(false);
  p.setStopEnable(true);
  p.setModeEnable(false);

  p.AutoModeAdd(QStringLiteral("D-CC"));
  p.setTAutoMode(QStringLiteral("D-CC"));
  for (int i = 1; i <= 50; ++i) {
    p.AutoC1Add(QString::number(i / 10.0, 'f', 1));
    p.AutoC2Add(QString::number(i / 10.0, 'f', 1));
  }
  p.setTAutoC1(QStringLiteral("0.1"));
  p.setTAutoC2(QStringLiteral("2.0"));
  p.setTAutoStep(QStringLiteral("0.1"));
  p.setTAutoTime(QStringLiteral("2"));
  p.setTAutoVol(QStringLiteral("0.80"));
  for (int i = 0; i < 12; ++i) {
    if (i > 0)
      p.AutoListAdd();
    p.setTAutoList(1, QString::number(0.1 * (i + 1), 'f', 1));
    p.setTAutoList(2, QString::number(12.5 - 0.05 * i, 'f', 2));
    p.setTAutoList(3, QString::number((0.1 * (i + 1)) * (12.5 - 0.05 * i), 'f', 2));
  }

  const char* steps[][4] = {{"D-CC", "1.000", "", "3.00"},
                            {"Wait", "10", "", ""},
                            {"C-Liion", "1.000", "1", "0.100"},
                            {"Cycle", "3", "", ""}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      p.setTStepSet(r + 1, c + 1, QString::fromLatin1(steps[r][c]));
  p.setStepColor(1, 0x00FF00);
  for (int r = 0; r < 3; ++r) {
    if (r > 0)
      p.StepListAdd();
    p.setTStepList(0, QString::number(r + 1));
    p.setTStepList(1, QString::fromLatin1(steps[r][0]));
    p.setTStepList(2, QString::number(0.5 * (r + 1), 'f', 3));
    p.setTStepList(3, QString::number(1.9 * (r + 1), 'f', 3));
  }

  p.resize(p.sizeHint());
  p.show();
  auto* tabs = p.findChild<QTabBar*>(QStringLiteral("tabDev"));
  tabs->setCurrentIndex(page);
  QCoreApplication::processEvents();
  return save(p, dir, name);
}

} // namespace

// The update window as a user sees it in the middle of an update.
bool saveUpdateWindow(const QDir& dir) {
  MemoryPorts ports;
  frmUpdate w(0, QStringLiteral("COM3"), ports,
              [](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) {
                return QMessageBox::Ok;
              });
  w.setAttribute(Qt::WA_DontShowOnScreen);
  w.show();
  auto* types = w.findChild<QComboBox*>(QStringLiteral("cmbDev"));
  types->addItem(QStringLiteral("KC-11"));
  types->addItem(QStringLiteral("KL-10"));
  types->setCurrentIndex(1);
  w.progressBar().setMax(30000);
  w.progressBar().setValue(17920);
  return save(w, dir, QStringLiteral("firmware-update"));
}

// The USB trigger window opened on a charger at 9 V, and with a QC3.0 ramp running.
bool saveUsbWindow(const QDir& dir) {
  struct Charger : UsbTriggerSlot {
    int panelChannel() const override { return 0; }
    QString voltageText(int) const override { return QStringLiteral("9.012"); }
    void showVoltageSteps() override {}
    void RemoteQC(int, int) override {}
    void RemotePE(int, int) override {}
  } charger;
  frmUSB w(charger);
  w.setAttribute(Qt::WA_DeleteOnClose, false);
  w.setAttribute(Qt::WA_DontShowOnScreen);
  w.show();
  bool ok = save(w, dir, QStringLiteral("usb-trigger"));
  w.findChild<QAbstractButton*>(QStringLiteral("optQc3"))->click();
  w.findChild<QAbstractButton*>(QStringLiteral("optAuto"))->click();
  w.findChild<QAbstractButton*>(QStringLiteral("cmdQCInc"))->click();
  ok &= save(w, dir, QStringLiteral("usb-trigger-ramp"));
  return ok;
}

// The step editor of a charger (KC-03) over a three-row program, step 2 ("Wait") selected.
bool saveStepEditor(const QDir& dir) {
  ModelParams model = lookupModel(ModelParams{}, 9).params;
  model.ModelCode = 9;
  DevCtrl panel;
  for (const char* m : {"D-CC", "D-CP", "C-CV"})
    panel.ModeAdd(QLatin1String(m));
  const char* rows[][4] = {{"D-CC", "1.00", "3.00", "0"},
                           {"Wait", "0.00", "0.00", "10"},
                           {"C-CV", "1.00", "4.20", "0.10"}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c)
      panel.setTStepSet(r + 1, c + 1, QLatin1String(rows[r][c]));
  frmStep w(model, panel, [](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) {
    return QMessageBox::Ok;
  });
  w.setAttribute(Qt::WA_DontShowOnScreen);
  w.show();
  auto* flow = w.findChild<QComboBox*>(QStringLiteral("cmbFlow"));
  flow->setCurrentIndex(1);
  w.FlowClick();
  return save(w, dir, QStringLiteral("step-editor"));
}

// The big readout window over a running discharge, and the USB meter window.
bool saveReadoutWindows(const QDir& dir) {
  frmDisp disp(nullptr);
  disp.setAttribute(Qt::WA_DontShowOnScreen);
  disp.setTitle(QStringLiteral("KL-F2"));
  disp.setReadoutColour(frmDisp::Cur, 0x0000FF);
  disp.setReadoutColour(frmDisp::Vol, 0xFF0000);
  disp.setReadoutColour(frmDisp::Pwr, 0x008080);
  const char* dispTexts[] = {"01.00", "3.876", "03.88", "1.532", "5.861"};
  for (int i = 0; i < 5; ++i)
    disp.setReadout(i, QLatin1String(dispTexts[i]));
  disp.show();
  bool ok = save(disp, dir, QStringLiteral("big-readout"));

  frmMeter meter(nullptr);
  meter.setAttribute(Qt::WA_DontShowOnScreen);
  meter.setTitle(QStringLiteral("KL-10"));
  const char* meterTexts[] = {"1.2345", "05.100", "06.296", "0.600", "2.700"};
  for (int i = 0; i < 5; ++i)
    meter.setReadout(i, QLatin1String(meterTexts[i]));
  meter.show();
  ok &= save(meter, dir, QStringLiteral("usb-meter"));
  return ok;
}

// The three settings dialogs as they open on a fresh settings file.
bool saveSettingsDialogs(const QDir& dir) {
  Preferences prefs;
  frmSw sw(nullptr, prefs, QString(), QStringLiteral("/home/user/Ondrel/Data/"));
  sw.setAttribute(Qt::WA_DeleteOnClose, false);
  sw.setAttribute(Qt::WA_DontShowOnScreen);
  sw.show();
  bool ok = save(sw, dir, QStringLiteral("software-setting"));
  DisplayLoad load;
  load.grid = prefs.GCOL, load.back = prefs.BCOL, load.axes = prefs.ACOL;
  load.power = prefs.PCOL, load.time = prefs.TCOL, load.hasTemp = true;
  frmShow show(nullptr, load, prefs);
  show.setAttribute(Qt::WA_DeleteOnClose, false);
  show.setAttribute(Qt::WA_DontShowOnScreen);
  show.show();
  ok &= save(show, dir, QStringLiteral("display-setting"));
  frmCurve curve(nullptr, coordinateTexts(0, 20, 0, 10, 0, 100));
  curve.setAttribute(Qt::WA_DeleteOnClose, false);
  curve.setAttribute(Qt::WA_DontShowOnScreen);
  curve.show();
  ok &= save(curve, dir, QStringLiteral("coordinate-settings"));
  return ok;
}

// The data viewer comparing two discharges of different cells.
bool saveDataViewer(const QDir& dir) {
  QTemporaryDir files;
  CurveGraph look;
  frmData viewer(nullptr, false, look, ViewerServices{});
  viewer.chooseCurveColours = [](const CurveColours& start) {
    CurveColours c = start;
    if (start.legend == QStringLiteral("Voltage2"))
      c.volt = 0x00A000, c.cur = 0x0080FF;
    return c;
  };
  viewer.setAttribute(Qt::WA_DontShowOnScreen);
  viewer.resize(1000, 620);
  viewer.show();
  const struct {
    const char *name, *device;
    double capacity, sag;
  } cells[] = {{"cell-a.csv", "KL-F2", 2.2, 0.0}, {"cell-b.csv", "KL-F2", 1.8, 0.08}};
  for (const auto& c : cells) {
    QByteArray b = QByteArray("Device:") + c.device +
                   "\r\nMode:D-CC  1.00A  3.00V\r\nTitle:" + c.name +
                   "\r\nTime(S),Cur(A),Vol(V)\r\n";
    const int seconds = int(c.capacity * 3600);
    for (int t = 0; t <= seconds; t += 10) {
      const double soc = 1.0 - double(t) / seconds;
      const double v = 3.0 + 1.1 * std::pow(soc, 0.6) + 0.1 * soc - c.sag;
      b += QByteArray::number(t) + ",1.00," + QByteArray::number(std::max(v, 3.0), 'f', 3) + "\r\n";
    }
    QFile out(files.filePath(QLatin1String(c.name)));
    out.open(QIODevice::WriteOnly);
    out.write(b);
    out.close();
    viewer.LoadFile(out.fileName());
  }
  QCoreApplication::processEvents();
  return save(viewer, dir, QStringLiteral("data-viewer"));
}

// The test history with a week of a user's cells, one of them tested while its file was moved.
bool saveTestHistory(const QDir& dir) {
  QTemporaryDir home;
  const StoreTarget store = localStore(home.path());
  {
    Catalogue c(store);
    c.open();
    std::vector<TestRecord> rows;
    for (int i = 0; i < 12; ++i) {
      TestRecord r;
      r.uid = QStringLiteral("gallery-%1").arg(i);
      r.kind = i == 11 ? kind::Resistance : kind::Test;
      const QDateTime start = QDateTime(QDate(2026, 12, 3), QTime(9, 0), Qt::UTC).addSecs(i * 21600);
      r.startedUtc = isoUtc(start);
      r.endedUtc = isoUtc(start.addSecs(9000));
      r.host = QStringLiteral("lab-pc");
      r.port = QStringLiteral("COM%1").arg(2 + i % 3);
      r.model = QStringLiteral("KL-F2");
      r.label = QStringLiteral("18650 cell %1").arg(i + 1);
      if (i == 11) {
        r.mode = QStringLiteral("Resistance");
        r.resistanceMohm = 38.5;
      } else {
        r.mode = QStringLiteral("D-CC");
        r.setValue = 1.0, r.limitValue = 2.75;
        r.capacityAh = 2.85 + 0.013 * ((i * 7) % 11);
        r.energyWh = *r.capacityAh * 3.62;
        r.avgV = 3.62;
        r.beginV = 4.18, r.endV = 2.75;
        r.resistanceMohm = 31.0 + (i * 5) % 9;
        r.endReason = i == 4 ? endreason::Stopped : endreason::Device;
        r.dataFile = home.filePath(QStringLiteral("Data/cell-%1.csv").arg(i + 1));
      }
      rows.push_back(r);
    }
    c.add(rows);
  }
  QDir(home.path()).mkpath(QStringLiteral("Data"));
  for (int i = 0; i < 11; ++i) {
    if (i == 6)
      continue; // moved away: shown as missing
    QFile f(home.filePath(QStringLiteral("Data/cell-%1.csv").arg(i + 1)));
    f.open(QIODevice::WriteOnly);
  }
  frmHistory history(store, std::nullopt, QString(), HistoryServices{});
  history.setAttribute(Qt::WA_DeleteOnClose, false);
  history.setAttribute(Qt::WA_DontShowOnScreen);
  history.show();
  QElapsedTimer t;
  t.start();
  while (history.busy() && t.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QCoreApplication::processEvents();
  return save(history, dir, QStringLiteral("test-history"));
}

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

  ok &= saveReadoutWindows(dir);
  ok &= saveSettingsDialogs(dir);
  ok &= saveDataViewer(dir);
  ok &= saveTestHistory(dir);
  {
    MqttConfig mqtt;
    mqtt.url = QStringLiteral("mqtts://broker.lab:8883");
    mqtt.user = QStringLiteral("tester");
    mqtt.passFile = QStringLiteral("/home/user/.config/ondrel/mqtt.pass");
    frmNet net(nullptr, mqtt, QString());
    net.setAttribute(Qt::WA_DeleteOnClose, false);
    net.setAttribute(Qt::WA_DontShowOnScreen);
    net.show();
    ok &= save(net, dir, QStringLiteral("network-setting"));
  }
  {
    frmAbout about(nullptr, nullptr);
    about.setAttribute(Qt::WA_DeleteOnClose, false);
    about.setAttribute(Qt::WA_DontShowOnScreen);
    about.show();
    ok &= save(about, dir, QStringLiteral("about"));
  }
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

    // The value readout while the right button is held, beside the cursor and, near the
    // right edge, flipped to its left.
    pointer(g, QEvent::MouseButtonPress, Qt::RightButton, {300, 200});
    ok &= save(g, dir, QStringLiteral("graph-cursor"));
    pointer(g, QEvent::MouseMove, Qt::RightButton, {660, 300});
    ok &= save(g, dir, QStringLiteral("graph-cursor-right"));
    pointer(g, QEvent::MouseButtonRelease, Qt::RightButton, {660, 300});

    // A rubber band drawn with mouse zoom on, the zoomed view it gives, and that view panned.
    g.setSize(true);
    pointer(g, QEvent::MouseButtonPress, Qt::LeftButton, {250, 120});
    pointer(g, QEvent::MouseMove, Qt::LeftButton, {420, 330});
    ok &= save(g, dir, QStringLiteral("graph-band"));
    pointer(g, QEvent::MouseButtonRelease, Qt::LeftButton, {420, 330});
    g.setYStep(true);
    g.DrawCurve();
    ok &= save(g, dir, QStringLiteral("graph-zoomed"));
    auto* scroll = g.findChild<QScrollBar*>(QStringLiteral("HScroll1"));
    scroll->setValue(scroll->maximum());
    ok &= save(g, dir, QStringLiteral("graph-zoomed-end"));
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

  for (int page = 0; page < 3; ++page) {
    ok &= savePanel(dir, QStringLiteral("panel-1chn-%1").arg(page), false, page);
    ok &= savePanel(dir, QStringLiteral("panel-2chn-%1").arg(page), true, page);
  }

  ok &= saveUpdateWindow(dir);
  ok &= saveUsbWindow(dir);
  ok &= saveStepEditor(dir);

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
