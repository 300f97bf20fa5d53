#include "link/reportdecode.h"
#include "support/reportbuilder.h"

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::Report;

namespace {

ModelParams params(int code, int curDiv, int fw = 0) {
  ModelParams p;
  p.ModelCode = static_cast<qint16>(code);
  p.caps = modelCaps(code);
  p.CurDiv = static_cast<qint16>(curDiv);
  p.FwVersion = static_cast<qint16>(fw);
  return p;
}

TEST(ReportDecode, Fields) {
  Report r;
  r.info = 1, r.state = 2, r.mode = 3, r.channel = 1, r.model = 17;
  const ReportFields f = reportFields(r.body());
  EXPECT_EQ(f.info, 1);
  EXPECT_EQ(f.state, 2);
  EXPECT_EQ(f.mode, 3);
  EXPECT_EQ(f.channel, 1);
  EXPECT_EQ(f.modelCode, 17);
  EXPECT_TRUE(f.running());
  r.state = 3;
  EXPECT_FALSE(reportFields(r.body()).running());
}

TEST(ReportDecode, CurrentByDivisorAndMeterVersion) {
  Report r;
  r.cur = 12345;
  const struct {
    ModelParams p;
    float expected;
  } cases[] = {
      {params(12, 100), 123.45f},
      {params(17, 1000), 12.345f},
      {params(26, 1000, 319), 12.345f},
      {params(26, 1000, 320), 1.234f},
  };
  for (const auto& c : cases)
    EXPECT_FLOAT_EQ(decodeCurrent(r.body(), c.p), c.expected) << c.p.ModelCode;
  EXPECT_FALSE(hasMeterCurrent(params(12, 100)));
  EXPECT_TRUE(hasMeterCurrent(params(26, 1000, 320)));
  EXPECT_FLOAT_EQ(decodeMeterCurrent(r.body()), 1.2345f);
}

TEST(ReportDecode, VoltageCapacityTemperature) {
  Report r;
  r.volt = 40000, r.cap = 53248 + 125, r.temp = 253;
  EXPECT_FLOAT_EQ(decodeVoltage(r.body()), 72.32f);
  r.volt = 12000;
  EXPECT_FLOAT_EQ(decodeVoltage(r.body()), 12.0f);
  EXPECT_FLOAT_EQ(decodeCapacity(r.body()), 12.5f);
  EXPECT_FLOAT_EQ(decodeTemperature(r.body(), false, modelCaps(12)), 25.3f);
  EXPECT_EQ(decodeTemperature(r.body(), true, modelCaps(17)), 0.0f);
  EXPECT_EQ(decodeTemperature(r.body(), false, modelCaps(26)), 0.0f);
}

TEST(ReportDecode, MeterDataLinesAndEcho) {
  Report r;
  r.cap = 600, r.temp = 2700, r.set = 150, r.limit = 420, r.time = 60;
  EXPECT_FLOAT_EQ(decodeDPlus(r.body()), 0.6f);
  EXPECT_FLOAT_EQ(decodeDMinus(r.body()), 2.7f);
  EXPECT_FLOAT_EQ(decodeResistanceDrop(r.body()), 0.6f);
  const ParamEchoValues e = decodeParams(r.body());
  EXPECT_EQ(e.SetRaw, 150);
  EXPECT_EQ(e.LimitRaw, 420);
  EXPECT_EQ(e.TimeRaw, 60);
}

} // namespace
