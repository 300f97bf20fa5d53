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

TEST(ValuePairTest, DecodesBase240) {
  struct Case {
    ValuePair pair;
    int value;
  };
  const Case cases[] = {
      {{0, 0}, 0}, {{0, 239}, 239}, {{1, 0}, 240}, {{4, 40}, 1000}, {{239, 239}, kMaxPairValue}};
  for (const Case& c : cases)
    EXPECT_EQ(decodePair(c.pair.high, c.pair.low), c.value) << c.value;
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

} // namespace
} // namespace ondrel
