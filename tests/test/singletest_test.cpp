#include "test/singletest.h"

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

TEST(SingleTestRules, BoxValueReadsTheLeadingNumber) {
  const struct {
    const char* text;
    double value;
  } cases[] = {{"1.5", 1.5}, {" 3V", 3.0},    {"abc", 0.0}, {"", 0.0},
               {"-2", -2.0}, {"1e3", 1000.0}, {".5", 0.5},  {"1e999", 0.0}};
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(boxValue(QString::fromLatin1(c.text)), c.value) << c.text;
}

TEST(SingleTestRules, StartAxesFollowTheModeKindAndTheScalePreference) {
  ModelParams m; // modes 0..1 discharge, 2..4 charge, above: other
  m.LastDischargeMode = 1;
  m.CvModeNo = 4;
  const struct {
    int mode;
    bool scale;
    std::array<float, 3> max, min;
  } cases[] = {
      {3, true, {4.2f, 1.5f, 0}, {3.7f, 0, 0}}, // charge: present voltage up to the charge voltage
      {0, true, {3.7f, 0, 0}, {3.0f, 0, 0}},    // discharge: cutoff up to the present voltage
      {5, true, {0, 0, 0}, {0, 0, 0}},
      {3, false, {0, 0, 0}, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    const double limit = c.mode == 3 ? 4.2 : 3.0;
    const AxisExtremes a = startAxes(m, c.mode, c.scale, 3.7f, limit, 1.5);
    EXPECT_EQ(a.max, c.max) << c.mode << c.scale;
    EXPECT_EQ(a.min, c.min) << c.mode << c.scale;
  }
  EXPECT_TRUE(startResetsAxes(false, 5, 5));
  EXPECT_TRUE(startResetsAxes(true, 0, 0));
  EXPECT_FALSE(startResetsAxes(true, 3, 0));
  EXPECT_FALSE(startResetsAxes(true, 0, 3));
}

TEST(SingleTestRules, RefusalNamesAnInvalidBoxBeforeARange) {
  EXPECT_EQ(startRefusalMessage(QStringLiteral("1.0"), QStringLiteral("x"), QStringLiteral("0")),
            QStringLiteral("Invalid value!"));
  EXPECT_EQ(startRefusalMessage(QStringLiteral("900"), QStringLiteral("3"), QStringLiteral("0")),
            QStringLiteral("Setting value out of range!"));
}

} // namespace
