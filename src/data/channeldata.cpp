#include "data/channeldata.h"

namespace ondrel {

void ChannelData::takeDeviceCapacity(float deviceCap) {
  if (CapOffsetPending) {
    CapOffsetPending = false;
    if (deviceCap >= 0.9f * CapOffset)
      CapOffset = 0.0f;
  }
  Cap = CapOffset + deviceCap;
}

} // namespace ondrel
