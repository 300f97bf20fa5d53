#include "link/calibration.h"

#include "support/identifiedmodel.h"

#include <gtest/gtest.h>

namespace ondrel {
namespace {

using testing::identifiedModel;

TEST(Calibration, CurrentScaleAndPictureByModelAndVersion) {
  const struct {
    int code, fw;
    float scale;
    const char* picture;
  } cases[] = {
      {12, 0, 100, "0.00"},       {7, 0, 1000, "0.000"},    {38, 0, 1000, "0.000"},
      {17, 0, 1000, "0.000"},     {35, 0, 10000, "0.0000"}, {26, 319, 1000, "0.000"},
      {26, 320, 10000, "0.0000"}, {5, 302, 1000, "0.000"},  {5, 310, 10000, "0.0000"},
      {5, 315, 1000, "0.000"},
  };
  for (const auto& c : cases) {
    const float scale = calibrationCurrentScale(identifiedModel(c.code, c.fw));
    EXPECT_EQ(scale, c.scale) << c.code << " fw " << c.fw;
    EXPECT_EQ(calibCurrentPicture(scale), QLatin1String(c.picture)) << c.code << " fw " << c.fw;
  }
}

TEST(Calibration, ButtonChecksAndValue) {
  const struct {
    const char *typed, *shown;
    float most, scale;
    const char* message;
    int value;
  } cases[] = {
      {"3.300", "3.28", 30, 1000, nullptr, 3300},
      {"3.80", "3.28", 30, 1000, "Setting value out of range!", 0}, // beyond 10 %
      {"2.90", "3.28", 30, 1000, "Setting value out of range!", 0}, // below 10 %
      {"0", "0.00", 30, 1000, nullptr, 0},                          // 0 V shown: only 0
      {"0.01", "0.00", 30, 1000, "Setting value out of range!", 0},
      {"1.000", "0.98", 10, 1000, nullptr, 1000},                 // code 7 current
      {"31", "30.5", 30, 1000, "Setting value out of range!", 0}, // above the maximum
      {"-1", "-1", 30, 1000, "Setting value out of range!", 0},
      {"x", "3.28", 30, 1000, "Invalid value!", 0},
      {"3.3", "-.---", 30, 1000, "Setting value out of range!", 0}, // nothing shown
      // 57.6 V as millivolts: a high byte of 240 would reach the delimiters.
      {"57.6", "57.6", 100, 1000, "Setting value out of range!", 0},
      {"57.599", "57.6", 100, 1000, nullptr, 57599},
      {"6", "6", 10, 10000, "Setting value out of range!", 0}, // large current
      // A maximum from an info report that is no exact float: 0.7 typed is 0.7f.
      {"0.7", "0.7", 0.7f, 1000, nullptr, 700},
      {"0.701", "0.7", 0.7f, 1000, "Setting value out of range!", 0},
  };
  for (const auto& c : cases) {
    const CalibValue r =
        calibrationValue(QLatin1String(c.typed), c.most, QLatin1String(c.shown), c.scale);
    EXPECT_EQ(r.message, c.message ? std::optional(QString::fromLatin1(c.message)) : std::nullopt)
        << c.typed << " at " << c.shown;
    if (!c.message) {
      EXPECT_EQ(r.value, c.value) << c.typed;
    }
  }
}

TEST(Calibration, LeavingABox) {
  EXPECT_EQ(checkCalibBox(QStringLiteral("3.3"), 30, kCalibVoltPicture).text,
            QStringLiteral("3.300"));
  EXPECT_EQ(checkCalibBox(QStringLiteral("1"), 10, u"0.00").message, std::nullopt);
  EXPECT_EQ(checkCalibBox(QStringLiteral("abc"), 30, kCalibVoltPicture).message,
            QStringLiteral("Invalid value!"));
  EXPECT_EQ(checkCalibBox(QStringLiteral("30.1"), 30, kCalibVoltPicture).message,
            QStringLiteral("Setting value out of range!"));
  EXPECT_EQ(checkCalibBox(QStringLiteral("-0.1"), 30, kCalibVoltPicture).message,
            QStringLiteral("Setting value out of range!"));
  EXPECT_EQ(checkCalibBox(QStringLiteral("0.7"), 0.7f, u"0.000").message, std::nullopt);
}

} // namespace
} // namespace ondrel
