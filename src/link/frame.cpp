#include "link/frame.h"

#include <algorithm>

namespace ondrel {

quint8 ChkXor(const CmdFrame& frame) {
  quint8 x = 0;
  for (std::size_t i = 1; i <= 7; ++i)
    x ^= frame[i];
  return static_cast<quint8>(x % 240);
}

bool ChkRec(const RecBody& body) {
  quint8 x = 0;
  for (quint8 b : body)
    x ^= b;
  return x % 240 == 0;
}

CmdFrame buildCmdFrame(quint8 command, const std::array<quint8, 6>& params) {
  CmdFrame f{};
  f[0] = kFrameStart;
  f[1] = command;
  std::copy(params.begin(), params.end(), f.begin() + 2);
  f[8] = ChkXor(f);
  f[9] = kFrameEnd;
  return f;
}

// Scaled in double and stored as float, so 7232 * 0.01 becomes the float nearest 72.32.
float twoRangeValue(int raw) {
  if (raw <= 32767)
    return static_cast<float>(raw * 0.001);
  return static_cast<float>((raw - 32768) * 0.01);
}

float threeRangeValue(int raw) {
  if (raw < 32768)
    return static_cast<float>(raw * 0.001);
  if (raw < 53248)
    return static_cast<float>((raw - 32768) * 0.01);
  return static_cast<float>((raw - 53248) * 0.1);
}

} // namespace ondrel
