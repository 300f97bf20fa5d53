#include "test/usbtrigger.h"

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

// The requests as byte 7 would carry them: QC codes + 10, pump-express codes + 20.
struct Requests : TriggerLink {
  std::vector<int> sent;
  void RemoteQC(int code) override { sent.push_back(code + 10); }
  void RemotePE(int code) override { sent.push_back(code + 20); }
  std::vector<int> take() { return std::exchange(sent, {}); }
};

// A clock stepped by hand: the ramp's timer fires once for every full interval that passes
// while it runs, counted from its start.
struct FakeClock : TriggerTimer {
  UsbTrigger* trigger = nullptr;
  int interval = 0;
  int sinceStart = -1; // -1: stopped
  void start(int ms) override {
    interval = ms;
    sinceStart = 0;
  }
  void stop() override { sinceStart = -1; }
  bool isActive() const override { return sinceStart >= 0; }
  void advance(int ms) {
    for (; ms > 0 && isActive(); --ms)
      if (++sinceStart % interval == 0)
        trigger->rampTick();
  }
};

struct Trigger {
  Requests link;
  FakeClock clock;
  UsbTrigger t;
  explicit Trigger(int level = qc::Level5V) : t(link, clock, level) { clock.trigger = &t; }
};

using Bytes = std::vector<int>;

TEST(UsbTrigger, OpeningLevelFollowsTheShownVoltage) {
  const struct {
    const char* text;
    int level;
  } cases[] = {{"0.000", 0},     {"5.123", 0}, {"8.000", 0}, {"8.001", 1},
               {"10.00", 1},     {"10.01", 2}, {"18.00", 2}, {"18.1", 3},
               {"20.00", 3},     {" 9.0 ", 1}, {"", 0},      {"-.---", 0},
               {"No Device", 0}, {"12V", 0},   {"nan", 0},   {"-12.0", 0}};
  for (const auto& c : cases)
    EXPECT_EQ(openingLevel(QString::fromLatin1(c.text)), c.level) << c.text;
}

TEST(UsbTrigger, OpeningSendsNothingAndChoicesSendTheirRequests) {
  Trigger tr(qc::Level12V);
  EXPECT_TRUE(tr.link.sent.empty());
  EXPECT_EQ(tr.t.QcLevel(), 2);
  EXPECT_EQ(tr.t.protocol(), QcProtocol::Qc2);
  EXPECT_EQ(tr.t.stepping(), QcStepping::Manual);

  tr.t.chooseLevel(qc::Level9V);
  tr.t.chooseLevel(qc::Level9V); // chosen again: asked again
  tr.t.chooseLevel(qc::Level20V);
  tr.t.chooseLevel(qc::Level5V);
  tr.t.chooseLevel(7); // no such option
  EXPECT_EQ(tr.link.take(), (Bytes{11, 11, 13, 10}));
  EXPECT_EQ(tr.t.QcLevel(), 0);

  tr.t.chooseProtocol(QcProtocol::Qc3);
  tr.t.pumpExpressUp();
  tr.t.pumpExpressDown();
  tr.t.chooseLevel(qc::Level12V);
  tr.t.chooseProtocol(QcProtocol::Qc2); // back to the level last asked for
  EXPECT_EQ(tr.link.take(), (Bytes{14, 21, 20, 12, 12}));
}

TEST(UsbTrigger, Qc2StepsMoveTheLevelAndStopAtItsEnds) {
  Trigger tr(qc::Level12V);
  tr.t.increase();
  EXPECT_EQ(tr.t.QcLevel(), 3);
  tr.t.increase(); // at 20 V: nothing
  tr.t.increase();
  EXPECT_EQ(tr.t.QcLevel(), 3);
  for (int i = 0; i < 5; ++i)
    tr.t.decrease(); // down to 5 V, then nothing
  EXPECT_EQ(tr.t.QcLevel(), 0);
  EXPECT_EQ(tr.link.take(), (Bytes{13, 12, 11, 10}));
  tr.clock.advance(10000);
  EXPECT_TRUE(tr.link.sent.empty()); // no ramp in QC2.0, even with "Auto" chosen
  tr.t.chooseStepping(QcStepping::Auto);
  tr.t.increase();
  EXPECT_FALSE(tr.t.rampRunning());
  EXPECT_EQ(tr.link.take(), Bytes{11});
}

TEST(UsbTrigger, Qc3ManualSendsOneStepPerPress) {
  Trigger tr;
  tr.t.chooseProtocol(QcProtocol::Qc3);
  tr.t.increase();
  tr.t.increase();
  tr.t.decrease();
  tr.clock.advance(5000);
  EXPECT_EQ(tr.link.take(), (Bytes{14, 15, 15, 16}));
  EXPECT_EQ(tr.t.QcLevel(), 0); // the QC2.0 level stays as it was
  EXPECT_FALSE(tr.t.rampRunning());
}

TEST(UsbTrigger, RampStepsEveryTwoSecondsUntilEitherButtonStopsIt) {
  for (const bool upStarts : {true, false}) {
    for (const bool upStops : {true, false}) {
      SCOPED_TRACE(::testing::Message() << "started " << upStarts << " stopped " << upStops);
      Trigger tr;
      tr.t.chooseProtocol(QcProtocol::Qc3);
      tr.t.chooseStepping(QcStepping::Auto);
      tr.link.take();
      const int step = upStarts ? 15 : 16;

      upStarts ? tr.t.increase() : tr.t.decrease();
      EXPECT_TRUE(tr.t.rampRunning());
      EXPECT_EQ(tr.clock.interval, 2000);
      EXPECT_EQ(tr.t.RampUp(), upStarts);
      EXPECT_EQ(tr.link.take(), Bytes{step}); // the first step at once
      tr.clock.advance(1999);
      EXPECT_TRUE(tr.link.sent.empty());
      tr.clock.advance(4001);
      EXPECT_EQ(tr.link.take(), (Bytes{step, step, step}));

      // Locked while it runs.
      tr.t.chooseStepping(QcStepping::Manual);
      EXPECT_EQ(tr.t.stepping(), QcStepping::Auto);

      upStops ? tr.t.increase() : tr.t.decrease();
      EXPECT_FALSE(tr.t.rampRunning());
      tr.clock.advance(10000);
      tr.t.rampTick();                   // a late tick of a stopped timer
      EXPECT_TRUE(tr.link.sent.empty()); // stopping sends nothing

      tr.t.chooseStepping(QcStepping::Manual);
      EXPECT_EQ(tr.t.stepping(), QcStepping::Manual);
    }
  }
}

TEST(UsbTrigger, StopRampEndsTheRampAndARestartTakesTheNewDirection) {
  Trigger tr;
  tr.t.chooseProtocol(QcProtocol::Qc3);
  tr.t.chooseStepping(QcStepping::Auto);
  tr.t.increase();
  tr.clock.advance(2000);
  tr.t.stopRamp();
  tr.clock.advance(6000);
  EXPECT_EQ(tr.link.take(), (Bytes{14, 15, 15}));
  tr.t.decrease();
  tr.clock.advance(2000);
  EXPECT_EQ(tr.link.take(), (Bytes{16, 16}));
  EXPECT_FALSE(tr.t.RampUp());
}

} // namespace
