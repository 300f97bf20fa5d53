#pragma once

#include "data/recording.h"

#include <QtGlobal>

#include <vector>

namespace ondrel {

// One sample of a recording as Continue replays it into the channel's curves at X = time.
struct ContinuePoint {
  qint32 time;
  float volt;
  // As the recording has it (mA in a "Cur(mA)" file), which is what the live curves hold.
  float cur;
  float capacityAh; // charge up to this sample, rounded to three decimals
  float energyWh;   // energy up to this sample, rounded to three decimals
};

// What Continue takes from a recording: the points to replay and the counters to go on from.
struct ContinuePlan {
  std::vector<ContinuePoint> points;
  float CapOffset = 0;                 // whole mAh counted so far, in Ah
  qint32 lastTime = 0;                 // TestSec and CurveSec after the replay
  qint64 chargeMAs = 0, energyMWs = 0; // the running sums
  bool hasSamples = false;             // false: no average voltage to show
};

// Sums charge (mA·s) and energy (mW·s) over the recording's samples, each over the seconds since
// the previous sample (the first over none). The samples are taken as parseRecording gives them:
// in time order and within its bounds, which keep both sums far inside 64 bits.
ContinuePlan planContinue(const RecordingContent& content);

} // namespace ondrel
