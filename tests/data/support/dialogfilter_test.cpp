#include "data/support/dialogfilter.h"

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

TEST(DialogFilter, PairsBecomeQtNameFilters) {
  const struct {
    const char* in;
    QStringList out;
  } cases[] = {
      {"csv file(*.csv)|*.csv|data file(*.dat)|*.dat",
       {QStringLiteral("csv file(*.csv)"), QStringLiteral("data file(*.dat)")}},
      {"Step File|*.stp", {QStringLiteral("Step File (*.stp)")}},
      {"Pictures|*.bmp;*.png", {QStringLiteral("Pictures (*.bmp *.png)")}},
      {"All|*.*|dangling", {QStringLiteral("All (*.*)")}},
      {"", {}},
      {"No pattern|", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(nameFiltersFromPairs(QString::fromLatin1(c.in)), c.out) << c.in;
}

} // namespace
