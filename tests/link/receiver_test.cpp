#include "link/receiver.h"

#include "link/reportbytes.h"
#include "support/tempfolder.h"

#include "data/support/failure.h"

#include <QDir>

#include <gtest/gtest.h>

#include <vector>

namespace ondrel {
namespace {

using testing::bodyBytes;
using testing::intactBody;
using testing::wire;

// A slot's receive state with a handler that records what it was given.
struct Receiver {
  ReceiveState state;
  std::vector<RecBody> handled;
  ReportAction answer = ReportAction::Continue;

  ReceiveOutcome feed(const QByteArray& block) {
    return state.ReceiveBytes(block, [this](const RecBody& body) {
      handled.push_back(body);
      return answer;
    });
  }
};

TEST(ReceiveBytesTest, HandsAnIntactReport) {
  Receiver r;
  const auto outcome = r.feed(wire(intactBody(1)));
  ASSERT_EQ(r.handled.size(), 1u);
  EXPECT_EQ(r.handled[0], intactBody(1));
  EXPECT_TRUE(outcome.sawStart);
  EXPECT_EQ(outcome.reportsHandled, 1);
  EXPECT_FALSE(outcome.abandoned);
  EXPECT_FALSE(r.state.InFrame);
  EXPECT_EQ(r.state.RxCount, 0);
}

TEST(ReceiveBytesTest, AssemblesAReportSplitOverTwoReads) {
  Receiver r;
  const QByteArray bytes = wire(intactBody(2));
  EXPECT_EQ(r.feed(bytes.left(7)).reportsHandled, 0);
  EXPECT_TRUE(r.state.InFrame);
  EXPECT_EQ(r.feed(bytes.mid(7)).reportsHandled, 1);
  ASSERT_EQ(r.handled.size(), 1u);
  EXPECT_EQ(r.handled[0], intactBody(2));
}

TEST(ReceiveBytesTest, HandsTwoReportsOfOneReadInOrder) {
  Receiver r;
  r.feed(wire(intactBody(3)) + wire(intactBody(4)));
  ASSERT_EQ(r.handled.size(), 2u);
  EXPECT_EQ(r.handled[0], intactBody(3));
  EXPECT_EQ(r.handled[1], intactBody(4));
}

TEST(ReceiveBytesTest, BadReportDiscardsTheRestOfItsRead) {
  Receiver r;
  QByteArray bad = wire(intactBody(5));
  bad[4] = char(bad[4] ^ 0x01);
  const auto outcome = r.feed(bad + wire(intactBody(6)));
  EXPECT_TRUE(outcome.abandoned);
  EXPECT_TRUE(r.handled.empty());
  // The next read resynchronises at its start byte.
  r.feed(wire(intactBody(7)));
  ASSERT_EQ(r.handled.size(), 1u);
  EXPECT_EQ(r.handled[0], intactBody(7));
}

TEST(ReceiveBytesTest, OnlyStartAndEndBytesAreSpecial) {
  // 0xF0..0xF7, 0xF9 and 0xFB..0xFF in a body are data.
  RecBody body{};
  const quint8 high[] = {0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7,
                         0xF9, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF, 0x00, 0x01};
  quint8 x = 0;
  for (std::size_t i = 0; i < 16; ++i) {
    body[i] = high[i];
    x ^= high[i];
  }
  body[16] = static_cast<quint8>(x % 240);
  ASSERT_TRUE(ChkRec(body));
  Receiver r;
  r.feed(wire(body));
  ASSERT_EQ(r.handled.size(), 1u);
  EXPECT_EQ(r.handled[0], body);
}

TEST(ReceiveBytesTest, StartByteInsideAFrameRestartsIt) {
  Receiver r;
  const QByteArray broken = wire(intactBody(8)).left(9); // start + 8 body bytes, no end
  r.feed(broken + wire(intactBody(9)));
  ASSERT_EQ(r.handled.size(), 1u);
  EXPECT_EQ(r.handled[0], intactBody(9));
}

TEST(ReceiveBytesTest, BytesOutsideAFrameAreIgnored) {
  Receiver r;
  r.feed(QByteArray("\x01\x02\xF0\xFF", 4) + wire(intactBody(10)) + QByteArray("\x33\x44", 2));
  ASSERT_EQ(r.handled.size(), 1u);
  EXPECT_EQ(r.handled[0], intactBody(10));
}

// An end byte that closes no frame used to re-check the body left in the buffer, handing the last
// report a second time (a duplicate sample in the curves and the recording file).
TEST(ReceiveBytesTest, EndByteThatClosesNoFrameIsIgnored) {
  struct Case {
    const char* name;
    QByteArray after; // bytes following one good report
  };
  const QByteArray good = wire(intactBody(11));
  const Case cases[] = {
      {"lone end byte in the same read", QByteArray(1, char(kFrameEnd))},
      {"several end bytes", QByteArray(3, char(kFrameEnd))},
      {"end after stray bytes", QByteArray("\x10\x20", 2) + char(kFrameEnd)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Receiver r;
    const auto outcome = r.feed(good + c.after);
    EXPECT_EQ(r.handled.size(), 1u);
    EXPECT_FALSE(outcome.abandoned);
    // ...and in a later read.
    r.feed(QByteArray(1, char(kFrameEnd)));
    EXPECT_EQ(r.handled.size(), 1u);
  }
}

// A frame is dropped at its 18th body byte, but its first 17 stay buffered and were never handed:
// the end byte checks them like any other body.
TEST(ReceiveBytesTest, OverlongFrameHandsItsFirst17BytesWhenIntact) {
  const RecBody body = intactBody(12), next = intactBody(13);
  RecBody damaged = body;
  damaged[4] ^= 0x01;
  const auto overlong = [](const RecBody& b, const QByteArray& extra) {
    return char(kFrameStart) + bodyBytes(b) + extra;
  };
  const QByteArray end(1, char(kFrameEnd));
  struct Case {
    const char* name;
    QList<QByteArray> reads;
    std::vector<RecBody> handled;
    bool lastAbandoned;
  };
  const Case cases[] = {
      {"one extra byte", {overlong(body, "\x05") + end + wire(next)}, {body, next}, false},
      {"several extra bytes",
       {overlong(body, "\x01\x02\x03") + end + wire(next)},
       {body, next},
       false},
      {"end in a later read", {overlong(body, "\x05"), end + wire(next)}, {body, next}, false},
      {"second end byte hands nothing more",
       {overlong(body, "\x05") + end + end, end + wire(next)},
       {body, next},
       false},
      // As for any damaged report, the rest of the read is lost.
      {"damaged", {overlong(damaged, "\x05") + end + wire(next)}, {}, true},
      {"a start byte before the end begins anew",
       {overlong(body, "\x05") + wire(next)},
       {next},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Receiver r;
    ReceiveOutcome outcome;
    for (const QByteArray& read : c.reads)
      outcome = r.feed(read);
    EXPECT_EQ(r.handled, c.handled);
    EXPECT_EQ(outcome.abandoned, c.lastAbandoned);
  }
}

TEST(ReceiveBytesTest, ShortBodyNeverPassesOnTheStaleTail) {
  Receiver r;
  const RecBody body = intactBody(14);
  r.feed(wire(body));
  ASSERT_EQ(r.handled.size(), 1u);
  // The same 16 first bytes again, without b16: with the old b16 still in the buffer the XOR
  // would pass.
  const QByteArray shortFrame = char(kFrameStart) + bodyBytes(body).left(16) + char(kFrameEnd);
  const auto outcome = r.feed(shortFrame + wire(intactBody(15)));
  EXPECT_TRUE(outcome.abandoned);
  EXPECT_EQ(r.handled.size(), 1u);
}

TEST(ReceiveBytesTest, HandlerCanDropTheRestOfTheRead) {
  Receiver r;
  r.answer = ReportAction::DropRest; // a report with model code 0
  const auto outcome = r.feed(wire(intactBody(16)) + wire(intactBody(17)));
  EXPECT_TRUE(outcome.abandoned);
  EXPECT_EQ(r.handled.size(), 1u);
}

TEST(ReceiveBytesTest, FailureInTheHandlerIsLoggedAndEndsTheRead) {
  testing::TempProgramFolder folder;
  ReceiveState state;
  int calls = 0;
  const auto throwing = [&](const RecBody&) -> ReportAction {
    ++calls;
    throw Failure(QStringLiteral("Overflow"));
  };
  const auto outcome = state.ReceiveBytes(wire(intactBody(18)) + wire(intactBody(19)), throwing);
  EXPECT_TRUE(outcome.abandoned);
  EXPECT_EQ(calls, 1);
  const QStringList logs = QDir(folder.file("Log")).entryList(QDir::Files);
  ASSERT_EQ(logs.size(), 1);
  const QByteArray log = folder.read("Log/" + logs.first());
  EXPECT_TRUE(log.contains("[ErrComm]Overflow")) << log.constData();
  // The state is usable afterwards.
  Receiver r;
  r.state = state;
  r.feed(wire(intactBody(20)));
  EXPECT_EQ(r.handled.size(), 1u);
}

TEST(ReceiveBytesTest, StreamsOfOnlyDelimitersHandNothing) {
  for (const char c : {char(kFrameStart), char(kFrameEnd)}) {
    Receiver r;
    for (int i = 0; i < 10; ++i)
      r.feed(QByteArray(64, c));
    EXPECT_TRUE(r.handled.empty());
  }
  Receiver r;
  r.feed(QByteArray(1, char(kFrameStart)) + QByteArray(1, char(kFrameEnd)));
  EXPECT_TRUE(r.handled.empty());
}

} // namespace
} // namespace ondrel
