#include "data/viewerfile.h"

#include "support/mutatebytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace ondrel {
namespace {

constexpr int kInputs = 40'000;

const QByteArray kSeed = "Battery Test Data\r\nDevice:KL-F2\r\nMode:D-CC  1.00A  3.00V\r\n"
                         "Capacity:812mAh\r\nTitle:Cell\r\n******\r\nTime(S),Cur(mA),Vol(V)\r\n"
                         "0,1000,4.100\r\n1,1000,4.090\r\n2,990,4.080\r\n*1,2,3\r\n3,1000,4.07\r\n";

const std::vector<QByteArray>& pieces() {
  static const std::vector<QByteArray> p = {
      "\r\n",
      "\n",
      ",",
      "\t",
      "Device:",
      "Capacity:",
      "Cur(mA)",
      "0",
      "9",
      ".",
      "-",
      "e",
      "1e308",
      "1e999",
      "nan",
      "inf",
      " ",
      QByteArray(300, '5'),
      QByteArray("\0\xff\x80", 3),
  };
  return p;
}

QByteArray mutate(const QByteArray& s, std::mt19937& rng) {
  return testing::mutateBytes(s, rng, pieces());
}

// Any bytes: the reader answers with points and a complete row, or with a problem and nothing;
// every number it hands on is finite.
TEST(ViewerFileFuzz, AnyBytesGiveFinitePointsOrAProblem) {
  std::mt19937 rng(181210);
  for (int i = 0; i < kInputs; ++i) {
    const QByteArray bytes = mutate(kSeed, rng);
    for (char sep : {',', '\t'}) {
      const ViewerFile f = readViewerFile(bytes, sep, i % 2 == 0);
      const size_t n = f.volt.size();
      ASSERT_TRUE(f.t.size() == n && f.x.size() == n && f.cur.size() == n && f.capAh.size() == n &&
                  f.energyWh.size() == n);
      if (!f.problem.isEmpty()) {
        ASSERT_EQ(n, 0u);
        continue;
      }
      ASSERT_GT(n, 0u);
      ASSERT_FALSE(f.cells[4].isEmpty());
      ASSERT_FALSE(f.cells[6].isEmpty());
      for (size_t j = 0; j < n; ++j)
        ASSERT_TRUE(std::isfinite(f.volt[j]) && std::isfinite(f.cur[j]) && std::isfinite(f.t[j]))
            << bytes.toHex().toStdString();
    }
  }
}

} // namespace
} // namespace ondrel
