#pragma once

#include "data/ui/deviceslot.h"

namespace ondrel {

// The tests' way into a slot's private state: set up a channel or a timer as a situation needs,
// and tick the test clock by hand instead of waiting for it.
class DeviceSlotProbe {
public:
  // The slot connects, as after Connect, without a port.
  static void startConnecting(DeviceSlot& s) { s.m_tmrConn.start(); }
  static QTimer& connectTimer(DeviceSlot& s) { return s.m_tmrConn; }
  static bool receiving(const DeviceSlot& s) { return s.m_tmrComm.isActive(); }
  static bool receiveLampTimerRunning(const DeviceSlot& s) { return s.m_tmrRecv.isActive(); }
  static int receiveLampTimerLeft(const DeviceSlot& s) { return s.m_tmrRecv.remainingTime(); }
  static ChannelData& channel(DeviceSlot& s, int c) { return s.channel(c); }
  static ModelParams& params(DeviceSlot& s) { return s.m_params; }
  static void setGridText(DeviceSlot& s, int row, int col, const QString& text) {
    s.m_view.setGridText(row, col, text);
  }
  static void setAutoRunning(DeviceSlot& s, bool running) { s.m_auto.setAutoRunning(running); }
  static void setStepRunning(DeviceSlot& s, bool running) { s.m_step.setStepRunning(running); }
  static void stepProgramStarted(DeviceSlot& s) { s.m_step.programStarted(); }
  static AxisExtremes& axes(DeviceSlot& s) { return s.m_axes; }
  static qint32 infoCount(const DeviceSlot& s) { return s.InfoCount; }
  static void setInfoCount(DeviceSlot& s, qint32 n) { s.InfoCount = n; }

  static void TestClockOn(DeviceSlot& s, int c) { s.m_clock.at(size_t(c)).TestClockOn(); }
  static void TestClockOff(DeviceSlot& s, int c) { s.m_clock.at(size_t(c)).TestClockOff(); }
  static void SecondTimerStart(DeviceSlot& s, int c) { s.SecondTimerStart(c); }
  static void SecondTimerStop(DeviceSlot& s, int c) { s.SecondTimerStop(c); }
  static void secondTick(DeviceSlot& s, int c) { s.secondTick(c); }
};

} // namespace ondrel
