#include "data/settings.h"

#include "support/tempfolder.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

StartupSettings read(const QString& text) {
  return readStartupSettings(IniDocument::fromText(text));
}

const QString kComment = QLatin1String(kSettingsFileComment) + QStringLiteral("\r\n");

TEST(Settings, CommentOnlyFileGivesTheWholeDefaultLook) {
  const StartupSettings s = read(kComment);
  EXPECT_TRUE(s.problems.isEmpty()) << s.problems.join(QLatin1Char('|')).toStdString();
  EXPECT_EQ(s.LANG, 0);
  EXPECT_EQ(s.prefs, Preferences{});
  const Preferences& p = s.prefs;
  EXPECT_EQ(p.VCOL[0], 16711680u); // blue
  EXPECT_EQ(p.CCOL[0], 255u);      // red
  EXPECT_EQ(p.MDOT, 0);            // solid major grid
  EXPECT_EQ(p.SDOT, 1);            // dotted minor grid
  EXPECT_EQ(p.BCOL, 0xFFFFFFu);
  EXPECT_EQ(p.GCOL, 8421504u);
  EXPECT_EQ(p.ACOL, 0u);
  EXPECT_EQ(p.LINE, 2);
  EXPECT_EQ(p.SLA, 0);
  EXPECT_TRUE(p.CSV);
  EXPECT_EQ(s.ranges.volt, (AxisRange{0, 20}));
  EXPECT_EQ(s.ranges.cur, (AxisRange{0, 10}));
  EXPECT_EQ(s.ranges.time, (AxisRange{0, 100}));
}

TEST(Settings, AxisLimitsAppliedOnlyInBoundsAndFarEnoughApart) {
  const struct {
    const char *section, *low, *high;
    bool applied;
  } cases[] = {
      {"VY", "5", "5.1", true},     {"VY", "5", "5.05", false},  {"VY", "-1", "5", false},
      {"VY", "0", "100", true},     {"VY", "0", "100.5", false}, {"VY", "9", "3", false},
      {"CY", "0", "0.1", true},     {"CY", "0", "0.05", false},  {"CT", "50", "55", false},
      {"CT", "50", "60", true},     {"CT", "0", "60001", false}, {"CT", "0", "60000", true},
      {"CT", "50.9", "60.2", true}, // whole numbers: 50 and 60
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(::testing::Message() << k.section << " " << k.low << ".." << k.high);
    const QString text =
        kComment + QStringLiteral("[CURVE]\r\n%1=%2\r\n%3=%4\r\n")
                       .arg(QLatin1String(k.section) + QLatin1Char('0'), QLatin1String(k.low),
                            QLatin1String(k.section) + QLatin1Char('1'), QLatin1String(k.high));
    const StartupSettings s = read(text);
    const auto& range = k.section[0] == 'V'                          ? s.ranges.volt
                        : k.section[0] == 'C' && k.section[1] == 'Y' ? s.ranges.cur
                                                                     : s.ranges.time;
    EXPECT_EQ(range.has_value(), k.applied);
    EXPECT_TRUE(s.problems.isEmpty());
  }
  EXPECT_EQ(read(kComment + QStringLiteral("[CURVE]\r\nCT0=50.9\r\nCT1=60.2\r\n")).ranges.time,
            (AxisRange{50, 60}));
}

TEST(Settings, LanguageOnlyZeroOrOne) {
  const struct {
    const char* value;
    int lang;
    bool problem;
  } cases[] = {
      {"0", 0, false}, {"1", 1, false}, {"2", 0, false}, {"-1", 0, false}, {"abc", 0, true}};
  for (const auto& k : cases) {
    const StartupSettings s =
        read(kComment + QStringLiteral("[LANGUAGE]\r\nLANG=") + QLatin1String(k.value));
    EXPECT_EQ(s.LANG, k.lang) << k.value;
    EXPECT_EQ(!s.problems.isEmpty(), k.problem) << k.value;
  }
}

// An unusable value takes its key's default, is named in the problems, and costs no other key.
TEST(Settings, UnusableValuesTakeTheirDefaultAndAreNamed) {
  const struct {
    const char *section, *key, *value;
    const char* problem; // "" when the value is usable
  } cases[] = {
      {"DATA", "VCOL0", "-1", "DATA/VCOL0"},
      {"DATA", "VCOL0", "1e99", "DATA/VCOL0"},
      {"DATA", "BCOL", "abc", "DATA/BCOL"},
      {"DATA", "GCOL", "nan", "DATA/GCOL"},
      {"DATA", "LINE", "0", "DATA/LINE"},
      {"DATA", "LINE", "two", "DATA/LINE"},
      {"AUTO", "SAVE", "yes", "AUTO/SAVE"},
      {"CURVE", "VY1", "abc", "CURVE/VY1"},
      {"DATA", "SLA", "\x01\x02", "DATA/SLA"},
      {"AUTO", "SAVE", "true", ""},
      {"AUTO", "SAVE", "1", ""},
      {"DATA", "VCOL0", "255.7", ""},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(::testing::Message() << k.key << "=" << k.value);
    // Only the first of two sections of one name counts: a DATA key joins CCOL0's section.
    const QString section = QLatin1String(k.section) == QLatin1String("DATA")
                                ? QString()
                                : QStringLiteral("[%1]\r\n").arg(QLatin1String(k.section));
    const QString text =
        kComment + QStringLiteral("[DATA]\r\nCCOL0=65280\r\n") + section +
        QStringLiteral("%1=%2\r\n").arg(QLatin1String(k.key), QString::fromLatin1(k.value));
    const StartupSettings s = read(text);
    EXPECT_EQ(s.prefs.CCOL[0], 65280u); // the other key stays
    if (*k.problem) {
      ASSERT_EQ(s.problems.size(), 1);
      EXPECT_TRUE(s.problems[0].startsWith(QLatin1String(k.problem)))
          << s.problems[0].toStdString();
    } else {
      EXPECT_TRUE(s.problems.isEmpty());
    }
  }
  const StartupSettings bad =
      read(kComment + QStringLiteral("[DATA]\r\nVCOL0=-1\r\nLINE=x\r\n[CURVE]\r\nVY1=abc\r\n"));
  EXPECT_EQ(bad.prefs.VCOL[0], Preferences{}.VCOL[0]);
  EXPECT_EQ(bad.prefs.LINE, 2);
  EXPECT_EQ(bad.ranges.volt, (AxisRange{0, 20})); // the default limit, applied
  EXPECT_EQ(read(kComment + QStringLiteral("[DATA]\r\nVCOL0=255.7\r\n")).prefs.VCOL[0], 255u);
}

TEST(Settings, HugeValuesDuplicatesAndJunkLines) {
  const QString huge(5000, QLatin1Char('7'));
  const QString text = kComment + QStringLiteral("garbage line\r\n=\r\n[DATA]\r\nBCOL=") + huge +
                       QStringLiteral("\r\nGCOL=255\r\nGCOL=0\r\n\x7f\x01\r\n[DATA]\r\nBCOL=0\r\n"
                                      "ACOL=255\r\n");
  const StartupSettings s = read(text);
  EXPECT_EQ(s.prefs.BCOL, Preferences{}.BCOL); // the first BCOL wins, and it is unusable
  EXPECT_EQ(s.prefs.GCOL, 255u);               // the first of two keys
  EXPECT_EQ(s.prefs.ACOL, 0u);                 // a second section of a name is not read
  ASSERT_EQ(s.problems.size(), 1);
  EXPECT_LT(s.problems[0].size(), 80); // the log line stays short
}

// The texts the program writes read back as the values written.
TEST(Settings, WrittenValuesReadBackIdentically) {
  ondrel::testing::TempProgramFolder home;
  const QString ini = home.file(QStringLiteral("ondrel.ini"));
  Preferences p;
  p.SAVE = true, p.MSG = true, p.CSV = false, p.TEMP = true;
  p.VCOL[0] = 0x123456, p.CCOL[1] = 0x654321, p.PCOL = 1, p.TCOL = 2;
  p.MDOT = 1, p.SDOT = 0, p.BCOL = 3, p.GCOL = 4, p.ACOL = 5, p.LINE = 1;
  p.SLA = 1, p.SCALE = 0, p.XTIME = false, p.SAH = 1, p.SWH = 1;
  namespace k = settings;
  writeSetting(ini, k::SAVE, boolText(p.SAVE));
  writeSetting(ini, k::MSG, boolText(p.MSG));
  writeSetting(ini, k::CSV, boolText(p.CSV));
  writeSetting(ini, k::TEMP, boolText(p.TEMP));
  writeSetting(ini, k::VCOL0, colourText(p.VCOL[0]));
  writeSetting(ini, k::CCOL1, colourText(p.CCOL[1]));
  writeSetting(ini, k::PCOL, colourText(p.PCOL));
  writeSetting(ini, k::TCOL, colourText(p.TCOL));
  writeSetting(ini, k::MDOT, checkText(p.MDOT));
  writeSetting(ini, k::SDOT, checkText(p.SDOT));
  writeSetting(ini, k::BCOL, colourText(p.BCOL));
  writeSetting(ini, k::GCOL, colourText(p.GCOL));
  writeSetting(ini, k::ACOL, colourText(p.ACOL));
  writeSetting(ini, k::LINE, QStringLiteral("1"));
  writeSetting(ini, k::SLA, checkText(p.SLA));
  writeSetting(ini, k::SCALE, checkText(p.SCALE));
  writeSetting(ini, k::XTIME, boolText(p.XTIME));
  writeSetting(ini, k::SAH, checkText(p.SAH));
  writeSetting(ini, k::SWH, checkText(p.SWH));
  QFile f(ini);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const StartupSettings s = read(QString::fromLocal8Bit(f.readAll()));
  EXPECT_TRUE(s.problems.isEmpty());
  EXPECT_EQ(s.prefs, p);
}

TEST(CoordinateDialog, LeavingABox) {
  const struct {
    AxisBox box;
    const char *text, *message, *shown;
  } cases[] = {
      {AxisBox::Voltage, "12", "", "12.0"},
      {AxisBox::Voltage, "abc", "设置数据有误！", "abc"},
      {AxisBox::Voltage, "100.1", "电压坐标设置超出范围", "100.1"},
      {AxisBox::Current, "-0.1", "电流坐标设置超出范围", "-0.1"},
      {AxisBox::Current, " 0.05 ", "", "0.1"},
      {AxisBox::Time, "60001", "时间坐标设置超出范围", "60001"},
      {AxisBox::Time, "12.6", "", "13"},
      {AxisBox::Time, "", "设置数据有误！", ""},
  };
  for (const auto& k : cases) {
    const BoxCheck c = checkCoordinateBox(k.box, QString::fromUtf8(k.text));
    EXPECT_EQ(c.message, QString::fromUtf8(k.message)) << k.text;
    EXPECT_EQ(c.text, QString::fromUtf8(k.shown)) << k.text;
  }
}

TEST(CoordinateDialog, OkChecksInTheirOrder) {
  const CoordinateTexts good{QStringLiteral("0.0"),  QStringLiteral("20.0"), QStringLiteral("0.0"),
                             QStringLiteral("10.0"), QStringLiteral("0"),    QStringLiteral("100")};
  EXPECT_EQ(checkCoordinates(good), QString());
  const struct {
    QString CoordinateTexts::*box;
    const char* text;
    const char* message;
  } cases[] = {
      {&CoordinateTexts::curHigh, "0.1", ""},
      {&CoordinateTexts::curHigh, "0.05", "电流轴范围需大于等于0.1A"},
      {&CoordinateTexts::curHigh, "101", "电流坐标设置超出范围"},
      {&CoordinateTexts::voltLow, "19.95", "电压轴范围需大于等于0.1V"},
      {&CoordinateTexts::voltHigh, "x", "电压坐标设置超出范围"},
      {&CoordinateTexts::timeHigh, "10", ""},
      {&CoordinateTexts::timeHigh, "9", "时间轴范围需大于等于10S"},
      {&CoordinateTexts::timeLow, "-1", "时间坐标设置超出范围"},
  };
  for (const auto& k : cases) {
    CoordinateTexts t = good;
    t.*k.box = QString::fromUtf8(k.text);
    if (k.box == &CoordinateTexts::curHigh)
      t.curLow = QStringLiteral("0.0");
    if (k.box == &CoordinateTexts::timeHigh)
      t.timeLow = QStringLiteral("0");
    EXPECT_EQ(checkCoordinates(t), QString::fromUtf8(k.message)) << k.text;
  }
  // Both a current and a voltage fault: the current's is said first.
  CoordinateTexts both = good;
  both.voltHigh = QStringLiteral("200");
  both.curHigh = QStringLiteral("200");
  EXPECT_EQ(checkCoordinates(both), QStringLiteral("电流坐标设置超出范围"));
}

} // namespace
