#include "sim/devicelogic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace ondrel::sim {
namespace {

// What the program makes of a report, written from the decoding rules rather than from the
// simulator's encoder, so that both sides are held to the same formats.
struct Decoded {
  bool info;
  int state, mode, channel, model;
  double current, volts, capacity, temp;
  int v9, v11, v13;
};

Decoded decode(const QByteArray& frame, int curDiv, int fw) {
  EXPECT_EQ(frame.size(), 19);
  const auto b = [&](int i) { return static_cast<std::uint8_t>(frame[1 + i]); };
  std::uint8_t x = 0;
  for (int i = 0; i < 17; ++i)
    x ^= b(i);
  EXPECT_EQ(x % 240, 0) << "checksum";
  const auto pair = [&](int i) { return b(i) * 240 + b(i + 1); };
  Decoded d{};
  d.info = b(0) / 100 == 1;
  d.state = (b(0) % 100) / 10;
  d.mode = b(0) % 10;
  d.channel = b(15) / 100;
  d.model = b(15) % 100;
  const int cur = pair(1);
  if (curDiv == 100)
    d.current = cur * 0.01;
  else if (d.model == 26 && fw >= 320)
    d.current = (cur / 10) * 0.001;
  else
    d.current = cur * 0.001;
  const int v = pair(3);
  d.volts = v <= 32767 ? v * 0.001 : (v - 32768) * 0.01;
  const int c = pair(5);
  d.capacity = c < 32768 ? c * 0.001 : c < 53248 ? (c - 32768) * 0.01 : (c - 53248) * 0.1;
  d.temp = pair(7) * 0.1;
  d.v9 = pair(9);
  d.v11 = pair(11);
  d.v13 = pair(13);
  return d;
}

DeviceLogic connected(int model, int fw = 0, double soc = -1) {
  DeviceConfig config;
  config.model = model;
  config.firmware = fw;
  if (soc >= 0) {
    config.batteryGiven = true;
    config.battery = defaultBattery(simModel(model, fw));
    config.battery.stateOfCharge = soc;
  }
  DeviceLogic d(config);
  d.handle(decodeCommand(buildCommand(5)));
  return d;
}

Decoded lastReport(DeviceLogic& d, int ch = 0) {
  const QList<QByteArray> frames = d.reportFrames();
  EXPECT_GT(frames.size(), ch);
  return decode(frames.value(ch), d.model().curDiv, d.model().firmware);
}

// The next report that carries the test parameters rather than the version and ranges.
Decoded dataReport(DeviceLogic& d) {
  Decoded r = lastReport(d);
  while (r.info)
    r = lastReport(d);
  return r;
}

TEST(DeviceLogic, ReportsDecodeToWhatTheDeviceSetForEachGroupOfModels) {
  struct Case {
    int model, fw;
    double amps; // set current in the model's unit
  } cases[] = {
      {1, 0, 2.0},   {5, 302, 1.5},  {5, 310, 1.5}, {6, 315, 3.0},  {9, 0, 5.0},    {12, 0, 3.0},
      {17, 0, 1.2},  {20, 310, 2.0}, {24, 0, 1.0},  {25, 315, 1.0}, {26, 310, 1.5}, {26, 320, 1.5},
      {34, 0, 20.0}, {40, 0, 20.0},  {41, 0, 2.0},  {42, 0, 1.0},   {55, 0, 2.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QStringLiteral("model %1 fw %2").arg(c.model).arg(c.fw).toStdString());
    DeviceLogic d = connected(c.model, c.fw);
    const SimModel& m = d.model();
    // The first report after connect is an info report with the version and the ranges.
    const Decoded info = lastReport(d);
    EXPECT_TRUE(info.info);
    EXPECT_EQ(info.model, c.model);
    EXPECT_EQ(info.v9, m.firmware);
    EXPECT_EQ(info.v11, std::lround(m.maxVoltage * m.volDiv));
    EXPECT_EQ(info.v13, std::lround(m.maxCurrent * m.curDiv));

    ASSERT_TRUE(d.keyStart(0, 0, c.amps, 0.5, 0));
    d.advance(2.0);
    const Decoded r = lastReport(d);
    EXPECT_FALSE(r.info);
    EXPECT_EQ(r.state, 1);
    EXPECT_EQ(r.mode, 0);
    // The model's unit: mA on code 40, A elsewhere.
    EXPECT_NEAR(r.current, c.amps, 0.002);
    EXPECT_NEAR(r.volts, d.channel(0).voltage, 0.01);
    EXPECT_LT(r.volts, d.battery(0).openCircuitVolts());
    EXPECT_EQ(r.v9, std::lround(c.amps * m.curDiv));
    EXPECT_EQ(r.v11, std::lround(0.5 * m.volDiv));
    if (m.usbMeter) {
      EXPECT_NEAR(r.capacity, 0.6, 1e-9); // D+ in the capacity field
    } else {
      EXPECT_NEAR(r.capacity, d.channel(0).capacityAh / m.ampsPerUnit, 0.001);
      EXPECT_GT(r.capacity, 0);
    }
    if (!m.usbMeter) {
      EXPECT_EQ(r.temp > 0, m.hasTemp && !m.twoChannel);
    }
  }
}

TEST(DeviceLogic, InfoReportsComeAfterConnectAndThenEveryFewReports) {
  DeviceConfig config;
  config.infoEvery = 3;
  DeviceLogic d(config);
  EXPECT_TRUE(d.reportFrames().isEmpty()); // silent until connected
  d.handle(decodeCommand(buildCommand(5)));
  QList<bool> infos;
  for (int i = 0; i < 7; ++i)
    infos.append(lastReport(d).info);
  EXPECT_EQ(infos, (QList<bool>{true, false, false, true, false, false, true}));
  d.handle(decodeCommand(buildCommand(6)));
  EXPECT_TRUE(d.reportFrames().isEmpty());
}

TEST(DeviceLogic, TwoChannelModelsReportBothChannels) {
  DeviceLogic d = connected(17);
  d.handle(decodeCommand(buildCommand(0xA1, 800, 3000, 0))); // channel 1, D-CC 0.8 A, 3 V
  d.advance(1.0);
  const QList<QByteArray> frames = d.reportFrames();
  ASSERT_EQ(frames.size(), 2);
  const Decoded ch0 = decode(frames[0], 1000, 301);
  const Decoded ch1 = decode(frames[1], 1000, 301);
  EXPECT_EQ(ch0.channel, 0);
  EXPECT_EQ(ch1.channel, 1);
  EXPECT_EQ(ch0.state, 0);
  EXPECT_EQ(ch1.state, 1);
  EXPECT_NEAR(ch1.current, 0.8, 1e-9);
  EXPECT_EQ(ch1.temp, 0);
}

TEST(DeviceLogic, DischargeEndsAtTheCutoffVoltageAndReportsIdle) {
  DeviceLogic d = connected(12);
  d.handle(decodeCommand(buildCommand(0x01, 200, 330, 0))); // D-CC 2 A to 3.30 V
  ASSERT_TRUE(d.channel(0).running);
  int seconds = 0;
  while (d.channel(0).running && seconds < 4 * 3600) {
    d.advance(1.0, 10.0);
    seconds += 10;
  }
  EXPECT_FALSE(d.channel(0).running);
  EXPECT_EQ(d.channel(0).endReason, "cutoff voltage");
  // Most of the 2 Ah came out before the loaded voltage reached 3.3 V.
  EXPECT_GT(d.channel(0).capacityAh, 1.5);
  EXPECT_LT(d.channel(0).capacityAh, 2.0);
  const Decoded r = lastReport(d);
  EXPECT_EQ(r.state, 0);
  EXPECT_EQ(r.current, 0);
  EXPECT_NEAR(r.capacity, d.channel(0).capacityAh, 0.001); // kept while idle
}

TEST(DeviceLogic, ConstantVoltageChargeEndsAtTheCutoffCurrent) {
  DeviceLogic d = connected(9, 0, 0.3);
  // C-CV: 2 A, 4.20 V, cutoff current 0.20 A in the time field.
  d.handle(decodeCommand(buildCommand(0x21, 200, 420, 20)));
  bool sawTail = false;
  for (int i = 0; i < 3000 && d.channel(0).running; ++i) {
    d.advance(1.0, 10.0);
    sawTail = sawTail || (d.channel(0).running && lastReport(d).state == 2);
  }
  EXPECT_FALSE(d.channel(0).running);
  EXPECT_EQ(d.channel(0).endReason, "cutoff current");
  EXPECT_TRUE(sawTail);
  EXPECT_GT(d.battery(0).stateOfCharge(), 0.9);
  EXPECT_LE(d.battery(0).openCircuitVolts(), 4.2);
}

TEST(DeviceLogic, ChemistryChargeTapersAndEnds) {
  DeviceLogic d = connected(1, 0, 0.2);
  // C-Liion (mode 3), 2 A, one cell.
  d.handle(decodeCommand(buildCommand(0x31, 200, 1, 0)));
  for (int i = 0; i < 3000 && d.channel(0).running; ++i)
    d.advance(1.0, 10.0);
  EXPECT_EQ(d.channel(0).endReason, "charged");
  EXPECT_GT(d.battery(0).stateOfCharge(), 0.95);
}

TEST(DeviceLogic, TimeLimitPowerAndVoltageModes) {
  // D-CC with a 2-minute limit ends on time.
  DeviceLogic d = connected(12);
  d.handle(decodeCommand(buildCommand(0x01, 100, 100, 2)));
  d.advance(119.0);
  EXPECT_TRUE(d.channel(0).running);
  d.advance(2.0);
  EXPECT_EQ(d.channel(0).endReason, "time limit");

  // D-CP at 8 W draws P / V.
  d.handle(decodeCommand(buildCommand(0x11, 8, 100, 0)));
  d.advance(1.0);
  EXPECT_NEAR(d.channel(0).current * d.channel(0).voltage, 8.0, 0.01);

  // D-CV holds the battery at 4.0 V with the current the resistance allows.
  DeviceLogic v = connected(12);
  v.handle(decodeCommand(buildCommand(0x41, 500, 400, 0)));
  v.advance(1.0);
  EXPECT_NEAR(v.channel(0).voltage, 4.0, 0.01);
  EXPECT_GT(v.channel(0).current, 0.5);
}

TEST(DeviceLogic, MaximumCurrentIsRespected) {
  DeviceLogic d = connected(17); // 2.5 A
  d.handle(decodeCommand(buildCommand(0x01, 9000, 2000, 0)));
  d.advance(1.0);
  EXPECT_NEAR(d.channel(0).current, 2.5, 1e-9);
}

TEST(DeviceLogic, StopAdjustContinueAndTime) {
  DeviceLogic d = connected(12);
  d.handle(decodeCommand(buildCommand(0x01, 100, 300, 0)));
  d.advance(60.0, 60.0); // one simulated hour at 1 A
  const double counted = d.channel(0).capacityAh;
  EXPECT_NEAR(counted, 1.0, 0.01);

  d.handle(decodeCommand(buildCommand(0x07, 150, 310, 0))); // adjust to 1.5 A, 3.10 V
  d.advance(1.0);
  EXPECT_NEAR(d.channel(0).current, 1.5, 1e-9);
  EXPECT_EQ(dataReport(d).v11, 310);
  EXPECT_EQ(dataReport(d).v9, 150);

  d.handle(decodeCommand(buildCommand(2)));
  EXPECT_FALSE(d.channel(0).running);
  EXPECT_EQ(lastReport(d).state, 0);

  d.handle(decodeCommand(buildCommand(0x08, 100, 300, 0))); // continue keeps the count
  d.advance(1.0);
  EXPECT_TRUE(d.channel(0).running);
  EXPECT_GT(d.channel(0).capacityAh, counted);
  d.handle(decodeCommand(buildCommand(0x01, 100, 300, 0))); // a fresh start does not
  EXPECT_EQ(d.channel(0).capacityAh, 0);

  d.handle(decodeCommand(buildCommand(10, 60))); // the PC says one hour has passed
  EXPECT_NEAR(d.channel(0).elapsedS, 3600, 1e-9);

  // Mode 3 sends no set or limit bytes: an adjust of its time alone still reaches the test.
  d.handle(decodeCommand(buildCommand(0x31, 0, 0, 90)));
  ASSERT_TRUE(d.channel(0).running);
  d.handle(decodeCommand(buildCommand(0x37, 0, 0, 12)));
  EXPECT_EQ(d.channel(0).timeRaw, 12);
}

TEST(DeviceLogic, CalibrationIsStoredByOkAndUndoneByReset) {
  DeviceLogic d = connected(12);
  d.advance(0.1);
  const double measured = d.channel(0).voltage; // 4.20 V
  // Low voltage point: the reference meter says 4.158 V (1 % lower).
  d.handle(decodeCommand(buildCommandBytes({0, 17, 78, 0, 0, 0}, 4)));
  EXPECT_NEAR(lastReport(d).volts, measured, 0.001); // pending until OK
  d.handle(decodeCommand(buildCommandBytes({4, 0, 0, 0, 0, 0}, 4)));
  EXPECT_NEAR(lastReport(d).volts, 4.158, 0.001);
  d.handle(decodeCommand(buildCommandBytes({5, 0, 0, 0, 0, 0}, 4)));
  EXPECT_NEAR(lastReport(d).volts, measured, 0.001);

  // Current point on a model whose current scale is ten times CurDiv (code 9: 1000 per A).
  DeviceLogic c = connected(9);
  c.handle(decodeCommand(buildCommand(0x01, 100, 300, 0)));
  c.advance(1.0);
  c.handle(decodeCommand(buildCommandBytes({2, 4, 50, 0, 0, 0}, 4))); // 1010 = 1.010 A
  c.handle(decodeCommand(buildCommandBytes({4, 0, 0, 0, 0, 0}, 4)));
  EXPECT_NEAR(lastReport(c).current, 1.01, 1e-9);
}

TEST(DeviceLogic, ResistanceDropAppearsInTheCapacityFieldWithinFourSeconds) {
  DeviceConfig config; // 50 mOhm cell
  DeviceLogic d(config);
  d.handle(decodeCommand(buildCommand(5)));
  d.handle(decodeCommand(buildCommand(9, 100))); // 100 x 10 mA on a CurDiv-100 model
  QList<double> fields;
  for (int s = 0; s < 5; ++s) {
    d.advance(1.0);
    fields.append(std::round(decode(d.reportFrames()[0], 100, 301).capacity * 1000));
  }
  // The capacity field reads 0.050 (the drop of 1 A through 50 mOhm) for a while, then 0 again.
  EXPECT_EQ(fields, (QList<double>{50, 50, 50, 0, 0}));

  // Refused while a test runs.
  DeviceLogic r(config);
  r.handle(decodeCommand(buildCommand(5)));
  r.handle(decodeCommand(buildCommand(0x01, 100, 300, 0)));
  r.handle(decodeCommand(buildCommand(9, 100)));
  r.advance(1.0);
  EXPECT_NEAR(decode(r.reportFrames()[0], 100, 301).capacity, r.channel(0).capacityAh, 0.001);
}

TEST(DeviceLogic, QuickChargeAndPumpExpressMoveTheUsbSource) {
  DeviceLogic d = connected(26, 320);
  const auto qc = [&](int code) { d.handle(decodeCommand(buildCommand(7, 0, 0, code + 10))); };
  const auto pe = [&](int code) { d.handle(decodeCommand(buildCommand(7, 0, 0, code + 20))); };
  struct Step {
    std::function<void()> act;
    double volts;
  } steps[] = {
      {[&] { qc(1); }, 9.0},  {[&] { qc(2); }, 12.0}, {[&] { qc(3); }, 20.0},
      {[&] { qc(0); }, 5.0},  {[&] { qc(5); }, 5.0}, // a QC3.0 step outside QC3.0 does nothing
      {[&] { qc(4); }, 5.0},  {[&] { qc(5); }, 5.2},  {[&] { qc(5); }, 5.4},
      {[&] { qc(6); }, 5.2},  {[&] { pe(1); }, 7.0},  {[&] { pe(1); }, 9.0},
      {[&] { pe(1); }, 12.0}, {[&] { pe(1); }, 12.0}, {[&] { pe(0); }, 9.0},
  };
  for (const Step& s : steps) {
    s.act();
    EXPECT_NEAR(d.usbVolts(), s.volts, 1e-9);
  }
  qc(1);
  d.advance(0.1);
  const Decoded r = lastReport(d);
  EXPECT_NEAR(r.volts, 9.0, 1e-9);
  EXPECT_NEAR(r.capacity, 3.3, 1e-9);    // D+
  EXPECT_NEAR(r.temp * 0.01, 0.6, 1e-9); // D- in mV: the 0.1 scale does not apply
}

TEST(DeviceLogic, MeterModeReportsTheSourceAndTheConsumer) {
  DeviceLogic d = connected(26, 320);
  ASSERT_TRUE(d.keyStart(0, 1, 0, 0, 0));
  d.advance(1.0);
  const Decoded r = lastReport(d);
  EXPECT_EQ(r.state, 1);
  EXPECT_EQ(r.mode, 1);
  EXPECT_NEAR(r.current, 0.5, 1e-9);
  EXPECT_NEAR(r.volts, 5.0 - 0.5 * 0.15, 0.001);

  QString error;
  EXPECT_FALSE(d.keyStart(0, 5, 1, 0, 0, &error));
  EXPECT_FALSE(error.isEmpty());
}

TEST(DeviceLogic, KeyStartRefusesValuesNoFrameCanCarry) {
  const double nan = std::nan("");
  const double inf = HUGE_VAL;
  struct Case {
    double set, limit, time;
  } cases[] = {
      {nan, 3, 0}, {1, nan, 0},  {1, 3, nan},  {inf, 3, 0}, {1, -inf, 0},
      {-1, 3, 0},  {1e12, 3, 0}, {1, 3, 1e12}, {576, 3, 0}, // 576 A x 100 > 57599
  };
  for (const Case& c : cases) {
    DeviceLogic d = connected(12);
    QString error;
    EXPECT_FALSE(d.keyStart(0, 0, c.set, c.limit, c.time, &error))
        << c.set << " " << c.limit << " " << c.time;
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(d.channel(0).running);
  }
  DeviceLogic d = connected(12);
  EXPECT_TRUE(d.keyStart(0, 0, 575.99, 3, 0)); // the largest set value that fits
}

} // namespace
} // namespace ondrel::sim
