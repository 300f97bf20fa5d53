#include "test/stepengine.h"

#include "support/identifiedmodel.h"
#include "support/steptable.h"

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::identifiedModel;
using ondrel::testing::kLoadModes;
using ondrel::testing::stepProgram;

namespace {

// A channel behind the engine: a pressed Start runs it (unless it never starts) for `runTicks`
// ticks, then the device stops it by itself. Records what the controller would show.
struct FakeProgram {
  ModelParams model = identifiedModel(12);
  QStringList modes = kLoadModes;
  StepTable table;
  StepEngine engine;
  bool starts = true;
  int runTicks = 3;
  bool running = false;
  int left = 0;
  int presses = 0;
  int stops = 0;
  bool ended = false;
  std::vector<QStringList> results{{}};
  std::map<int, quint32> colours;
  int ticks = 0;

  void tick() {
    ++ticks;
    if (running && --left < 0)
      running = false; // the device's own end
    for (const StepAction& a : engine.tick({running, running}, table, modes, model)) {
      switch (a.kind) {
      case StepAction::StopChannel:
        ++stops;
        running = false;
        break;
      case StepAction::ResultRow:
        results.back() = {a.text, a.mode, "", ""};
        break;
      case StepAction::ResultValues:
        results.back()[2] = a.wait ? "0" : "cap";
        break;
      case StepAction::PressStart:
        ++presses;
        if (starts) {
          running = true;
          left = runTicks;
        }
        break;
      case StepAction::ColourRow:
        colours[a.row] = a.colour;
        break;
      case StepAction::NextResultRow:
        results.push_back({});
        break;
      case StepAction::EndProgram:
        engine.stop();
        ended = true;
        break;
      case StepAction::SetUpStep:
        break;
      }
    }
  }
  // Ticks an already started program to its end.
  void toEnd(int maxTicks = 100000) {
    while (!ended && ticks < maxTicks)
      tick();
  }
  QStringList stepNames() const {
    QStringList out;
    for (const QStringList& r : results)
      out << (r.isEmpty() ? QString() : r[0]);
    return out;
  }
};

TEST(StepEngine, ACycleRowRunsTheStepsAgainForEachPass) {
  FakeProgram f;
  f.table = stepProgram({{"D-CC", "1.00", "3.00", "0"}, {"Cycle", "0.00", "0.00", "3"}});
  f.engine.start();
  f.toEnd();
  EXPECT_TRUE(f.ended);
  EXPECT_EQ(f.stepNames(), (QStringList{"1-1", "1-2", "1-3"}));
  EXPECT_EQ(f.presses, 3);
  EXPECT_EQ(f.results.back()[1], QStringLiteral("D-CC"));
  EXPECT_FALSE(f.engine.StepOn());
}

TEST(StepEngine, AStepThatNeverStartsIsPressedFiveTimesThenSkipped) {
  FakeProgram f;
  f.starts = false;
  f.table = stepProgram({{"D-CC", "1.00", "3.00", "0"}, {"Wait", "0.00", "0.00", "0"}});
  f.engine.start();
  f.tick(); // phase 0: set up and pressed
  EXPECT_EQ(f.presses, 1);
  for (int i = 0; i < StepEngine::kRetryTicks; ++i)
    f.tick();
  EXPECT_EQ(f.presses, 5);
  EXPECT_EQ(f.engine.StepPhase(), 2);
  f.tick(); // ended: on to the wait
  EXPECT_EQ(f.engine.StepNo(), 2);
  f.toEnd();
  EXPECT_EQ(f.presses, 5);
  EXPECT_EQ(f.stepNames(), (QStringList{"1-1", "2-1"}));
}

TEST(StepEngine, AWaitOfZeroEndsAfterOneTickAndAMinuteAfterSixty) {
  const struct {
    const char* minutes;
    int phaseOneTicks;
  } cases[] = {{"0", 1}, {"1", 60}};
  for (const auto& c : cases) {
    FakeProgram f;
    f.table = stepProgram({{"Wait", "0.00", "0.00", c.minutes}});
    f.engine.start();
    f.tick(); // phase 0
    EXPECT_EQ(f.engine.StepLimitSec(), c.phaseOneTicks > 1 ? 60 : 0);
    int n = 0;
    while (f.engine.StepPhase() == 1) {
      f.tick();
      ++n;
    }
    EXPECT_EQ(n, c.phaseOneTicks) << c.minutes;
    f.tick();
    EXPECT_TRUE(f.ended);
    EXPECT_EQ(f.results[0], (QStringList{"1-1", "Wait", "0", ""}));
    EXPECT_EQ(f.colours[1], kStepWaitColour);
  }
}

TEST(StepEngine, TheTimeLimitStopsADischargeAfterItsRunningSeconds) {
  FakeProgram f;
  f.runTicks = 100000; // the device would go on
  f.table = stepProgram({{"D-CC", "1.00", "3.00", "2"}});
  f.engine.start();
  f.tick(); // phase 0, started
  int running = 0;
  while (f.stops == 0 && running < 1000) {
    f.tick();
    ++running;
  }
  EXPECT_EQ(running, 120);
  EXPECT_EQ(f.engine.StepSec(), 120);
  f.tick();
  EXPECT_TRUE(f.ended);

  // The constant-voltage charge of a cutoff-current model has no PC time limit.
  FakeProgram cv;
  cv.model = identifiedModel(9); // KC-03: D-CC, D-CP, C-CV with a cutoff current
  cv.modes = {"D-CC", "D-CP", "C-CV"};
  cv.table = stepProgram({{"C-CV", "1.00", "4.20", "0.10"}});
  cv.engine.start();
  cv.tick();
  EXPECT_EQ(cv.engine.StepLimitSec(), 0);
  EXPECT_EQ(cv.colours[1], kStepChargeColour);
}

TEST(StepEngine, TenStepsEndAfterTheTenthAndOnlyTheFirstFiveRowsAreColoured) {
  FakeProgram f;
  f.runTicks = 1;
  for (StepRow& r : f.table)
    r = {"D-CC", "1.00", "3.00", "0"};
  std::map<int, int> colouredAs; // row -> times given the discharge colour
  f.engine.start();
  while (!f.ended && f.ticks < 1000) {
    f.colours.clear();
    f.tick();
    for (const auto& [row, colour] : f.colours) {
      EXPECT_LE(row, kColouredStepRows);
      if (colour == kStepDischargeColour)
        ++colouredAs[row];
    }
  }
  EXPECT_TRUE(f.ended);
  EXPECT_EQ(f.results.size(), 10u);
  EXPECT_EQ(f.results.back()[0], QStringLiteral("10-1"));
  EXPECT_EQ(colouredAs, (std::map<int, int>{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}}));
}

TEST(StepEngine, PhaseZeroActionsInOrder) {
  FakeProgram f;
  f.table = stepProgram({{"D-CP", "10", "3.00", "0"}});
  f.engine.start();
  const auto actions = f.engine.tick({false, false}, f.table, f.modes, f.model);
  ASSERT_GE(actions.size(), 4u);
  EXPECT_EQ(actions[0], StepAction::resultRow("1-1", "D-CP"));
  EXPECT_EQ(actions[1], StepAction::setUpStep(1, 1));
  EXPECT_EQ(actions[2], StepAction::of(StepAction::PressStart));
  EXPECT_EQ(actions[3], StepAction::resultValues(false));
  EXPECT_TRUE(f.engine.StepRunning());
  EXPECT_EQ(f.engine.StepPhase(), 1);
}

TEST(StepEngine, ResultTexts) {
  EXPECT_EQ(stepResultText(0.1234f), QStringLiteral("0.123"));
  EXPECT_EQ(stepResultText(9.9994f), QStringLiteral("9.999"));
  EXPECT_EQ(stepResultText(10.0f), QStringLiteral("10.00"));
  EXPECT_EQ(stepResultText(12.345f), QStringLiteral("12.35"));
}

} // namespace
