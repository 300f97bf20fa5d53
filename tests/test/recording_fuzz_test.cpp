#include "data/recording.h"
#include "test/continuereplay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <string_view>

namespace ondrel {
namespace {

constexpr int kInputs = 1'000'000;

QByteArray header(const char* columns) {
  return QByteArray("-----------Ondrel Tester Software------------\r\nDevice:KL-F2\r\n"
                    "Mode:D-CC  1.00A  2.80V\r\nBegin Volt:4.10V\r\n") +
         kBannerLine + "\r\n" + columns + "\r\n";
}

// A few recordings as the program writes them, to mutate.
std::vector<QByteArray> seeds() {
  std::vector<QByteArray> s;
  QByteArray amps = header("Time(S)\tCur(A)\tVol(V)");
  for (int t = 0; t < 12; ++t)
    amps += QByteArray::number(t * 7) + "\t01.50\t" + QByteArray::number(4.1 - t * 0.01, 'f', 3) +
            "\r\n";
  s.push_back(amps);

  QByteArray milli = header("Time(S)\tCur(mA)\tVol(V)");
  for (int t = 100; t < 110; ++t)
    milli += QByteArray::number(t) + "\t1500.000\t3.700\r\n";
  s.push_back(milli);

  // LF only, with temperature, a finished test continued by the user.
  QByteArray temp = header("Time(S)\tCur(A)\tVol(V)\tTemp(C)").replace("\r\n", "\n");
  for (int t = 0; t < 6; ++t)
    temp += QByteArray::number(t) + "\t0.250\t3.650\t25.0\n";
  temp += "End:2026-12-10 14:03:05\n";
  for (int t = 6; t < 9; ++t)
    temp += QByteArray::number(t) + "\t0.250\t3.640\t25.1\n";
  s.push_back(temp);

  s.push_back(header("Time(S)\tCur(A)\tVol(V)") + "0\t00.00\t0.000\r\nEnd:2026-1-1 0:00:00\r\n");
  return s;
}

// Pieces that lead the reader into its less trodden paths.
const std::vector<QByteArray>& pieces() {
  // clang-format off
  static const std::vector<QByteArray> p = {
      "\t", "\n", "\r\n", "\r", ".", "-", "+", "e", "0", "9",
      "1000000000", "315360000", "315360001", "2147483647", "4294967296",
      "99999999999999999999999999", "1e308", "inf", "nan", "-1",
      "1000.000", "1000.001", "1000000", "0.0001", QByteArray(300, '9'),
      "End:", "End:2026-12-10 14:03:05\r\n", "Device:", "Mode:", "Begin Volt:",
      "Time(S)\tCur(mA)\tVol(V)\r\n", "Time(S)\tCur(A)\tVol(V)\r\n", " (cut off)",
      QByteArray("\0\xff\x80", 3),
  };
  // clang-format on
  return p;
}

QByteArray mutate(QByteArray s, const std::vector<QByteArray>& others, std::mt19937& rng) {
  const auto below = [&](qsizetype n) { return n <= 0 ? 0 : qsizetype(rng() % quint64(n)); };
  const int count = 1 + int(rng() % 8);
  for (int m = 0; m < count; ++m) {
    const qsizetype at = below(s.size() + 1);
    switch (rng() % 9) {
    case 0: // flip a byte
      if (!s.isEmpty())
        s[below(s.size())] = char(rng());
      break;
    case 1: // flip a bit
      if (!s.isEmpty())
        s[below(s.size())] ^= char(1 << (rng() % 8));
      break;
    case 2: // insert random bytes
      for (int k = 1 + int(rng() % 4); k > 0; --k)
        s.insert(at, char(rng()));
      break;
    case 3: // lose bytes
      s.remove(at, 1 + below(40));
      break;
    case 4: // cut the end off
      s.truncate(below(s.size() + 1));
      break;
    case 5: { // splice a piece of another recording
      const QByteArray& o = others[rng() % others.size()];
      const qsizetype from = below(o.size());
      s.insert(at, o.mid(from, 1 + below(120)));
      break;
    }
    case 6: // a troublesome piece
      s.insert(at, pieces()[rng() % pieces().size()]);
      break;
    case 7: // repeat a piece of itself
      s.insert(at, s.mid(below(s.size()), 1 + below(60)));
      break;
    default: // LF-only or CR-only line ends
      s.replace("\r\n", rng() % 2 ? "\n" : "\r");
      break;
    }
  }
  return s;
}

// Lines that start like a number: the reader must either take or skip each one of them.
struct LineCount {
  int sampleLike = 0;
  bool endsWithEndLine = false;
};

LineCount countLines(const QByteArray& bytes) {
  LineCount c;
  for (QByteArray line : bytes.split('\n')) {
    while (line.endsWith('\r'))
      line.chop(1);
    if (line.isEmpty())
      continue;
    const char first = line[0];
    const bool digit = first >= '0' && first <= '9';
    const bool signedDigit =
        (first == '-' || first == '+') && line.size() > 1 && line[1] >= '0' && line[1] <= '9';
    c.sampleLike += digit || signedDigit;
    c.endsWithEndLine = line.startsWith("End:");
  }
  return c;
}

std::string shown(const QByteArray& bytes) {
  return bytes.toPercentEncoding(" \t:.()").toStdString();
}

// The invariants every input must keep; false (with a failure) when one breaks.
bool check(const QByteArray& input) {
  const RecordingContent r = parseRecording(input);
  const LineCount lines = countLines(input);
  EXPECT_EQ(int(r.samples.size()) + r.skippedLines, lines.sampleLike);
  EXPECT_EQ(r.endedNormally, lines.endsWithEndLine);
  const double mostCurrent = kMaxRecordingCurrent * (r.currentInMilliamps ? 1000.0 : 1.0);
  long double exactCharge = 0, exactEnergy = 0;
  qint32 previous = 0;
  for (const RecordingSample& s : r.samples) {
    EXPECT_TRUE(s.time >= previous && s.time <= kMaxRecordingSeconds) << s.time;
    EXPECT_TRUE(std::isfinite(s.current) && s.current >= 0 && s.current <= mostCurrent)
        << s.current;
    EXPECT_TRUE(std::isfinite(s.voltage) && s.voltage >= 0 && s.voltage <= kMaxRecordingVoltage)
        << s.voltage;
    const long double amperes = r.currentInMilliamps ? s.current / 1000.0L : s.current;
    exactCharge += amperes * (s.time - previous) * 1000;
    exactEnergy += amperes * (s.time - previous) * 1000 * s.voltage;
    previous = s.time;
  }

  const ContinuePlan plan = planContinue(r);
  EXPECT_EQ(plan.points.size(), r.samples.size());
  EXPECT_EQ(plan.hasSamples, !r.samples.empty());
  EXPECT_EQ(plan.lastTime, r.samples.empty() ? 0 : r.samples.back().time);
  // Each addition rounds by at most half a unit; beyond that only the doubles' own error.
  const long double slack = 0.5L * r.samples.size() + 1;
  EXPECT_LE(std::fabs(plan.chargeMAs - exactCharge), slack + exactCharge * 1e-12L);
  EXPECT_LE(std::fabs(plan.energyMWs - exactEnergy), slack + exactEnergy * 1e-12L);
  EXPECT_EQ(plan.CapOffset, float(double(plan.chargeMAs / 3600) / 1000.0));
  float lastCap = 0, lastEnergy = 0;
  for (const ContinuePoint& p : plan.points) {
    EXPECT_TRUE(p.capacityAh >= lastCap && p.energyWh >= lastEnergy);
    lastCap = p.capacityAh;
    lastEnergy = p.energyWh;
  }
  if (plan.hasSamples) {
    EXPECT_LE(std::fabs(double(lastCap) * 3.6e6 - double(plan.chargeMAs)),
              1800.0 + double(plan.chargeMAs) * 1e-6);
    EXPECT_LE(std::fabs(double(lastEnergy) * 3.6e6 - double(plan.energyMWs)),
              1800.0 + double(plan.energyMWs) * 1e-6);
  }
  if (::testing::Test::HasFailure()) {
    ADD_FAILURE() << "input: " << shown(input);
    return false;
  }
  return true;
}

TEST(RecordingFuzzTest, MutatedRecordingsKeepTheReaderAndTheReplaySound) {
  const std::vector<QByteArray> base = seeds();
  for (const QByteArray& s : base)
    ASSERT_TRUE(check(s));
  std::mt19937 rng(20261210);
  // Mostly mutations of good recordings; some pure noise and some soup of troublesome pieces.
  for (int i = 0; i < kInputs; ++i) {
    QByteArray input;
    const unsigned kind = rng() % 10;
    if (kind < 8) {
      input = mutate(base[rng() % base.size()], base, rng);
    } else if (kind == 8) {
      input.resize(qsizetype(rng() % 400));
      for (char& c : input)
        c = char(rng());
    } else {
      for (int k = int(rng() % 60); k > 0; --k)
        input += pieces()[rng() % pieces().size()];
    }
    ASSERT_TRUE(check(input)) << "input " << i;
  }
}

} // namespace
} // namespace ondrel
