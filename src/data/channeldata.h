#pragma once

#include <QString>
#include <QtGlobal>

namespace ondrel {

// The live values and counters of one measuring channel of a device slot. Device values are
// single-precision as the device reports them; the voltage sum grows over a whole test (a
// 100-hour test adds 360 000 samples), so it is kept in double to keep the average exact.
struct ChannelData {
  // Decoded from reports.
  float Volt = 0.0f;
  float Cur = 0.0f; // A (mA for model code 40)
  float Temp = 0.0f;
  float Cap = 0.0f; // Ah, including CapOffset of a continued test
  float MeterCur = 0.0f;
  float DPlus = 0.0f;
  float DMinus = 0.0f;

  // Computed on the PC.
  float Pwr = 0.0f;
  float Energy = 0.0f; // Wh; never decreases during a test
  double VoltSum = 0.0;
  qint32 CapTick = 0; // TestSec at the last PC-side capacity integration (USB meter)

  // Counters advanced by the channel's one-second tick.
  qint32 TestSec = 0;
  qint32 CurveSec = 0;
  qint32 StartPoint = 0; // voltage-curve points before the test started

  QString RecPath; // recording file without ".bak"; empty when not recording
  // The recording could not be written during this test; said once, not at every sample.
  bool RecWriteFailed = false;

  // Continue bookkeeping: the capacity counted before the test was continued.
  float CapOffset = 0.0f;
  bool CapOffsetPending = false;

  // Test parameters in device units, as sent and as echoed by the device.
  qint16 ModeNo = 0;
  qint32 SetRaw = 0;
  qint32 LimitRaw = 0;
  qint32 TimeRaw = 0;
  qint16 ParamEcho = 0; // > 0: take over the parameters of the next two reports

  bool ChnRunning = false;
  // The curves are a step program's (set when a program starts, cleared by the user's Start):
  // their data file lists the program's steps instead of one test's results.
  bool StepCurves = false;

  // The device's capacity, with the offset of a continued test applied. The first value after a
  // continue tells whether the device kept counting (it then reports at least 90 % of the offset,
  // and more the longer the PC was away: nothing must be added) or started again from zero.
  void takeDeviceCapacity(float deviceCap);
};

} // namespace ondrel
