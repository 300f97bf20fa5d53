#include "test/autostepper.h"

#include "data/recording.h"
#include "support/identifiedmodel.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ondrel;
using ondrel::testing::identifiedModel;

namespace {

using A = AutoAction;

// A device that follows the set current at once and runs until told otherwise: every tick reads
// the current sent last. Records what happened to the result table.
struct FakeAutoRun {
  AutoStepper stepper;
  bool running = true;
  float current = 0.0f;
  int row = 1;
  std::map<int, float> rows; // row -> current written into it
  std::vector<float> sent;
  bool finished = false;
  bool stopped = false;

  void start(float from, float to, float step, int interval) {
    stepper.start(from, to, step, interval);
    current = from;
  }
  void tick() {
    for (const AutoAction& a : stepper.tick({running, current})) {
      switch (a.kind) {
      case A::SetCurrent:
        sent.push_back(a.current);
        current = a.current;
        break;
      case A::WriteRow:
        rows[row] = current;
        break;
      case A::NextRow:
        ++row;
        break;
      case A::Finish:
        finished = true;
        break;
      case A::StopChannel:
        stopped = true;
        running = false;
        break;
      }
    }
  }
  int runToEnd(int maxTicks = 1000) {
    int n = 0;
    while (!finished && n < maxTicks) {
      tick();
      ++n;
    }
    return n;
  }
};

TEST(AutoStepper, RisingStepsThroughEachCurrentAndStopsPastTheStopCurrent) {
  FakeAutoRun run;
  run.start(0.1f, 0.3f, 0.1f, 2);
  const int ticks = run.runToEnd();
  EXPECT_EQ(ticks, 6); // two seconds per step
  EXPECT_TRUE(run.stopped);
  ASSERT_EQ(run.rows.size(), 3u);
  EXPECT_FLOAT_EQ(run.rows[1], 0.1f);
  EXPECT_FLOAT_EQ(run.rows[2], 0.2f);
  EXPECT_FLOAT_EQ(run.rows[3], 0.3f); // the last reading of the 0.3 step stays in row 3
  ASSERT_EQ(run.sent.size(), 2u);     // the start command carried 0.1
  EXPECT_FLOAT_EQ(run.sent[0], 0.2f);
  EXPECT_FLOAT_EQ(run.sent[1], 0.3f);
  EXPECT_GT(run.stepper.AutoCur(), 0.31f);
}

TEST(AutoStepper, FallingStepsDownAndStopsBelowTheMargin) {
  FakeAutoRun run;
  run.start(1.0f, 0.5f, 0.1f, 1);
  run.runToEnd();
  EXPECT_FALSE(run.stepper.AutoUp());
  ASSERT_EQ(run.rows.size(), 6u); // 1.0, 0.9 ... 0.5
  for (int r = 1; r <= 6; ++r)
    EXPECT_NEAR(run.rows[r], 1.1f - 0.1f * r, 1e-5) << r;
  EXPECT_LT(run.stepper.AutoCur(), 0.49f);
  EXPECT_TRUE(run.stopped);
}

TEST(AutoStepper, TheCompletingTickWritesTheRowAndStopsInTheOrderTheTableNeeds) {
  AutoStepper s;
  s.start(0.5f, 0.5f, 0.1f, 1);
  EXPECT_EQ(s.tick({true, 0.5f}),
            (std::vector<A>{{A::WriteRow}, {A::Finish}, {A::StopChannel}, {A::WriteRow}}));
}

TEST(AutoStepper, TheSetCurrentIsSentAtAStepsFirstTickOnlyWhenTheReadoutDiffers) {
  AutoStepper s;
  s.start(1.0f, 2.0f, 0.5f, 3);
  EXPECT_EQ(s.tick({true, 0.98f}), (std::vector<A>{{A::SetCurrent, 1.0f}, {A::WriteRow}}));
  EXPECT_EQ(s.tick({true, 0.98f}), std::vector<A>{{A::WriteRow}}); // not at the step's 2nd tick
  EXPECT_EQ(s.tick({true, 1.0f}),
            (std::vector<A>{{A::WriteRow}, {A::NextRow}, {A::SetCurrent, 1.5f}}));
  EXPECT_EQ(s.tick({true, 1.5f}), std::vector<A>{{A::WriteRow}});
}

TEST(AutoStepper, ADeviceThatStopsEndsTheTestAndLeavesTheRowsAsTheyWere) {
  FakeAutoRun run;
  run.start(0.1f, 1.0f, 0.1f, 2);
  for (int i = 0; i < 5; ++i)
    run.tick();
  const auto rows = run.rows;
  run.running = false; // cutoff voltage reached
  run.current = 0.0f;
  run.tick();
  EXPECT_TRUE(run.finished);
  EXPECT_FALSE(run.stopped); // nothing to stop
  EXPECT_EQ(run.rows, rows);
}

TEST(AutoStepper, AChannelNotYetReportedRunningIsWaitedForThenStopped) {
  // A slow first report: the test waits and then goes on normally.
  AutoStepper slow;
  slow.start(0.1f, 0.3f, 0.1f, 2);
  for (int i = 0; i < AutoStepper::kStartTicks - 1; ++i)
    EXPECT_TRUE(slow.tick({false, 0.0f}).empty()) << i;
  EXPECT_EQ(slow.tick({true, 0.1f}), std::vector<A>{{A::WriteRow}});
  EXPECT_EQ(slow.AutoTick(), 1); // the step's time counts from the first running report

  // A channel that never runs: given up and stopped, in case it starts later.
  AutoStepper never;
  never.start(0.1f, 0.3f, 0.1f, 2);
  for (int i = 0; i < AutoStepper::kStartTicks - 1; ++i)
    EXPECT_TRUE(never.tick({false, 0.0f}).empty()) << i;
  EXPECT_EQ(never.tick({false, 0.0f}), (std::vector<A>{{A::Finish}, {A::StopChannel}}));
}

TEST(AutoStepper, IntervalFromTheTimeBox) {
  EXPECT_EQ(autoIntervalSeconds(QStringLiteral("2"), true), 2);
  EXPECT_EQ(autoIntervalSeconds(QStringLiteral("1"), false), 60);
  EXPECT_EQ(autoIntervalSeconds(QStringLiteral("100"), false), 6000);
  for (const char* bad : {"", "x", "0", "-2", "600"}) {
    const bool seconds = QLatin1String(bad) != QLatin1String("600");
    EXPECT_ANY_THROW(autoIntervalSeconds(QLatin1String(bad), seconds)) << bad;
  }
}

TEST(AutoStepper, PageListsByModel) {
  const AutoPageLists plain = autoPageLists(identifiedModel(12)); // 10 A
  ASSERT_EQ(plain.currents.size(), 100);
  EXPECT_EQ(plain.currents.front(), QStringLiteral("0.1"));
  EXPECT_EQ(plain.currents.back(), QStringLiteral("10.0"));
  EXPECT_EQ(plain.steps.size(), 10);
  EXPECT_EQ(plain.steps.back(), QStringLiteral("1.0"));
  EXPECT_EQ(plain.current, QStringLiteral("0.1"));
  EXPECT_EQ(plain.step, QStringLiteral("0.1"));
  ASSERT_EQ(plain.times.size(), 50);
  EXPECT_EQ(plain.times.front(), QStringLiteral("2"));
  EXPECT_EQ(plain.times.back(), QStringLiteral("100"));
  EXPECT_EQ(plain.time, QStringLiteral("2"));

  const AutoPageLists fine = autoPageLists(identifiedModel(35)); // 1 A in 0.01 A
  ASSERT_EQ(fine.currents.size(), 100);
  EXPECT_EQ(fine.currents.front(), QStringLiteral("0.01"));
  EXPECT_EQ(fine.currents.back(), QStringLiteral("1.00"));
  EXPECT_EQ(fine.steps.size(), 100);
  EXPECT_EQ(fine.current, QStringLiteral("0.01"));
}

TEST(AutoStepper, ResultFileLinesAndFullTableRows) {
  const std::vector<QStringList> rows = {{"Index", "Curr(A)", "Volt(V)", "Pwr(W)"},
                                         {"1", "0.10", "4.10", "0.4"}};
  EXPECT_EQ(autoResultLines("Device", "KL-F2", rows, ","),
            (QStringList{"Device:KL-F2", "Mode:Auto Test", QLatin1String(kBannerLine),
                         "Index,Curr(A),Volt(V)", "1,0.10,4.10"}));
  EXPECT_EQ(autoResultLines("Device", "KL-F2", rows, "\t").last(), QStringLiteral("1\t0.10\t4.10"));
  EXPECT_EQ(fullAutoListRows(0), 41);
  EXPECT_EQ(fullAutoListRows(40), 41); // rows 0..39
  EXPECT_EQ(fullAutoListRows(41), 42); // row 40 copied: one more
  EXPECT_EQ(fullAutoListRows(60), 61);
}

} // namespace
