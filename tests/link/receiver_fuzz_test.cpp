#include "link/receiver.h"

#include "link/reportbytes.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace ondrel {
namespace {

using testing::intactBody;
using testing::wire;

bool isDelimiter(char c) {
  return c == char(kFrameStart) || c == char(kFrameEnd);
}

// Feeds `stream` in reads of 1..64 bytes and checks every handed body: intact, and on the wire as
// a start byte, exactly these 17 bytes, perhaps more non-delimiter bytes (an overlong frame), and
// an end byte inside the read that handed it. No frame is handed twice.
int feedAndCheck(const QByteArray& stream, std::mt19937& rng) {
  ReceiveState state;
  std::uniform_int_distribution<int> readSize(1, 64);
  int handled = 0;
  qsizetype pos = 0;
  qsizetype nextEnd = 0; // where to look for the end byte of the next handed frame
  std::set<qsizetype> usedStarts;
  while (pos < stream.size()) {
    const qsizetype n = qMin<qsizetype>(readSize(rng), stream.size() - pos);
    const QByteArray block = stream.mid(pos, n);
    nextEnd = qMax(nextEnd, pos);
    state.ReceiveBytes(block, [&](const RecBody& body) {
      EXPECT_TRUE(ChkRec(body));
      bool found = false;
      for (qsizetype q = nextEnd; q < pos + n && !found; ++q) {
        if (stream[q] != char(kFrameEnd))
          continue;
        qsizetype p = q - 1;
        while (p >= 0 && !isDelimiter(stream[p]))
          --p;
        found = p >= 0 && stream[p] == char(kFrameStart) && q - p - 1 >= 17 &&
                stream.mid(p + 1, 17) == testing::bodyBytes(body) && usedStarts.insert(p).second;
        nextEnd = q + 1;
      }
      EXPECT_TRUE(found);
      ++handled;
      return ReportAction::Continue;
    });
    pos += n;
    if (::testing::Test::HasFailure())
      break;
  }
  return handled;
}

TEST(ReceiveBytesFuzzTest, RandomBytesNeverHandAFalseBody) {
  std::mt19937 rng(20240601);
  // Mostly-delimiter streams exercise the frame boundaries; uniform ones the rest.
  std::discrete_distribution<int> kind({6, 1, 1, 2});
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 4000);
  qint64 total = 0;
  while (total < 2'500'000) {
    const int k = kind(rng);
    QByteArray s(length(rng), Qt::Uninitialized);
    for (char& c : s) {
      switch (k) {
      case 0:
        c = char(byte(rng));
        break;
      case 1:
        c = char(kFrameEnd);
        break;
      case 2:
        c = char(kFrameStart);
        break;
      default: {
        const int r = byte(rng);
        c = r < 20 ? char(kFrameStart) : r < 40 ? char(kFrameEnd) : char(r % 240);
      }
      }
    }
    feedAndCheck(s, rng);
    total += s.size();
    ASSERT_FALSE(HasFailure());
  }
}

TEST(ReceiveBytesFuzzTest, MutatedReportStreamsHandOnlyIntactBodies) {
  std::mt19937 rng(77);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> percent(0, 99);
  qint64 total = 0;
  int clean = 0;
  while (total < 2'500'000) {
    QByteArray s;
    const int reports = 1 + int(rng() % 200);
    for (int i = 0; i < reports; ++i)
      s += wire(intactBody(int(rng() % 10000)));
    // A clean stream must come through whole, however it is split.
    if (clean < 50) {
      EXPECT_EQ(feedAndCheck(s, rng), reports);
      ++clean;
    }
    const int mutations = 1 + int(rng() % 20);
    for (int m = 0; m < mutations && !s.isEmpty(); ++m) {
      const auto at = qsizetype(rng() % quint32(s.size()));
      const int p = percent(rng);
      if (p < 40)
        s[at] = char(byte(rng)); // flip a byte
      else if (p < 60)
        s.remove(at, 1 + int(rng() % 5)); // lose bytes
      else if (p < 80)
        s.insert(at, char(p < 70 ? kFrameStart : kFrameEnd)); // a stray delimiter
      else
        s.insert(at, s.mid(at, 1 + int(rng() % 30))); // a repeated piece
    }
    feedAndCheck(s, rng);
    total += s.size();
    ASSERT_FALSE(HasFailure());
  }
}

} // namespace
} // namespace ondrel
