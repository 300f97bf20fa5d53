#include "link/frame.h"

#include <gtest/gtest.h>

namespace ondrel {
namespace {

TEST(ChkXorTest, ReducesTheXorOfBytesOneToSevenModulo240) {
  CmdFrame f{0xFA, 0xF5, 0, 0, 0, 0, 0, 0, 0xEE, 0xF8}; // start, end and old checksum not counted
  EXPECT_EQ(ChkXor(f), 0x05);
  f = {0xFA, 0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0, 0xF8};
  EXPECT_EQ(ChkXor(f), 0x7F);
  f = {0xFA, 0x0F, 0xF0, 0, 0, 0, 0, 0, 0, 0xF8}; // 0xFF -> 15
  EXPECT_EQ(ChkXor(f), 15);
}

TEST(BuildCmdFrameTest, DelimitsAndChecksums) {
  const CmdFrame f = buildCmdFrame(0x05, {1, 2, 3, 4, 5, 6});
  const CmdFrame expected{0xFA, 0x05, 1, 2, 3, 4, 5, 6, 0x05 ^ 1 ^ 2 ^ 3 ^ 4 ^ 5 ^ 6, 0xF8};
  EXPECT_EQ(f, expected);
}

TEST(ChkRecTest, PassesWhenTheXorIsZeroModulo240) {
  RecBody body{};
  for (std::size_t i = 0; i < 16; ++i)
    body[i] = static_cast<quint8>(i * 13 % 240);
  quint8 x = 0;
  for (std::size_t i = 0; i < 16; ++i)
    x ^= body[i];
  body[16] = static_cast<quint8>(x % 240);
  EXPECT_TRUE(ChkRec(body));
  body[3] ^= 1;
  EXPECT_FALSE(ChkRec(body));

  // An XOR of 0xF0 also counts as intact: the device reduces its checksum modulo 240.
  RecBody high{};
  high[0] = 0xF0;
  EXPECT_TRUE(ChkRec(high));
}

TEST(ValuePairTest, EncodesBase240AndDecodesBack) {
  struct Case {
    int value;
    ValuePair pair;
  };
  const Case cases[] = {{0, {0, 0}},         {239, {0, 239}},     {240, {1, 0}}, {1000, {4, 40}},
                        {57599, {239, 239}}, {60000, {239, 239}}, {-5, {0, 0}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(encodePair(c.value), c.pair);
  }
  for (int v : {0, 1, 239, 240, 12345, 57599})
    EXPECT_EQ(decodePair(encodePair(v).high, encodePair(v).low), v);
}

TEST(RangePairTest, TwoAndThreeRangesCarryTheirOwnResolution) {
  EXPECT_FLOAT_EQ(twoRangeValue(40000), 72.32f);
  EXPECT_FLOAT_EQ(twoRangeValue(12000), 12.000f);
  EXPECT_FLOAT_EQ(twoRangeValue(32767), 32.767f);
  EXPECT_FLOAT_EQ(twoRangeValue(32768), 0.0f);
  EXPECT_FLOAT_EQ(twoRangeValue(57599), 248.31f);

  EXPECT_FLOAT_EQ(threeRangeValue(32767), 32.767f);
  EXPECT_FLOAT_EQ(threeRangeValue(32768), 0.0f);
  EXPECT_FLOAT_EQ(threeRangeValue(53247), 204.79f);
  EXPECT_FLOAT_EQ(threeRangeValue(53248), 0.0f);
  EXPECT_FLOAT_EQ(threeRangeValue(57599), 435.1f);
}

TEST(MinutesTest, SecondsTravelAsWholeMinutes) {
  EXPECT_EQ(encodeMinutes(59), (ValuePair{0, 0}));
  EXPECT_EQ(encodeMinutes(60), (ValuePair{0, 1}));
  EXPECT_EQ(encodeMinutes(240 * 60 + 59), (ValuePair{1, 0}));
  EXPECT_EQ(encodeMinutes(57599LL * 60), (ValuePair{239, 239}));
}

} // namespace
} // namespace ondrel
