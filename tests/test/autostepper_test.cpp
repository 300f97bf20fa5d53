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

// Start takes the page only when every current is the model's and the steps reach the stop
// current; an accepted page runs to its end without leaving the model's range.
TEST(AutoStepper, StartChecksThePageAgainstTheModel) {
  const QString invalid = QStringLiteral("Invalid value!");
  const QString range = QStringLiteral("Setting value out of range!");
  const struct {
    const char* what;
    int code; // 12: KL-F2, 0.1..10 A; 13: KL-F3, 0.2..30 A
    const char *from, *to, *step, *time;
    const QString* refusal;
  } cases[] = {
      {"rising", 12, "0.1", "0.3", "0.1", "2", nullptr},
      {"falling", 12, "1.0", "0.5", "0.1", "1", nullptr},
      {"the model's own limits", 13, "0.2", "30", "1", "2", nullptr},
      {"one current, the page's defaults", 12, "0.1", "0.1", "0.1", "2", nullptr},
      {"a step of the whole span", 12, "0.1", "0.3", "0.2", "2", nullptr},
      {"start above the maximum", 12, "50", "1", "1", "2", &range},
      {"stop above the maximum", 12, "1", "10.01", "1", "2", &range},
      {"start below the minimum", 13, "0.1", "1", "0.1", "2", &range},
      {"stop below the minimum", 12, "1", "0.05", "0.1", "2", &range},
      {"a step of 0", 12, "0.1", "0.3", "0", "2", &range},
      {"a negative step falling", 12, "1.0", "0.5", "-0.1", "2", &range},
      {"a negative step rising", 12, "0.5", "1.0", "-0.1", "2", &range},
      {"a step beyond the span", 12, "0.1", "0.3", "0.21", "2", &range},
      {"a step length of 0", 12, "0.1", "0.3", "0.1", "0", &range},
      {"a start that is no number", 12, "x", "0.3", "0.1", "2", &invalid},
      {"a stop that is no number", 12, "0.1", "", "0.1", "2", &invalid},
      {"a step that is no number", 12, "0.1", "0.3", "1,5", "2", &invalid},
      {"a time that is no number", 12, "0.1", "0.3", "0.1", "two", &invalid},
  };
  for (const auto& c : cases) {
    const ModelParams m = identifiedModel(c.code);
    const AutoStartCheck check =
        checkAutoStart(m, {QLatin1String(c.from), QLatin1String(c.to), QLatin1String(c.step),
                           QLatin1String(c.time), true});
    if (c.refusal) {
      EXPECT_EQ(check.refusal, *c.refusal) << c.what;
      continue;
    }
    ASSERT_FALSE(check.refusal) << c.what << ": " << check.refusal->toStdString();
    const AutoSettings& s = check.settings;
    EXPECT_FLOAT_EQ(s.startCurrent, QString::fromLatin1(c.from).toFloat()) << c.what;
    EXPECT_FLOAT_EQ(s.stopCurrent, QString::fromLatin1(c.to).toFloat()) << c.what;
    FakeAutoRun run;
    run.start(s.startCurrent, s.stopCurrent, s.step, s.interval);
    EXPECT_LT(run.runToEnd(), 1000) << c.what;
    for (float sent : run.sent) {
      EXPECT_LE(sent, m.MaxCurrent) << c.what;
      EXPECT_GE(sent, m.MinCurrent) << c.what;
    }
  }
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
