#include "data/ui/settingscommands.h"

#include "data/settings.h"
#include "data/slotlayout.h"
#include "data/support/langtext.h"
#include "data/support/pendingevents.h"
#include "data/support/programfolder.h"
#include "data/ui/deviceslot.h"
#include "data/ui/frmmain.h"
#include "data/ui/networksetting.h"
#include "data/ui/settingsdialogs.h"
#include "data/ui/windowtelemetry.h"
#include "link/commands.h"
#include "test/ui/devctrl.h"
#include "widgets/curvegraph.h"

#include <QDir>

namespace ondrel {
namespace {

// One dialog of a kind at a time: an open one is brought to the front. A closed one that waits
// for its deletion does not count.
template <typename Dialog> bool raiseOpen(frmMain& w) {
  for (Dialog* d : w.findChildren<Dialog*>())
    if (d->isVisible()) {
      d->raise();
      d->activateWindow();
      return true;
    }
  return false;
}

} // namespace

void TemperatureData(frmMain& w) {
  const bool on = !w.prefs().TEMP;
  w.setTemperatureTicked(on);
  writeSetting(w.settingsFile(), settings::TEMP, boolText(on));
}

void SoftwareSetting(frmMain& w) {
  if (raiseOpen<frmSw>(w))
    return;
  auto* window = new frmSw(&w, w.prefs(), w.settingsFile(),
                           programPath(QStringLiteral("Data")) + QDir::separator());
  window->show();
}

void NetworkSetting(frmMain& w) {
  if (raiseOpen<frmNet>(w))
    return;
  auto* window = new frmNet(&w, w.telemetry().config(), w.settingsFile());
  QObject::connect(window, &frmNet::applied, &w,
                   [&w](const MqttConfig& c) { w.telemetry().setConfig(c); });
  QObject::connect(window, &frmNet::forgetRequested, &w,
                   [&w](const MqttConfig& c) { w.telemetry().forgetDevices(c); });
  window->show();
}

void DisplaySetting(frmMain& w) {
  if (raiseOpen<frmShow>(w))
    return;
  const DeviceSlot& s = w.slot(w.SelectedSlot());
  const CurveGraph& g = s.graph();
  DisplayLoad load;
  load.gridType1 = g.GridType1();
  load.gridType2 = g.GridType2();
  load.grid = g.GridColor();
  load.back = g.BackColor();
  load.axes = g.AxesColor();
  load.power = s.panel().PwrColor();
  load.time = s.panel().TimeColor();
  load.line = g.Line();
  load.showAxesY2 = g.ShowAxesY2();
  load.hasTemp = s.params().HasTemp;
  load.tempTicked = w.prefs().TEMP;
  auto* window = new frmShow(&w, load, w.prefs());
  if (w.chooseColour)
    window->setColourChooser(w.chooseColour);
  QObject::connect(window, &frmShow::accepted, &w,
                   [&w](const DisplayChoice& choice) { ApplyDisplaySetting(w, choice); });
  showAndWaitUntil(window, &frmShow::closed);
}

void ApplyDisplaySetting(frmMain& w, const DisplayChoice& c) {
  const QString ini = w.settingsFile();
  Preferences& p = w.prefs();
  const int line = int(boxNumber(c.line).value_or(p.LINE));
  // Colours and line width of every slot.
  for (int i = 0; i < w.slotCount(); ++i) {
    DeviceSlot& s = w.slot(i);
    s.graph().setGridColor(c.grid);
    s.graph().setBackColor(c.back);
    s.graph().setAxesColor(c.axes);
    s.panel().setPwrColor(c.power);
    s.panel().setTimeColor(c.time);
    s.graph().setLine(line);
  }
  // Grid line styles, each written as it is set.
  for (int i = 0; i < w.slotCount(); ++i)
    w.slot(i).graph().setGridType1(c.majorDotted ? 2 : 0);
  writeSetting(ini, settings::MDOT, checkText(c.majorDotted));
  for (int i = 0; i < w.slotCount(); ++i)
    w.slot(i).graph().setGridType2(c.minorDotted ? 2 : 0);
  writeSetting(ini, settings::SDOT, checkText(c.minorDotted));
  // The keys and the preferences.
  writeSetting(ini, settings::GCOL, colourText(c.grid));
  writeSetting(ini, settings::BCOL, colourText(c.back));
  writeSetting(ini, settings::ACOL, colourText(c.axes));
  writeSetting(ini, settings::PCOL, colourText(c.power));
  writeSetting(ini, settings::TCOL, colourText(c.time));
  writeSetting(ini, settings::XTIME, boolText(c.xTime));
  writeSetting(ini, settings::SAH, checkText(c.cap));
  writeSetting(ini, settings::SWH, checkText(c.wh));
  writeSetting(ini, settings::SLA, checkText(c.label));
  writeSetting(ini, settings::SCALE, checkText(c.scale));
  writeSetting(ini, settings::LINE, c.line);
  p.SAH = c.cap, p.SWH = c.wh, p.SLA = c.label, p.XTIME = c.xTime, p.SCALE = c.scale;
  p.LINE = line, p.MDOT = c.majorDotted, p.SDOT = c.minorDotted;
  p.GCOL = c.grid, p.BCOL = c.back, p.ACOL = c.axes, p.PCOL = c.power, p.TCOL = c.time;
  // Legends of the voltage and current curves.
  for (int i = 0; i < w.slotCount(); ++i) {
    DeviceSlot& s = w.slot(i);
    const int channels = s.dev2S() ? 2 : 1;
    for (int ch = 0; ch < channels; ++ch)
      for (Curve k : {Curve::Voltage, Curve::Current})
        s.graph().setShowLegend(curveIndex(ch, k), c.label);
  }
  // The third curve and the second Y axis. The menu tick follows "Temp" here without being
  // written: the next start-up takes it from the file again.
  if (c.showY2)
    w.setTemperatureTicked(c.y2Temp);
  for (int i = 0; i < w.slotCount(); ++i) {
    DeviceSlot& s = w.slot(i);
    CurveGraph& g = s.graph();
    g.setShowAxesY2(c.showY2);
    if (c.showY2)
      g.setAxesY2Txt(c.y2Temp ? QStringLiteral("[C]") : QStringLiteral("[W]"));
    // A two-channel slot shows its second channel's third curve alike.
    const int channels = s.dev2S() ? 2 : 1;
    for (int ch = 0; ch < channels; ++ch) {
      const int third = curveIndex(ch, Curve::Third);
      g.setShowCurve(third, c.showY2);
      g.setShowLegend(third, c.showY2 && c.label);
      if (c.showY2) {
        const QString word = c.y2Temp ? QStringLiteral("Temp") : QStringLiteral("Power");
        g.setLegendText(third, LangText(channels == 2 ? word + QString::number(ch + 1) : word));
        g.setCurveAxesY(third, 2);
      }
      // The third curve's colour.
      g.setCurveLineColor(third, c.curve2Colour);
    }
    g.DrawCurve();
  }
}

void CoordinateSettings(frmMain& w) {
  if (raiseOpen<frmCurve>(w))
    return;
  const CurveGraph& g = w.slot(w.SelectedSlot()).graph();
  auto* window = new frmCurve(
      &w, coordinateTexts(g.MinY(0), g.MaxY(0), g.MinY(1), g.MaxY(1), g.MinX(), g.MaxX()));
  if (w.tellCoordinateError)
    window->tellUser = w.tellCoordinateError;
  QObject::connect(window, &frmCurve::accepted, &w,
                   [&w](const CoordinateTexts& texts) { ApplyCoordinates(w, texts); });
  showAndWaitUntil(window, &frmCurve::closed);
}

void ApplyCoordinates(frmMain& w, const CoordinateTexts& t) {
  const QString ini = w.settingsFile();
  writeSetting(ini, settings::VY0, t.voltLow);
  writeSetting(ini, settings::VY1, t.voltHigh);
  writeSetting(ini, settings::CY0, t.curLow);
  writeSetting(ini, settings::CY1, t.curHigh);
  writeSetting(ini, settings::CT0, t.timeLow);
  writeSetting(ini, settings::CT1, t.timeHigh);
  auto n = [](const QString& text) { return boxNumber(text).value_or(0); };
  AxisRanges& r = w.axisRanges();
  r.volt = AxisRange{n(t.voltLow), n(t.voltHigh)};
  r.cur = AxisRange{n(t.curLow), n(t.curHigh)};
  r.time = AxisRange{n(t.timeLow), n(t.timeHigh)};
  for (int i = 0; i < w.slotCount(); ++i) {
    w.slot(i).applyRanges(r);
    w.slot(i).graph().DrawCurve();
  }
}

} // namespace ondrel
