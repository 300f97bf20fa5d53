#include "data/liveupdate.h"
#include "data/support/langtext.h"

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

ModelParams model(int code, float maxV = 30, float maxI = 10, int volDiv = 100, int curDiv = 100) {
  ModelParams p;
  p.ModelCode = static_cast<qint16>(code);
  p.caps = modelCaps(code);
  p.MaxVoltage = maxV;
  p.MaxCurrent = maxI;
  p.VolDiv = static_cast<qint16>(volDiv);
  p.CurDiv = static_cast<qint16>(curDiv);
  return p;
}

TEST(LiveUpdate, ValidityGateAtItsLimits) {
  const ModelParams p = model(12, 12.0f, 10.0f);
  const struct {
    float volt, cur, temp;
    bool accepted;
  } cases[] = {
      {12.0f, 1.0f, 25.0f, true},   {12.001f, 1.0f, 25.0f, false}, {5.0f, 10.0f, 25.0f, true},
      {5.0f, 10.01f, 25.0f, false}, {5.0f, 1.0f, 100.0f, true},    {5.0f, 1.0f, 100.1f, false},
  };
  for (const auto& c : cases) {
    ChannelData ch;
    ch.Volt = c.volt, ch.Cur = c.cur, ch.Temp = c.temp;
    EXPECT_EQ(sampleAccepted(ch, p), c.accepted) << c.volt << " " << c.cur << " " << c.temp;
  }
  ChannelData ch;
  ch.Volt = 12.001f, ch.Cur = 1.5f, ch.Temp = 20.0f;
  EXPECT_EQ(rejectedSampleTag(0, ch, p), QStringLiteral("ErrData0 12.001-12 1.5-10"));
  EXPECT_EQ(failedUpdateTag(3, ch), QStringLiteral("ErrData3 12.001 1.5 20"));
}

TEST(LiveUpdate, ReadoutPictures) {
  const struct {
    ModelParams p;
    float volt;
    const char* picture;
  } volts[] = {
      {model(19), 4.49f, "0.000"},  {model(1), 4.49f, "00.00"},
      {model(12), 100.0f, "000.0"}, {model(17, 15, 2.5, 1000, 1000), 9.0f, "0.000"},
      {model(26), 5.1f, "0.000"},   {model(26), 12.0f, "00.00"},
      {model(40), 4.5f, "00.00"},
  };
  for (const auto& c : volts)
    EXPECT_EQ(voltagePicture(c.volt, c.p), QString::fromLatin1(c.picture))
        << c.p.ModelCode << " " << c.volt;

  EXPECT_EQ(currentPicture(12.0f, model(40)), QStringLiteral("0.00"));
  EXPECT_EQ(currentPicture(9.0f, model(40)), QStringLiteral("0.000"));
  EXPECT_EQ(currentPicture(9.0f, model(12)), QStringLiteral("00.00"));
  EXPECT_EQ(currentPicture(9.0f, model(17, 15, 2.5, 1000, 1000)), QStringLiteral("0.000"));
  EXPECT_EQ(powerPicture(1000.0f), QStringLiteral("0000"));
  EXPECT_EQ(powerPicture(100.0f), QStringLiteral("000.0"));
  EXPECT_EQ(powerPicture(99.9f), QStringLiteral("00.00"));
}

TEST(LiveUpdate, GridAndTimeTexts) {
  const ModelCaps amps = modelCaps(12);
  EXPECT_EQ(capacityText(9.5f, amps), QStringLiteral("9500mAh"));
  EXPECT_EQ(capacityText(10.0f, amps), QStringLiteral("10.00Ah"));
  EXPECT_EQ(energyText(0.0f, amps), QStringLiteral("0mWh"));
  EXPECT_EQ(energyText(12.345f, amps), QStringLiteral("12.35Wh"));
  // A milliampere model (KC-10) counts in mAh and mWh already.
  const ModelCaps milliamps = modelCaps(40);
  EXPECT_EQ(capacityText(0.999f, milliamps), QStringLiteral("0.999mAh"));
  EXPECT_EQ(capacityText(12.5f, milliamps), QStringLiteral("12.50mAh"));
  EXPECT_EQ(energyText(3.5445f, milliamps), QStringLiteral("3.545mWh"));
  EXPECT_EQ(energyText(0.0f, milliamps), QStringLiteral("0.000mWh"));
  EXPECT_EQ(testTimeText(3723), QStringLiteral("01:02:03"));
  EXPECT_EQ(testTimeText(360000), QStringLiteral("100:00:00"));
  EXPECT_EQ(versionText(320), QStringLiteral("V3.20"));
  EXPECT_EQ(versionText(0), QString());
  for (auto [sec, sends] :
       {std::pair{60, true}, {0, false}, {61, false}, {65520, true}, {65580, false}})
    EXPECT_EQ(sendsElapsedTime(sec), sends) << sec;
}

TEST(LiveUpdate, MeterDataLinesAreHiddenWhileTheTriggerWindowIsOpen) {
  EXPECT_EQ(dataLineText(0.6f, false), QStringLiteral("0.600"));
  EXPECT_EQ(dataLineText(3.3004f, false), QStringLiteral("3.300"));
  EXPECT_EQ(dataLineText(0.6f, true), QStringLiteral("-.---"));
}

TEST(LiveUpdate, InfoRows) {
  setLanguageSetting(0);
  EXPECT_EQ(runStateRow(QStringLiteral("Channel"), 1, true), QStringLiteral("Channel1: START "));
  EXPECT_EQ(runStateRow(QStringLiteral("Channel"), 2, false), QStringLiteral("Channel2: STOP "));
  EXPECT_EQ(temperatureRow(0, 25.04f), QStringLiteral("Temp1: 25.0 ℃ "));
}

TEST(LiveUpdate, EnergyNeverDecreases) {
  ChannelData ch;
  ch.Cap = 1.0f;
  growEnergy(ch, 4.0);
  EXPECT_FLOAT_EQ(ch.Energy, 4.0f);
  ch.Cap = 1.01f;
  growEnergy(ch, 3.5); // the average fell faster than the capacity grew
  EXPECT_FLOAT_EQ(ch.Energy, 4.0f);
}

TEST(LiveUpdate, AverageVoltageCountsOnlyTheTestsPoints) {
  ChannelData ch;
  ch.StartPoint = 10;
  ch.VoltSum = 7.5;
  EXPECT_DOUBLE_EQ(averageVoltage(ch, 12), 3.75);
  EXPECT_LT(averageVoltage(ch, 10), 0.0);
}

TEST(LiveUpdate, MeterCapacityIntegratesWholeSeconds) {
  ChannelData ch;
  ch.Cur = 3.6f;
  ch.TestSec = 10;
  integrateMeterCapacity(ch);
  EXPECT_FLOAT_EQ(ch.Cap, 0.01f);
  EXPECT_EQ(ch.CapTick, 10);
  integrateMeterCapacity(ch); // same second: nothing more
  EXPECT_FLOAT_EQ(ch.Cap, 0.01f);
}

TEST(LiveUpdate, AxisExtremesWiden) {
  AxisExtremes a;
  a.max = {4.0f, 1.0f, 30.0f};
  a.min = {3.5f, 0.5f, 20.0f};
  widenAxis(a, 0, 4.12f);
  EXPECT_FLOAT_EQ(a.max[0], 4.2f); // rounded to one decimal
  widenAxis(a, 0, 4.05f);          // within the margin: unchanged
  EXPECT_FLOAT_EQ(a.max[0], 4.2f);
  widenAxis(a, 0, 3.0f);
  EXPECT_FLOAT_EQ(a.min[0], 2.9f);
  widenAxis(a, 1, 0.05f);
  EXPECT_EQ(a.min[1], 0.0f);
  widenAxis(a, 2, 35.0f);
  EXPECT_FLOAT_EQ(a.max[2], 36.0f);
  widenAxis(a, 2, 0.5f);
  EXPECT_EQ(a.min[2], 0.0f);
}

TEST(LiveUpdate, FitAxes) {
  EXPECT_EQ(fitMaxX(10, 100), 130);
  EXPECT_EQ(fitMaxX(104, 100), 130);
  EXPECT_EQ(fitMaxX(120, 100), 120);
  EXPECT_EQ(fitMaxX(500, 100), 130);

  // r = 0.6 → m = 12 mod 10 = 2: widened by 8 steps.
  auto [lo, hi] = fitVoltageRange(3.5f, 4.1f);
  EXPECT_NEAR(lo, 3.5 - 0.2, 1e-6);
  EXPECT_NEAR(hi, 4.1 + 0.2, 1e-6);
  std::tie(lo, hi) = fitVoltageRange(0.0f, 4.1f);
  EXPECT_NEAR(lo, 0.0, 1e-6);
  EXPECT_NEAR(hi, 4.1 + 0.4, 1e-6);
  std::tie(lo, hi) = fitVoltageRange(3.0f, 4.0f); // a whole multiple already
  EXPECT_NEAR(hi, 4.0, 1e-6);

  std::tie(lo, hi) = fitCurrentRange(0.0f, 1.2f, modelCaps(12)); // m = 24 mod 10 = 4
  EXPECT_NEAR(lo, 0.0, 1e-6);
  EXPECT_NEAR(hi, 1.2 + 6 * 0.05, 1e-6);
  std::tie(lo, hi) = fitCurrentRange(0.9f, 1.2f, modelCaps(12)); // m = 6
  EXPECT_NEAR(lo, 0.9 - 4 * 0.025, 1e-6);
  EXPECT_NEAR(hi, 1.2 + 4 * 0.025, 1e-6);
  std::tie(lo, hi) = fitCurrentRange(0.0f, 0.12f, modelCaps(35)); // step 0.05: m = 24 mod 10
  EXPECT_NEAR(hi, 0.12 + 6 * 0.005, 1e-6);
}

} // namespace
