#include "data/support/pendingevents.h"

#include <QObject>
#include <QTimer>

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

TEST(PendingEvents, TwoRoundsRunWhatTheFirstRoundQueues) {
  QObject guard;
  int ran = 0;
  // The first event queues a second one, as a reaction to a command queues a redraw.
  QTimer::singleShot(0, &guard, [&] {
    ++ran;
    QTimer::singleShot(0, &guard, [&] { ++ran; });
  });
  EXPECT_TRUE(letPendingEventsRunTwice(&guard));
  EXPECT_EQ(ran, 2);
}

TEST(PendingEvents, TellsWhenTheGuardWasDestroyedMeanwhile) {
  auto* panel = new QObject;
  QTimer::singleShot(0, [panel] { delete panel; }); // e.g. its slot was removed meanwhile
  EXPECT_FALSE(letPendingEventsRunTwice(panel));
}

TEST(PendingEvents, WaitEndsWhenTheSubWindowSaysItClosed) {
  bool closed = false;
  int ticks = 0;
  QTimer other; // timers of the rest of the program keep running meanwhile
  QObject::connect(&other, &QTimer::timeout, [&] { ++ticks; });
  other.start(1);
  QTimer::singleShot(30, [&] { closed = true; });
  waitUntilClosed([&] { return closed; });
  EXPECT_TRUE(closed);
  EXPECT_GT(ticks, 0);
}

} // namespace
