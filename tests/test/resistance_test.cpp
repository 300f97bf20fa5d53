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

TEST(Resistance, TestCurrentIsCappedAtTheModelsMaximum) {
  ModelParams half = identifiedModel(12);
  half.MaxCurrent = 0.5f;
  EXPECT_EQ(resistanceCurrentMa(identifiedModel(12), QStringLiteral("1000")), 1000);
  EXPECT_EQ(resistanceCurrentMa(half, QStringLiteral("1000")), 500);
  EXPECT_EQ(resistanceCurrentMa(identifiedModel(12), QStringLiteral("199")), std::nullopt);
  EXPECT_EQ(resistanceCurrentMa(identifiedModel(12), QStringLiteral("x")), std::nullopt);
  ModelParams none = identifiedModel(12);
  none.MaxCurrent = 0.0f;
  EXPECT_EQ(resistanceCurrentMa(none, QStringLiteral("1000")), std::nullopt);
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
