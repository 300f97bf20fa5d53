#include "test/continuereplay.h"

#include "data/support/numberformat.h"

namespace ondrel {
namespace {

// mA·s as Ah (or mW·s as Wh), rounded to three decimals with halves away from zero, as the curves'
// "0.000" picture rounds; in whole numbers, so that no binary fraction tips a half.
float thousandthsOfHours(qint64 milliSeconds) {
  qint64 thousandths = milliSeconds / 3600;
  const qint64 rest = milliSeconds % 3600;
  if (rest >= 1800)
    ++thousandths;
  else if (rest <= -1800)
    --thousandths;
  return static_cast<float>(static_cast<double>(thousandths) / 1000.0);
}

} // namespace

ContinuePlan planContinue(const RecordingContent& content) {
  ContinuePlan plan;
  plan.points.reserve(content.samples.size());
  qint64 previous = 0;
  for (const RecordingSample& s : content.samples) {
    // Capacity and energy are in Ah and Wh whatever unit the file's current column uses.
    const double amperes = content.currentInMilliamps ? s.current / 1000.0 : s.current;
    const double seconds = static_cast<double>(s.time - previous);
    previous = s.time;
    const double charge = amperes * seconds * 1000.0;
    // Each addition is rounded into the integer sum (halves to even), as the sums always were;
    // 64 bits because 32 overflow above about 596 Ah.
    plan.chargeMAs = roundHalfEven(static_cast<double>(plan.chargeMAs) + charge);
    plan.energyMWs = roundHalfEven(static_cast<double>(plan.energyMWs) + charge * s.voltage);
    plan.points.push_back({s.time, static_cast<float>(s.voltage), static_cast<float>(s.current),
                           thousandthsOfHours(plan.chargeMAs), thousandthsOfHours(plan.energyMWs)});
  }
  plan.hasSamples = !content.samples.empty();
  if (plan.hasSamples)
    plan.lastTime = content.samples.back().time;
  // Whole mAh only: the device's own count goes on from there.
  plan.CapOffset = static_cast<float>(static_cast<double>(plan.chargeMAs / 3600) / 1000.0);
  return plan;
}

} // namespace ondrel
