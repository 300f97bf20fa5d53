#pragma once

#include "data/channeldata.h"

namespace ondrel {

// The clock of one channel. Its one-second tick always advances the curve clock (`CurveSec`),
// and the test clock (`TestSec`) only while a test runs, so that a paused or monitored channel
// keeps drawing without adding test time.
class TestClock {
public:
  void TestClockOn() { m_counting = true; }
  void TestClockOff() { m_counting = false; }
  bool counting() const { return m_counting; }
  void tick(ChannelData& d) const;

private:
  bool m_counting = false;
};

} // namespace ondrel
