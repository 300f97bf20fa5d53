#include "test/continuereplay.h"

#include "data/support/numberformat.h"
#include "support/printers.h"

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

TEST(ContinueReplay, SumsAndOffsets) {
  const struct {
    const char* what;
    std::vector<RecordingSample> samples;
    bool milliamps;
    qint64 charge, energy;
    const char16_t* capOffset;
    float lastCap, lastEnergy;
  } cases[] = {
      {"one line", {{120, 1.5, 3.7}}, false, 180'000, 666'000, u"0.050", 0.05f, 0.185f},
      // Curve points round to the nearest mAh; the offset keeps whole mAh only.
      {"each sample over the seconds since the one before",
       {{0, 1.0, 4.0}, {10, 1.0, 4.0}, {10, 2.0, 4.0}, {12, 2.0, 3.0}},
       false,
       14'000,
       52'000,
       u"0.003",
       0.004f,
       0.014f},
      {"milliamperes count as amperes / 1000",
       {{3600, 1500, 4.0}},
       true,
       5'400'000,
       21'600'000,
       u"1.500",
       1.5f,
       6.0f},
      // 100 A for eight hours: 800 Ah, beyond what a 32-bit mA·s sum holds.
      {"a long test",
       {{0, 100, 4}, {7200, 100, 4}, {14400, 100, 4}, {21600, 100, 4}, {28800, 100, 4}},
       false,
       2'880'000'000,
       11'520'000'000,
       u"800.000",
       800.0f,
       3200.0f},
      // 62.5 mA·s each second: every addition rounds its half to the even neighbour.
      {"halves to even",
       {{1, 0.0625, 2}, {2, 0.0625, 2}, {3, 0.0625, 2}, {4, 0.0625, 2}},
       false,
       248,
       500,
       u"0.000",
       0.0f,
       0.0f},
  };
  for (const auto& c : cases) {
    RecordingContent content;
    content.samples = c.samples;
    content.currentInMilliamps = c.milliamps;
    const ContinuePlan plan = planContinue(content);
    EXPECT_TRUE(plan.hasSamples) << c.what;
    EXPECT_EQ(plan.chargeMAs, c.charge) << c.what;
    EXPECT_EQ(plan.energyMWs, c.energy) << c.what;
    EXPECT_EQ(Format(plan.CapOffset, u"0.000"), QString::fromUtf16(c.capOffset)) << c.what;
    EXPECT_EQ(plan.lastTime, c.samples.back().time) << c.what;
    ASSERT_EQ(plan.points.size(), c.samples.size()) << c.what;
    for (size_t i = 0; i < c.samples.size(); ++i) {
      EXPECT_EQ(plan.points[i].time, c.samples[i].time) << c.what;
      EXPECT_EQ(plan.points[i].cur, float(c.samples[i].current)) << c.what;
      EXPECT_EQ(plan.points[i].volt, float(c.samples[i].voltage)) << c.what;
    }
    EXPECT_EQ(plan.points.back().capacityAh, c.lastCap) << c.what;
    EXPECT_EQ(plan.points.back().energyWh, c.lastEnergy) << c.what;
  }
}

TEST(ContinueReplay, CurvePointsFollowTheSums) {
  RecordingContent content;
  content.samples = {{0, 1.0, 4.0}, {10, 1.0, 4.0}, {10, 2.0, 4.0}, {12, 2.0, 3.0}};
  const ContinuePlan plan = planContinue(content);
  const float caps[] = {0.0f, 0.003f, 0.003f, 0.004f};     // 0, 10000, 10000, 14000 mA·s
  const float energies[] = {0.0f, 0.011f, 0.011f, 0.014f}; // 0, 40000, 40000, 52000 mW·s
  for (size_t i = 0; i < plan.points.size(); ++i) {
    EXPECT_EQ(plan.points[i].capacityAh, caps[i]) << i;
    EXPECT_EQ(plan.points[i].energyWh, energies[i]) << i;
  }
}

TEST(ContinueReplay, EmptyRecordingHasNothingToAverage) {
  const ContinuePlan plan = planContinue(RecordingContent{});
  EXPECT_FALSE(plan.hasSamples);
  EXPECT_TRUE(plan.points.empty());
  EXPECT_EQ(plan.lastTime, 0);
  EXPECT_EQ(plan.CapOffset, 0.0f);
}

TEST(ContinueReplay, ReplaysARecordingAsRead) {
  const RecordingContent content =
      parseRecording("-----------Ondrel Tester Software------------\r\n"
                     "Device:KC-10\r\nTime(S)\tCur(mA)\tVol(V)\r\n"
                     "120\t1500.000\t3.700\r\nbad line\r\n"
                     "60\t1500.000\t3.700\r\n180\t1500\t3.6\r\n");
  const ContinuePlan plan = planContinue(content);
  ASSERT_EQ(plan.points.size(), 2u);
  EXPECT_EQ(plan.points[0].cur, 1500.0f);
  EXPECT_EQ(plan.chargeMAs, 270'000); // 1.5 A over 120 s, then over 60 s
  EXPECT_EQ(Format(plan.CapOffset, u"0.000"), QStringLiteral("0.075"));
  EXPECT_EQ(plan.lastTime, 180);
}

} // namespace
