#include "test/testclock.h"

namespace ondrel {

void TestClock::tick(ChannelData& d) const {
  ++d.CurveSec;
  if (m_counting)
    ++d.TestSec;
}

} // namespace ondrel
