#include "data/parameterfile.h"

#include "data/datafile.h"
#include "data/recording.h"
#include "data/textfile.h"
#include "support/printers.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

using Key = ParameterKey;

QByteArray file(const QByteArray& body) {
  return "---------Ondrel Tester Software--------\r\n" + body;
}

TEST(ParameterFile, SavedLinesAndName) {
  const QStringList lines =
      parameterFileLines({QStringLiteral("KL-F2"), QStringLiteral("Cell 7"), QStringLiteral("1.25"),
                          QStringLiteral("3.00"), QStringLiteral("00:12:34")});
  EXPECT_EQ(lines, (QStringList{QLatin1String(kParameterTitleLine), QStringLiteral("D:KL-F2"),
                                QStringLiteral("T:Cell 7"), QStringLiteral("S:1.25"),
                                QStringLiteral("L:3.00"), QStringLiteral("M:00:12:34"),
                                QLatin1String(kBannerLine)}));
  EXPECT_EQ(parameterFileStem(QDateTime(QDate(2024, 5, 3), QTime(14, 7, 9)), QStringLiteral("a:b")),
            QStringLiteral("2024-5-3-14-7-9-a_b"));

  // Read back on the same model: the title, the set value and the limit; the time readout's
  // text is no number.
  const ParameterFileContent read =
      parseParameterFile(textFileBytes(lines), QStringLiteral("KL-F2"));
  EXPECT_TRUE(read.deviceMatched);
  const std::vector<ParameterSetting> expected = {
      {Key::Title, QStringLiteral("Cell 7"), 3, QStringLiteral("T:Cell 7")},
      {Key::Sval, QStringLiteral("1.25"), 4, QStringLiteral("S:1.25")},
      {Key::Slmt, QStringLiteral("3.00"), 5, QStringLiteral("L:3.00")}};
  EXPECT_EQ(read.settings, expected);
}

TEST(ParameterFile, OnlyLinesAfterTheDeviceMatchAndOnlyNumbersForValues) {
  const struct {
    const char* what;
    QByteArray bytes;
    bool matched;
    std::vector<std::pair<Key, const char*>> settings;
  } cases[] = {
      {"another model", file("D:KL-F3\r\nT:x\r\nS:1.00\r\n"), false, {}},
      {"the name differs in case", file("D:kl-f2\r\nS:1.00\r\n"), false, {}},
      {"the first line is never the device", "D:KL-F2\r\nS:1.00\r\n", false, {}},
      {"lines before the match are not applied",
       file("T:early\r\nS:2.00\r\nD:KL-F2\r\nS:1.00\r\n"),
       true,
       {{Key::Sval, "1.00"}}},
      {"a later device line changes nothing",
       file("D:KL-F2\r\nD:KL-F3\r\nL:2.50\r\n"),
       true,
       {{Key::Slmt, "2.50"}}},
      {"three characters or fewer are skipped",
       file("D:KL-F2\r\nS:5\r\nS:5.0\r\nT:\r\nT:ab\r\n"),
       true,
       {{Key::Sval, "5.0"}, {Key::Title, "ab"}}},
      {"values that are no numbers are dropped",
       file("D:KL-F2\r\nS:abc\r\nL:1,5\r\nS:1e999\r\nS:nan\r\nM:00:12:34\r\nS: 2.5 \r\nM:12\r\n"),
       true,
       {{Key::Sval, "2.5"}, {Key::Time, "12"}}},
      {"LF only, last line without an end",
       file("D:KL-F2\nT:t1\nS:0.50"),
       true,
       {{Key::Title, "t1"}, {Key::Sval, "0.50"}}},
      {"unknown prefixes and lower case",
       file("D:KL-F2\r\nX:1.00\r\ns:1.00\r\nS1.00\r\n"),
       true,
       {}},
      {"a title in GBK",
       file("D:KL-F2\r\nT:\xb5\xe7\xb3\xd8 1\r\n"),
       true,
       {{Key::Title, "电池 1"}}},
      {"only the title line", file(""), false, {}},
      {"binary junk", QByteArray("\0\xff\n\x01D:KL-F2\n\0S:1\n", 16), false, {}},
  };
  for (const auto& c : cases) {
    const ParameterFileContent read = parseParameterFile(c.bytes, QStringLiteral("KL-F2"));
    EXPECT_EQ(read.deviceMatched, c.matched) << c.what;
    std::vector<std::pair<Key, QString>> got;
    for (const ParameterSetting& s : read.settings)
      got.emplace_back(s.key, s.value);
    std::vector<std::pair<Key, QString>> want;
    for (const auto& [key, value] : c.settings)
      want.emplace_back(key, QString::fromUtf8(value));
    EXPECT_EQ(got, want) << c.what;
  }

  // Overlong lines: a title of any length stands; a number of a thousand digits is no number.
  const QByteArray longTitle(100000, 'x');
  const QByteArray longNumber(1000, '9');
  const ParameterFileContent read = parseParameterFile(
      file("D:KL-F2\r\nT:" + longTitle + "\r\nS:" + longNumber + "\r\n"), QStringLiteral("KL-F2"));
  ASSERT_EQ(read.settings.size(), 1u);
  EXPECT_EQ(read.settings[0].value.size(), longTitle.size());
}

TEST(ParameterFile, NumbersKeepTheDecimalPointWhateverTheLocale) {
  const QLocale previous;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  const ParameterFileContent read =
      parseParameterFile(file("D:KL-F2\r\nS:2.5\r\nL:2,5\r\n"), QStringLiteral("KL-F2"));
  DataFileContent data;
  data.points = {{0, 1.5f, 3.25f, 0}};
  const QString pointLine = dataFileLines(data).last();
  QLocale::setDefault(previous);
  ASSERT_EQ(read.settings.size(), 1u);
  EXPECT_EQ(read.settings[0].value, QStringLiteral("2.5"));
  EXPECT_EQ(pointLine, QStringLiteral("0,1.50,3.250"));
}

} // namespace
