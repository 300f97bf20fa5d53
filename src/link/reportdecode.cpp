#include "link/reportdecode.h"

namespace ondrel {

ReportFields reportFields(const RecBody& body) {
  ReportFields f;
  f.info = body[0] / 100;
  f.state = (body[0] % 100) / 10;
  f.mode = body[0] % 10;
  f.channel = body[15] / 100;
  f.modelCode = body[15] % 100;
  return f;
}

float decodeCurrent(const RecBody& body, const ModelParams& params) {
  const int pair = pairAt(body, 1);
  if (params.CurDiv == 100)
    return static_cast<float>(pair * 0.01);
  if (reportsTenthMilliamps(params))
    return static_cast<float>((pair / 10) * 0.001);
  return static_cast<float>(pair * 0.001);
}

bool hasMeterCurrent(const ModelParams& params) {
  return params.CurDiv != 100;
}

float decodeMeterCurrent(const RecBody& body) {
  return static_cast<float>((pairAt(body, 1) * 0.001) * 0.1);
}

float decodeVoltage(const RecBody& body) {
  return twoRangeValue(pairAt(body, 3));
}

float decodeCapacity(const RecBody& body) {
  return threeRangeValue(pairAt(body, 5));
}

float decodeTemperature(const RecBody& body, bool dev2S, const ModelCaps& caps) {
  if (dev2S || caps.usbMeter)
    return 0.0f;
  return static_cast<float>(pairAt(body, 7) * 0.1);
}

float decodeDPlus(const RecBody& body) {
  return static_cast<float>(pairAt(body, 5) * 0.001);
}
float decodeDMinus(const RecBody& body) {
  return static_cast<float>(pairAt(body, 7) * 0.001);
}
float decodeResistanceDrop(const RecBody& body) {
  return static_cast<float>(pairAt(body, 5) * 0.001);
}

ParamEchoValues decodeParams(const RecBody& body) {
  return {pairAt(body, 9), pairAt(body, 11), pairAt(body, 13)};
}

} // namespace ondrel
