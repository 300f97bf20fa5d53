#include "data/support/langtext.h"

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

class LangTextTest : public ::testing::Test {
protected:
  void TearDown() override { setLanguageSetting(0); }
};

TEST_F(LangTextTest, SettingZeroOrOtherLeavesTextsAlone) {
  const QString chinese = QStringLiteral("电池测试软件");
  for (int lang : {0, 2, -1}) {
    setLanguageSetting(lang);
    EXPECT_EQ(LangText(chinese), chinese) << lang;
    EXPECT_EQ(languageSetting(), 0);
  }
}

TEST_F(LangTextTest, SettingOneMapsCharacterByCharacter) {
  setLanguageSetting(1);
  const struct {
    QString in, out;
  } cases[] = {
      {QStringLiteral("电池测试软件"), QStringLiteral("電池測試軟件")},
      {QStringLiteral("Stop running?"), QStringLiteral("Stop running?")},
      {QStringLiteral("设备1: 运行"), QStringLiteral("設備1: 運行")},
      {QStringLiteral("温度 ℃"), QStringLiteral("溫度 ℃")},
      {QString(), QString()},
  };
  for (const auto& c : cases) {
    const QString got = LangText(c.in);
    EXPECT_EQ(got, c.out) << got.toStdString();
    EXPECT_EQ(got.size(), c.in.size());
  }
}

TEST_F(LangTextTest, ReadsTheSettingAtEveryCall) {
  const QString text = QStringLiteral("电");
  setLanguageSetting(1);
  EXPECT_EQ(LangText(text), QStringLiteral("電"));
  setLanguageSetting(0);
  EXPECT_EQ(LangText(text), text);
}

} // namespace
