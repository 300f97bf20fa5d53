#include "test/resistance.h"

#include "support/identifiedmodel.h"

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

using ondrel::testing::identifiedModel;

TEST(Resistance, OpeningAndStartingNeedAnIdleSingleCell) {
  EXPECT_EQ(resistanceOpenRefusal(ModelParams{}, 3.7f),
            QStringLiteral("Please connect device first"));
  EXPECT_EQ(resistanceOpenRefusal(identifiedModel(12), 4.6f),
            QStringLiteral("Resistance test only support single battery"));
  EXPECT_EQ(resistanceOpenRefusal(identifiedModel(12), 4.5f), std::nullopt);
  EXPECT_EQ(resistanceStartRefusal(true, 3.7f), QStringLiteral("Please stop other test first"));
  EXPECT_EQ(resistanceStartRefusal(false, 4.6f),
            QStringLiteral("Resistance test only support single battery"));
  EXPECT_EQ(resistanceStartRefusal(false, 3.7f), std::nullopt);
}

TEST(Resistance, CurrentBox) {
  const struct {
    const char *text, *message, *becomes;
  } cases[] = {
      {"199", "Setting value out of range!", nullptr},
      {"200", nullptr, "200"},
      {"30000", nullptr, "30000"},
      {"30001", "Setting value out of range!", nullptr},
      {"1000.4", nullptr, "1000"},
      {"1k", "Invalid value!", nullptr},
      {"", "Invalid value!", nullptr},
  };
  for (const auto& c : cases) {
    const ResBoxCheck r = checkResCurrent(QLatin1String(c.text));
    EXPECT_EQ(r.message, c.message ? std::optional(QString::fromLatin1(c.message)) : std::nullopt)
        << c.text;
    EXPECT_EQ(r.text, c.becomes ? std::optional(QString::fromLatin1(c.becomes)) : std::nullopt)
        << c.text;
  }
}

// The typed current capped at the model's maximum; a cap below the lowest test current leaves
// no test, and the refusal says why rather than nothing being sent.
TEST(Resistance, TestCurrentIsCappedAtTheModelsMaximum) {
  const QString range = QStringLiteral("Setting value out of range!");
  const struct {
    const char* what;
    float maxCurrent; // A; 0: the model's own (10 A)
    const char* typed;
    std::optional<int> mA;
    QString refusal;
  } cases[] = {
      {"as typed", 0, "1000", 1000, {}},
      {"capped", 0.5f, "1000", 500, {}},
      {"capped at the lowest test current", 0.2f, "1000", 200, {}},
      {"typed below the lowest", 0, "199", std::nullopt, range},
      {"no number", 0, "x", std::nullopt, QStringLiteral("Invalid value!")},
      {"capped below the lowest", 0.15f, "1000", std::nullopt,
       QStringLiteral("The device's maximum current (150 mA) is below the lowest test current "
                      "(200 mA).")},
      {"no maximum at all", 0.001f, "1000", std::nullopt,
       QStringLiteral("The device's maximum current (1 mA) is below the lowest test current "
                      "(200 mA).")},
  };
  for (const auto& c : cases) {
    ModelParams m = identifiedModel(12);
    if (c.maxCurrent > 0)
      m.MaxCurrent = c.maxCurrent;
    const ResCurrent r = resistanceCurrent(m, QLatin1String(c.typed));
    EXPECT_EQ(r.mA, c.mA) << c.what;
    EXPECT_EQ(r.refusal, c.refusal) << c.what;
  }
}

TEST(Resistance, WaitTakesTheFirstDropAndGivesUpAfterFourSeconds) {
  ResistanceWait w;
  w.dropSeen(0.02f); // before the test: not its answer
  w.start(1000);
  EXPECT_EQ(w.tick(), ResistanceWait::Tick::Waiting);
  w.dropSeen(0.050f);
  w.dropSeen(0.070f); // a later report does not replace the first answer
  EXPECT_EQ(w.tick(), ResistanceWait::Tick::Measured);
  EXPECT_EQ(w.resultText(), QStringLiteral("50.0"));
  EXPECT_FALSE(w.waiting());
  w.dropSeen(0.09f); // after the answer: ignored
  EXPECT_EQ(w.resultText(), QStringLiteral("50.0"));

  w.start(500);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(w.tick(), ResistanceWait::Tick::Waiting);
  EXPECT_EQ(w.tick(), ResistanceWait::Tick::GaveUp);
  EXPECT_EQ(w.resultText(), QStringLiteral("50.0"));

  w.start(500); // the capped current divides the drop
  w.dropSeen(0.050f);
  EXPECT_EQ(w.tick(), ResistanceWait::Tick::Measured);
  EXPECT_EQ(w.resultText(), QStringLiteral("100.0"));
}

} // namespace
