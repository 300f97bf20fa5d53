#include "data/settings.h"

#include "support/mutatebytes.h"

#include <gtest/gtest.h>

#include <random>

namespace ondrel {
namespace {

constexpr int kInputs = 60'000;

const QByteArray kSeed = ";--------Ondrel Config File----------\r\n"
                         "[LANGUAGE]\r\nLANG=0\r\n"
                         "[COMM]\r\nPORT1=3\r\n; a note\r\n\r\n"
                         "[AUTO]\r\nSAVE=True\r\nCSV=False\r\nTEMP=False\r\n"
                         "[DATA]\r\nVCOL0=16711680\r\nCCOL0=255\r\nMDOT=1\r\nLINE=2\r\nSLA=1\r\n"
                         "[CURVE]\r\nVY0=0\r\nVY1=20.5\r\nCT0=0\r\nCT1=100\r\n"
                         "[OTHER]\r\nkey=value\r\n";

const std::vector<QByteArray>& pieces() {
  static const std::vector<QByteArray> p = {
      "\r\n",
      "\n",
      "\r",
      "[",
      "]",
      "=",
      ";",
      "[DATA]",
      "[CURVE]",
      "VCOL0=",
      "VY1=",
      "LINE=",
      "True",
      "-1",
      "1e99",
      "nan",
      "inf",
      ".",
      "0",
      "9",
      " ",
      "\t",
      QByteArray(600, '9'),
      QByteArray("\0\xff\x80\xb5\xe7", 5),
  };
  return p;
}

QByteArray mutate(const QByteArray& s, std::mt19937& rng) {
  return testing::mutateBytes(s, rng, pieces());
}

// Any settings text: start-up reads it without failing, every value it takes is in its range,
// and a write changes one key and no other line.
TEST(SettingsFuzz, AnyTextReadsAndWritesSafely) {
  std::mt19937 rng(20261210);
  for (int i = 0; i < kInputs; ++i) {
    const QByteArray bytes = mutate(kSeed, rng);
    const QString text = QString::fromLocal8Bit(bytes);
    const IniDocument doc = IniDocument::fromText(text);
    const StartupSettings s = readStartupSettings(doc);
    const Preferences& p = s.prefs;
    for (quint32 c :
         {p.VCOL[0], p.VCOL[1], p.CCOL[0], p.CCOL[1], p.PCOL, p.TCOL, p.BCOL, p.GCOL, p.ACOL})
      ASSERT_LE(c, 0xFFFFFFu) << bytes.toHex().toStdString();
    ASSERT_TRUE(p.LINE >= 1 && p.LINE <= 20);
    ASSERT_TRUE(s.LANG == 0 || s.LANG == 1);
    for (const auto& r : {s.ranges.volt, s.ranges.cur}) {
      if (r) {
        ASSERT_TRUE(r->low >= 0 && r->high <= 100 && r->high > r->low);
      }
    }
    if (s.ranges.time) {
      ASSERT_TRUE(s.ranges.time->low >= 0 && s.ranges.time->high <= 60000);
    }

    IniDocument written = doc;
    written.setValue(QStringLiteral("DATA"), QStringLiteral("LINE"), QStringLiteral("1"));
    ASSERT_EQ(written.value(QStringLiteral("DATA"), QStringLiteral("LINE")), QStringLiteral("1"))
        << bytes.toHex().toStdString();
    // Every line but the one written is kept in order: a key that was there is replaced in
    // place, a new one (with its section) is inserted.
    const QStringList before = doc.lines(), after = written.lines();
    if (!doc.value(QStringLiteral("DATA"), QStringLiteral("LINE")).isNull()) {
      ASSERT_EQ(after.size(), before.size());
      qsizetype differing = 0;
      for (qsizetype j = 0; j < before.size(); ++j)
        differing += before[j] != after[j];
      ASSERT_LE(differing, 1) << bytes.toHex().toStdString();
    } else {
      ASSERT_TRUE(after.size() == before.size() + 1 || after.size() == before.size() + 2);
      qsizetype j = 0;
      for (const QString& line : after)
        if (j < before.size() && line == before[j])
          ++j;
      ASSERT_EQ(j, before.size()) << bytes.toHex().toStdString();
    }
  }
}

} // namespace
} // namespace ondrel
