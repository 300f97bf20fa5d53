#include "data/parameterfile.h"

#include "data/recording.h"
#include "data/support/failure.h"
#include "data/textfile.h"
#include "link/commands.h"

#include "support/mutatebytes.h"

#include <gtest/gtest.h>

#include <random>

namespace ondrel {
namespace {

constexpr int kInputs = 250'000;
const QString kDevice = QStringLiteral("KL-F2");

std::vector<QByteArray> seeds() {
  const QByteArray saved =
      textFileBytes(parameterFileLines({kDevice, QStringLiteral("Cell 7"), QStringLiteral("1.25"),
                                        QStringLiteral("3.00"), QStringLiteral("00:12:34")}));
  QByteArray lf = saved;
  lf.replace("\r\n", "\n");
  return {saved, lf,
          "x\r\nT:early\r\nD:KL-F2\r\nT:\xb5\xe7\xb3\xd8\r\nS:5\r\nM:12\r\nL:-1\r\nD:KL-F3\r\n"};
}

const std::vector<QByteArray>& pieces() {
  static const std::vector<QByteArray> p = {
      "\r\n",
      "\n",
      "\r",
      "D:",
      "D:KL-F2",
      "T:",
      "S:",
      "L:",
      "M:",
      "0",
      "9",
      ".",
      "-",
      "+",
      "e",
      "1e308",
      "1e999",
      "inf",
      "nan",
      " ",
      "\t",
      ",",
      QByteArray(500, '9'),
      QByteArray("\0\xff\x80\xb5\xe7", 5),
      "\xe7\x94\xb5",
  };
  return p;
}

QByteArray mutate(const QByteArray& s, std::mt19937& rng) {
  return testing::mutateBytes(s, rng, pieces());
}

// Whatever the bytes, every setting is a line of the file after the device's own "D:" line, with
// its key's prefix, and a value that is a number wherever a number belongs.
TEST(ParameterFileFuzzTest, MutatedFilesGiveOnlySoundSettings) {
  std::mt19937 rng(20240503);
  const std::vector<QByteArray> s = seeds();
  int matched = 0, applied = 0;
  for (int i = 0; i < kInputs; ++i) {
    const QByteArray bytes = mutate(s[size_t(rng() % s.size())], rng);
    const ParameterFileContent read = parseParameterFile(bytes, kDevice);
    const QStringList lines = textFileLines(bytes);
    int deviceLine = 0;
    for (int n = 1; n < lines.size() && deviceLine == 0; ++n)
      if (lines[n] == QStringLiteral("D:") + kDevice)
        deviceLine = n + 1;
    ASSERT_EQ(read.deviceMatched, deviceLine > 0) << bytes.toHex().toStdString();
    int previous = deviceLine;
    for (const ParameterSetting& setting : read.settings) {
      ASSERT_GT(setting.line, previous);
      previous = setting.line;
      ASSERT_EQ(lines.value(setting.line - 1), setting.text);
      ASSERT_GT(setting.text.size(), 3);
      const char* prefix[] = {"T:", "S:", "L:", "M:"};
      ASSERT_TRUE(setting.text.startsWith(QLatin1String(prefix[int(setting.key)])));
      if (setting.key == ParameterKey::Title) {
        ASSERT_EQ(setting.value, setting.text.mid(2));
      } else {
        ASSERT_NO_THROW(numberFromText(setting.value)) << setting.text.toStdString();
      }
      ++applied;
    }
    matched += read.deviceMatched;
  }
  // The mutations keep enough files whole to reach the settings.
  EXPECT_GT(matched, kInputs / 4);
  EXPECT_GT(applied, kInputs / 4);
}

} // namespace
} // namespace ondrel
