#pragma once

#include "data/ui/deviceslot.h"
#include "test/ui/devctrl.h"

namespace ondrel {

// The tests' way into a slot's private state: set up a channel or a timer as a situation needs,
// and tick the test clock by hand instead of waiting for it.
class DeviceSlotProbe {
public:
  // The slot connects, as after Connect, without a port.
  static void startConnecting(DeviceSlot& s) {
    s.m_tmrConn.start();
    s.m_model.link = LinkState::Connecting;
    s.m_model.port = s.panel().tPort();
  }
  static void setLink(DeviceSlot& s, LinkState link) { s.m_model.link = link; }
  static QTimer& connectTimer(DeviceSlot& s) { return s.m_tmrConn; }
  static bool receiving(const DeviceSlot& s) { return s.m_tmrComm.isActive(); }
  static bool receiveLampTimerRunning(const DeviceSlot& s) { return s.m_tmrRecv.isActive(); }
  static int receiveLampTimerLeft(const DeviceSlot& s) { return s.m_tmrRecv.remainingTime(); }
  static ChannelData& channel(DeviceSlot& s, int c) { return s.channel(c); }
  static SlotModel& model(DeviceSlot& s) { return s.m_model; }
  static ModelParams& params(DeviceSlot& s) { return s.m_model.params; }
  // A channel's row of the result grid, in the model and on the grid.
  static void setGridText(DeviceSlot& s, int row, int col, const QString& text) {
    ResultRow& r = s.m_model.at(row - 1).row;
    QString* const columns[] = {&r.device,   &r.mode,   &r.beginVolt, &r.cutoffVolt,
                                &r.capacity, &r.energy, &r.avgVolt};
    *columns[col] = text;
    s.m_view.setGridText(row, col, text);
  }
  static void setAutoRunning(DeviceSlot& s, bool running) { s.m_auto.setAutoRunning(running); }
  static void setStepRunning(DeviceSlot& s, bool running) { s.m_step.setStepRunning(running); }
  static void stepProgramStarted(DeviceSlot& s) { s.m_step.programStarted(); }
  static AxisExtremes& axes(DeviceSlot& s) { return s.m_model.axes; }
  static qint32 infoCount(const DeviceSlot& s) { return s.m_model.InfoCount; }
  static void setInfoCount(DeviceSlot& s, qint32 n) { s.m_model.InfoCount = n; }

  // A channel's clocks switched by hand: the test clock counts TestSec, the curve clock (on the
  // slot's one-second tick) CurveSec.
  static void TestClockOn(DeviceSlot& s, int c) { s.m_model.at(c).testClock = true; }
  static void TestClockOff(DeviceSlot& s, int c) { s.m_model.at(c).testClock = false; }
  static void SecondTimerStart(DeviceSlot& s, int c) {
    s.m_model.at(c).curveClock = true;
    s.showClocks();
  }
  static void SecondTimerStop(DeviceSlot& s, int c) {
    s.m_model.at(c).curveClock = false;
    s.showClocks();
  }
  // One second of the slot's clock for one channel.
  static void secondTick(DeviceSlot& s, int c) { s.secondTick(c); }
};

} // namespace ondrel
