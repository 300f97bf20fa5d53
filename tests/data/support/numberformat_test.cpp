#include "data/support/failure.h"
#include "data/support/numberformat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace ondrel;

namespace {

struct DoubleCase {
  double value;
  const char* picture;
  const char* expected;
};

class FormatDouble : public ::testing::TestWithParam<DoubleCase> {};

TEST_P(FormatDouble, Shows) {
  const auto& c = GetParam();
  EXPECT_EQ(Format(c.value, QString::fromLatin1(c.picture)), QString::fromLatin1(c.expected))
      << c.value << " in " << c.picture;
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, FormatDouble,
    ::testing::Values(DoubleCase{4.49, "0.000", "4.490"}, DoubleCase{9.5 * 1000, "0", "9500"},
                      DoubleCase{72.32, "0.00", "72.32"}, DoubleCase{12.0, "0.000", "12.000"},
                      DoubleCase{3.5, "00", "04"}, DoubleCase{2.5, "0", "3"}, // half away from zero
                      DoubleCase{-2.5, "0", "-3"}, DoubleCase{0.125, "0.00", "0.13"},
                      DoubleCase{1.005, "0.00", "1.01"}, // as read, not as stored
                      DoubleCase{9.995, "0.00", "10.00"}, DoubleCase{99.96, "00.0", "100.0"},
                      DoubleCase{0.0, "0.0000", "0.0000"}, DoubleCase{-0.001, "0.00", "0.00"},
                      DoubleCase{-1.25, "0.00", "-1.25"}, DoubleCase{5.0, "00.00", "05.00"},
                      DoubleCase{1.5, "00.000", "01.500"}, DoubleCase{12.345, "000.0", "012.3"},
                      DoubleCase{7.0, "000.00", "007.00"}, DoubleCase{123456.0, "0000", "123456"},
                      DoubleCase{42.0, "0000", "0042"}, DoubleCase{1e-7, "0.000", "0.000"},
                      DoubleCase{1e15, "0", "1000000000000000"}, DoubleCase{0.5, "0%", "50%"},
                      DoubleCase{0.5, "0.0%", "50.0%"}, DoubleCase{0.12345, "0.00%", "12.35%"},
                      DoubleCase{1.0 / 3.0, "0.0%", "33.3%"}, DoubleCase{0.005, "0%", "1%"}));

TEST(Format, FloatUsesItsShortestText) {
  // 2.675f is stored as 2.67499995..., but the user reads 2.675: it rounds up.
  EXPECT_EQ(Format(2.675f, u"0.00"), QStringLiteral("2.68"));
  EXPECT_EQ(Format(4.49f, u"0.000"), QStringLiteral("4.490"));
  EXPECT_EQ(Format(72.32f, u"0.00"), QStringLiteral("72.32"));
  EXPECT_EQ(Format(0.1f, u"0.000"), QStringLiteral("0.100"));
}

TEST(Format, IntegersAndSpecials) {
  EXPECT_EQ(Format(320, u"0"), QStringLiteral("320"));
  EXPECT_EQ(Format(std::numeric_limits<double>::quiet_NaN(), u"0.00"), QStringLiteral("NaN"));
  EXPECT_EQ(Format(std::numeric_limits<double>::infinity(), u"0.00"), QStringLiteral("Inf"));
  EXPECT_EQ(Format(-std::numeric_limits<float>::infinity(), u"0.00"), QStringLiteral("-Inf"));
  EXPECT_EQ(Format(1e300, u"0").size(), 301);
}

// Curves keep what the readouts show: the number must be exactly what its text reads back as.
TEST(Format, FormattedValueIsTheShownTextReadBack) {
  const float floats[] = {2.675f,  4.49f, 3.6995f,    -1.25f,  0.0f,   -0.0004f,
                          9.9995f, 1e-7f, 123456.78f, 3.4e38f, 72.32f, 0.1f};
  for (const char16_t* picture : {u"0.000", u"0.00", u"00.00", u"0.0", u"000.0", u"0"}) {
    for (float v : floats)
      EXPECT_EQ(formattedValue(v, picture), Format(v, picture).toDouble())
          << v << " in " << QString::fromUtf16(picture).toStdString();
    for (double v : {2.675, 1.005, 9.995, -2.5, 1e300})
      EXPECT_EQ(formattedValue(v, picture), Format(v, picture).toDouble())
          << v << " in " << QString::fromUtf16(picture).toStdString();
  }
  EXPECT_TRUE(std::isnan(formattedValue(std::numeric_limits<float>::quiet_NaN(), u"0.00")));
  EXPECT_EQ(formattedValue(-std::numeric_limits<float>::infinity(), u"0.00"),
            -std::numeric_limits<double>::infinity());
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  const std::pair<double, qint64> cases[] = {
      {116.5, 116}, {117.5, 118}, {0.5, 0}, {1.5, 2},   {-0.5, 0},
      {-1.5, -2},   {2.4, 2},     {2.6, 3}, {-2.6, -3}, {1e30, 9223372036854774784}};
  for (auto [in, out] : cases)
    EXPECT_EQ(roundHalfEven(in), out) << in;
  EXPECT_EQ(roundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(ToInt32, OverflowIsAFailure) {
  EXPECT_EQ(toInt32(116.5), 116);
  EXPECT_EQ(toInt32(-2147483648.0), std::numeric_limits<qint32>::min());
  EXPECT_THROW(toInt32(2147483648.0), Failure);
  EXPECT_THROW(toInt32(std::numeric_limits<double>::quiet_NaN()), Failure);
}

} // namespace
