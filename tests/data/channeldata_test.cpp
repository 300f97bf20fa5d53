#include "data/channeldata.h"

#include <gtest/gtest.h>

using namespace ondrel;

TEST(ChannelData, ContinueOffsetIsDroppedWhenTheDeviceKeptCounting) {
  const struct {
    float offset, first, shown, second, shownAfter;
  } cases[] = {
      {1.0f, 1.05f, 1.05f, 1.10f, 1.10f}, // within 10 %: the device kept its count
      {1.0f, 4.2f, 4.2f, 4.3f, 4.3f},     // far beyond: it kept counting while the PC was away
      {1.0f, 0.02f, 1.02f, 0.05f, 1.05f}, // the device started again: add the offset
      {1.0f, 0.89f, 1.89f, 0.95f, 1.95f}, // just below 90 %: a restarted count
      {1.0f, 0.9f, 0.9f, 0.95f, 0.95f},   // from 90 % on the device's own count stands
      {0.0f, 0.3f, 0.3f, 0.4f, 0.4f},
  };
  for (const auto& c : cases) {
    ChannelData ch;
    ch.CapOffset = c.offset;
    ch.CapOffsetPending = true;
    ch.takeDeviceCapacity(c.first);
    EXPECT_FLOAT_EQ(ch.Cap, c.shown) << c.first;
    EXPECT_FALSE(ch.CapOffsetPending);
    ch.takeDeviceCapacity(c.second);
    EXPECT_FLOAT_EQ(ch.Cap, c.shownAfter) << c.second;
  }
}
