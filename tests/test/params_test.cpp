#include "test/params.h"

#include "data/support/failure.h"

#include "support/identifiedmodel.h"

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

using ondrel::testing::identifiedModel;

ChannelParams params(int mode, qint32 set, qint32 limit, qint32 time) {
  return {mode, set, limit, time};
}

QStringList modes(int count) {
  QStringList out;
  for (int i = 0; i < count; ++i)
    out << QStringLiteral("M%1").arg(i);
  return out;
}

TEST(ShowParams, CaptionsUnitsAndTextsByGroupAndMode) {
  const struct {
    int code, mode;
    qint32 set, limit, time;
    const char *lSval, *lSvalt, *tSval, *lSlmt, *lSlmtt, *tSlmt, *lStim, *lStimt, *tStim;
    bool sval, slmt;
  } cases[] = {
      // A classic charger: chemistry modes count cells (LimitRaw mod 100), mode 6 is C-CV.
      {1, 3, 150, 204, 60, "Test Val:", "A", "1.50", "Cells:", "", "4", "Max Time:", "M", "60",
       true, true},
      {1, 6, 150, 420, 60, "Test Val:", "A", "1.50", "Voltage:", "V", "4.20", "Max Time:", "M",
       "60", true, true},
      {1, 0, 150, 300, 0, "Test Val:", "A", "1.50", "Cutoff Volt:", "V", "3.00", "Max Time:", "M",
       "0", true, true},
      // B: power in mode 1 (PwrDiv 10 on code 5), cells in 2..6, cutoff current in 7, 8 locked.
      {5, 1, 255, 300, 0, "Test Val:", "W", "25.5", "Cutoff Volt:", "V", "3.00", "Max Time:", "M",
       "0", true, true},
      {6, 4, 100, 2, 0, "Test Val:", "A", "1.00", "Cells:", "", "2", "Max Time:", "M", "0", true,
       true},
      {6, 7, 100, 420, 5, "Test Val:", "A", "1.00", "Voltage:", "V", "4.20", "Cutoff Curr:", "A",
       "0.05", true, true},
      {5, 8, 100, 420, 50, "Test Val:", "A", "0.00", "Cutoff Volt:", "V", "0.00",
       "Cutoff Curr:", "A", "0.05", false, false},
      // C: code 36 shows milliampere steps.
      {36, 2, 1234, 420, 50, "Test Val:", "A", "1.234", "Voltage:", "V", "4.20",
       "Cutoff Curr:", "A", "0.050", true, true},
      {9, 1, 50, 300, 0, "Test Val:", "W", "50", "Cutoff Volt:", "V", "3.00", "Max Time:", "M", "0",
       true, true},
      // D: code 28 locks set and limit in its constant-voltage mode.
      {28, 1, 100, 1200, 10, "Test Val:", "A", "1.00", "Voltage:", "V", "12.00",
       "Cutoff Curr:", "A", "0.10", false, false},
      {29, 1, 100, 1200, 10, "Test Val:", "A", "1.00", "Voltage:", "V", "12.00",
       "Cutoff Curr:", "A", "0.10", true, true},
      // E: milliamperes; mode 0 ignores the reported time.
      {40, 1, 1500, 420, 20, "Test Val:", "mA", "1.500", "Cutoff Volt:", "V", "4.20",
       "Cutoff Curr:", "mA", "0.020", true, true},
      {40, 0, 1500, 300, 77, "Test Val:", "mA", "1.500", "Cutoff Volt:", "V", "3.00",
       "Max Time:", "M", "0", true, true},
      // F: code 41's D-CV.
      {41, 1, 100, 1200, 0, "Test Val:", "A", "0.00", "Test Val:", "V", "12.00", "Max Time:", "M",
       "0", false, true},
      // G loads: power, constant voltage, meter; 25 and 26 have the meter at index 1.
      {12, 1, 50, 300, 0, "Test Val:", "W", "50", "Cutoff Volt:", "V", "3.00", "Max Time:", "M",
       "0", true, true},
      {12, 2, 100, 1200, 0, "Current:", "A", "1.00", "Test Val:", "V", "12.00", "Max Time:", "M",
       "0", true, true},
      {12, 3, 100, 1200, 0, "Test Val:", "A", "1.00", "Cutoff Volt:", "V", "12.00",
       "Max Time:", "M", "0", false, false},
      {25, 1, 100, 300, 0, "Test Val:", "A", "0.10", "Cutoff Volt:", "V", "3.00", "Max Time:", "M",
       "0", true, false},
      {35, 0, 123, 300, 0, "Test Val:", "A", "0.123", "Cutoff Volt:", "V", "3.00", "Max Time:", "M",
       "0", true, true},
  };
  for (const auto& c : cases) {
    const ParamView v = showParams(identifiedModel(c.code), false, modes(9),
                                   params(c.mode, c.set, c.limit, c.time));
    const std::string where = std::to_string(c.code) + "/" + std::to_string(c.mode);
    EXPECT_EQ(v.tMode, QStringLiteral("M%1").arg(c.mode)) << where;
    EXPECT_EQ(v.lSval, QLatin1String(c.lSval)) << where;
    EXPECT_EQ(v.lSvalt, QLatin1String(c.lSvalt)) << where;
    EXPECT_EQ(v.tSval, QLatin1String(c.tSval)) << where;
    EXPECT_EQ(v.lSlmt, QLatin1String(c.lSlmt)) << where;
    EXPECT_EQ(v.lSlmtt, QLatin1String(c.lSlmtt)) << where;
    EXPECT_EQ(v.tSlmt, QLatin1String(c.tSlmt)) << where;
    EXPECT_EQ(v.lStim, QLatin1String(c.lStim)) << where;
    EXPECT_EQ(v.lStimt, QLatin1String(c.lStimt)) << where;
    EXPECT_EQ(v.tStim, QLatin1String(c.tStim)) << where;
    EXPECT_EQ(v.SvalEnable, c.sval) << where;
    EXPECT_EQ(v.SlmtEnable, c.slmt) << where;
    EXPECT_TRUE(v.StimEnable) << where;
  }
}

TEST(ShowParams, TwoChannelCaptionsAndAModeOutsideTheList) {
  const ParamView two = showParams(identifiedModel(17), true, modes(2), params(0, 100, 300, 0));
  EXPECT_EQ(two.lSlmt, QStringLiteral("Cutoff V:"));
  EXPECT_EQ(two.lStim, QStringLiteral("Time:"));
  // A code-25 load reporting its meter mode before the info report that lists it.
  const ParamView outside = showParams(identifiedModel(25), false, modes(1), params(1, 0, 0, 0));
  EXPECT_TRUE(outside.tMode.isEmpty());
  ModelParams broken = identifiedModel(12);
  broken.CurDiv = 0;
  EXPECT_THROW(showParams(broken, false, modes(5), params(0, 1, 1, 0)), Failure);
}

TEST(ModeDefaults, PowerCellsOrTheModelsMinimums) {
  const struct {
    int code, mode;
    qint32 set, limit;
  } cases[] = {
      {12, 0, 10, 0},  // KL-F2: 0.10 A, 0 V
      {12, 1, 1, 0},   // D-CP: 1 W
      {26, 1, 30, 0},  // the meter, not a power
      {29, 1, 10, 80}, // a constant-voltage charge, not a power
      {41, 1, 100, 0}, // D-CV
      {1, 3, 10, 1},   // one cell
      {5, 4, 60, 1},   // one cell on the chemistry modes of code 5 too
      {5, 7, 60, 0},
  };
  for (const auto& c : cases) {
    const ChannelParams p = modeDefaults(identifiedModel(c.code), c.mode);
    EXPECT_EQ(p.SetRaw, c.set) << c.code << "/" << c.mode;
    EXPECT_EQ(p.LimitRaw, c.limit) << c.code << "/" << c.mode;
    EXPECT_EQ(p.TimeRaw, 0);
  }
}

TEST(BoxChecks, RefusalsAndCorrections) {
  const QString range = QStringLiteral("Setting value out of range!");
  const QString invalid = QStringLiteral("Invalid value!");
  enum Box { Sval, Slmt, Stim };
  const struct {
    int code, mode;
    Box box;
    const char* text;
    const char* corrected; // nullptr: accepted; "" with `message` invalid: no correction
    bool invalidText;
  } cases[] = {
      {12, 1, Sval, "1000", nullptr, false},
      {12, 1, Sval, "1000.01", "100", false},
      {12, 1, Sval, "0.1", nullptr, false},
      {12, 1, Sval, "0.09", "1", false},
      {12, 0, Sval, "10.01", "10.00", false},
      {12, 0, Sval, "0.05", "0.10", false},
      {29, 1, Sval, "80", "50.00", false}, // a current on the 50 A charger, not a power
      {12, 0, Sval, "abc", "", true},
      {12, 0, Sval, "", "", true},
      {12, 0, Sval, "1,5", "", true},
      {12, 0, Sval, "1e999", "", true},
      {1, 3, Slmt, "3", nullptr, false},
      {1, 3, Slmt, "4", "3", false},
      {2, 1, Slmt, "13", "12", false},
      {1, 3, Slmt, "0", "1", false},
      {5, 4, Slmt, "0", "1", false}, // cells on code 5 too
      {12, 0, Slmt, "99.5", "99.00", false},
      {1, 6, Slmt, "0.5", "0.80", false},
      {12, 0, Stim, "999", nullptr, false},
      {12, 0, Stim, "1000", "999", false},
      {12, 0, Stim, "-5", nullptr, false},
      {7, 2, Stim, "0.05", "0.10", false}, // a cutoff current in the C-CV mode
      {7, 2, Stim, "0.5", nullptr, false},
      {7, 2, Stim, "x", "", true},
  };
  for (const auto& c : cases) {
    const ModelParams m = identifiedModel(c.code);
    const QString text = QString::fromLatin1(c.text);
    const std::optional<BoxRefusal> r = c.box == Sval   ? checkSval(m, c.mode, text)
                                        : c.box == Slmt ? checkSlmt(m, c.mode, text)
                                                        : checkStim(m, c.mode, text);
    const std::string where = std::to_string(c.code) + "/" + std::to_string(c.mode) + " " + c.text;
    if (!c.corrected) {
      EXPECT_FALSE(r) << where;
      continue;
    }
    ASSERT_TRUE(r) << where;
    EXPECT_EQ(r->message, c.invalidText ? invalid : range) << where;
    if (c.invalidText)
      EXPECT_FALSE(r->corrected) << where;
    else
      EXPECT_EQ(r->corrected, QString::fromLatin1(c.corrected)) << where;
  }
  EXPECT_EQ(checkVolAuto(identifiedModel(12), QStringLiteral("100"))->corrected,
            QStringLiteral("0.00"));
  EXPECT_FALSE(checkVolAuto(identifiedModel(12), QStringLiteral("12")));
}

// Limits are single floats and typed values doubles: 0.2 as a double lies below 0.2f, 0.7 above
// 0.7f. A model's own limit typed as it is shown must pass; just beyond it must not.
TEST(BoxChecks, TheModelsOwnLimitsAreAcceptedAndNothingBeyond) {
  enum Box { Sval, Slmt, Stim, VolAuto };
  const struct {
    const char* what;
    int code, mode;
    float maxCurrent; // 0: the model's own
    Box box;
    const char* text;
    bool accepted;
  } cases[] = {
      {"KL-F3 minimum current", 13, 0, 0, Sval, "0.20", true},
      {"KL-F3 below it", 13, 0, 0, Sval, "0.19", false},
      {"KL-F2 minimum current", 12, 0, 0, Sval, "0.10", true},
      {"KC-13/14 minimum current", 6, 0, 0, Sval, "0.05", true},
      {"KL-18 minimum current", 35, 0, 0, Sval, "0.001", true},
      {"KL-18 below it", 35, 0, 0, Sval, "0.0009", false},
      {"maximum of an info report", 12, 0, 0.7f, Sval, "0.70", true},
      {"beyond it", 12, 0, 0.7f, Sval, "0.71", false},
      {"KL-F3 auto page cutoff as it starts", 13, 0, 0, VolAuto, "0.80", true},
      {"KL-F3 auto page cutoff below", 13, 0, 0, VolAuto, "0.79", false},
      {"KC-F1 charge voltage minimum", 1, 6, 0, Slmt, "0.80", true},
      {"KL-F3 cutoff voltage minimum", 13, 0, 0, Slmt, "0.8", true},
      {"KC-01 cutoff current at the minimum", 7, 2, 0, Stim, "0.10", true},
      {"KC-01 cutoff current at an info report's maximum", 7, 2, 0.7f, Stim, "0.7", true},
      {"KC-01 cutoff current beyond it", 7, 2, 0.7f, Stim, "0.71", false},
      {"far beyond every float", 12, 0, 0, Sval, "1e300", false},
      {"far below every float", 12, 0, 0, Sval, "-1e300", false},
  };
  for (const auto& c : cases) {
    ModelParams m = identifiedModel(c.code);
    if (c.maxCurrent > 0)
      m.MaxCurrent = c.maxCurrent;
    const QString text = QString::fromLatin1(c.text);
    const std::optional<BoxRefusal> r = c.box == Sval   ? checkSval(m, c.mode, text)
                                        : c.box == Slmt ? checkSlmt(m, c.mode, text)
                                        : c.box == Stim ? checkStim(m, c.mode, text)
                                                        : checkVolAuto(m, text);
    EXPECT_EQ(!r, c.accepted) << c.what;
  }
}

} // namespace
