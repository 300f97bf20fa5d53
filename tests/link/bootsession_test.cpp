#include "link/bootsession.h"

#include "sim/bootloader.h"
#include "support/bootloaderline.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace ondrel;
using ondrel::testing::bytes;
using ondrel::testing::randomImage;
using ondrel::testing::TempProgramFolder;

namespace {

int count(const QString& text, const QString& what) {
  return static_cast<int>(text.count(what));
}

// The session on a line whose far end is the simulator's boot loader, with a hook that may
// change or drop any reply. Time is the fixture's own: it passes only when the session waits
// for a reply that does not come (2000 ms) or pauses (200 ms).
class BootSessionTest : public ::testing::Test, public BootLink {
protected:
  TempProgramFolder home;
  std::unique_ptr<sim::BootLoader> loader;
  BootSession session{*this};
  // Changes the loader's reply to the n-th write (0-based); identity by default.
  std::function<QByteArray(int n, const QByteArray& written, const QByteArray& reply)> tamper;
  bool byteByByte = false; // hand replies over one byte at a time
  bool writesFail = false;

  struct Write {
    int ms;
    QByteArray bytes;
  };
  QList<Write> writes;
  int ms = 0;
  bool replyTimer = false;
  bool pausing = false;
  QList<BootSession::IdentifyResult> identified;
  QList<bool> updated;
  QList<int> progress;

  void SetUp() override {
    session.identifyFinished = [this](BootSession::IdentifyResult r) { identified << r; };
    session.updateFinished = [this](bool ok) { updated << ok; };
    session.progressed = [this](int sent) { progress << sent; };
  }

  void device(int type, int version, std::function<void(sim::BootConfig&)> more = {}) {
    loader = ondrel::testing::bootLoader(type, version, more);
  }

  // BootLink: writes are answered by the loader once the session has returned.
  QList<QByteArray> m_unanswered;
  bool write(const QByteArray& b) override {
    if (writesFail)
      return false;
    writes << Write{ms, b};
    m_unanswered << b;
    return true;
  }
  void startReplyTimer() override { replyTimer = true; }
  void stopReplyTimer() override { replyTimer = false; }
  void startPause() override { pausing = true; }

  // Runs the line until the session has nothing more to wait for.
  void run() { run(session); }
  void run(BootSession& s) {
    for (int guard = 0; guard < 100000 && s.busy(); ++guard) {
      if (!m_unanswered.isEmpty()) {
        const QByteArray w = m_unanswered.takeFirst();
        QByteArray reply = loader->feed(w);
        if (tamper)
          reply = tamper(static_cast<int>(writes.size()) - 1, w, reply);
        if (byteByByte)
          for (char c : reply)
            s.feed(QByteArray(1, c));
        else if (!reply.isEmpty())
          s.feed(reply);
        continue;
      }
      if (pausing) {
        pausing = false;
        ms += kLoaderPauseMs;
        s.pauseOver();
      } else if (replyTimer) {
        replyTimer = false;
        ms += kLoaderReplyMs;
        s.replyTimedOut();
      }
    }
    EXPECT_FALSE(s.busy());
  }
  // A fresh session for one case of a table, its results in the fixture's lists.
  std::unique_ptr<BootSession> fresh() {
    writes.clear();
    identified.clear();
    updated.clear();
    progress.clear();
    ms = 0;
    auto s = std::make_unique<BootSession>(*this);
    s->identifyFinished = [this](BootSession::IdentifyResult r) { identified << r; };
    s->updateFinished = [this](bool ok) { updated << ok; };
    s->progressed = [this](int sent) { progress << sent; };
    return s;
  }

  void identify() {
    session.Identify();
    run();
  }

  QList<QByteArray> written() const {
    QList<QByteArray> out;
    for (const Write& w : writes)
      out << w.bytes;
    return out;
  }
  // Each write of a command's two bytes, with the two writes that follow it.
  using Commands = QList<QList<QByteArray>>;
  Commands commands(int command) const {
    Commands out;
    for (qsizetype i = 0; i < writes.size(); ++i) {
      if (writes[i].bytes != bytes({command, command ^ 0xFF}))
        continue;
      QList<QByteArray> c{writes[i].bytes};
      for (qsizetype k = i + 1; k < writes.size() && k <= i + 2; ++k)
        c << writes[k].bytes;
      out << c;
    }
    return out;
  }
  QString log() const { return home.mainLog(); }
};

TEST_F(BootSessionTest, IdentifyReadsTheTypeAndTheVersionFromItsPlace) {
  struct Case {
    int type, version;
    bool secondPlace; // 0 at 0x4002, the version at 0x1002
  } cases[] = {{5, 302, false}, {26, 320, true}, {25, 315, true}, {26, 0, true}, {9, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    device(c.type, c.version);
    auto one = fresh();
    BootSession& s = *one;
    s.Identify();
    run(s);
    ASSERT_EQ(identified, QList{BootSession::IdentifyResult::Identified});
    EXPECT_TRUE(s.Synced());
    EXPECT_EQ(s.DeviceType(), c.type);
    EXPECT_EQ(s.LoaderVersion(), c.version);
    EXPECT_EQ(s.identifiedType(), c.type);
    QList<QByteArray> expected = {bytes({0x7F}), bytes({0x00, 0xFF}), bytes({0x11, 0xEE}),
                                  bytes({0, 0, 0x40, 0x02, 0x42}), bytes({0x01, 0xFE})};
    if (c.secondPlace)
      expected << bytes({0x11, 0xEE}) << bytes({0, 0, 0x10, 0x02, 0x12}) << bytes({0x01, 0xFE});
    EXPECT_EQ(written(), expected);
    EXPECT_FALSE(replyTimer);
  }
}

TEST_F(BootSessionTest, RepliesSplitAnyWayAreTheSame) {
  device(26, 320);
  byteByByte = true;
  identify();
  ASSERT_EQ(identified, QList{BootSession::IdentifyResult::Identified});
  EXPECT_EQ(session.LoaderVersion(), 320);
  const QByteArray image = randomImage(300);
  ASSERT_TRUE(session.Update(image));
  run();
  EXPECT_EQ(updated, QList{true});
  EXPECT_EQ(loader->image(), image);
}

TEST_F(BootSessionTest, SynchronisationIsTriedThreeTimes200MsApart) {
  struct Case {
    std::function<void(sim::BootConfig&)> loader;
    BootSession::IdentifyResult result;
    QList<int> tries; // ms of each 0x7F
  } cases[] = {
      {[](sim::BootConfig& c) { c.silent = true; },
       BootSession::IdentifyResult::NoSync,
       {0, 2200, 4400}},
      {[](sim::BootConfig& c) { c.answerSync = 3; },
       BootSession::IdentifyResult::Identified,
       {0, 2200, 4400}},
      {[](sim::BootConfig& c) { c.answerSync = 4; },
       BootSession::IdentifyResult::NoSync,
       {0, 2200, 4400}},
      {[](sim::BootConfig& c) { c.answerSync = 2; },
       BootSession::IdentifyResult::Identified,
       {0, 2200}},
  };
  for (const Case& c : cases) {
    TempProgramFolder own;
    device(9, 302, c.loader);
    auto one = fresh();
    BootSession& s = *one;
    s.Identify();
    run(s);
    EXPECT_EQ(identified, QList{c.result});
    QList<int> tries;
    for (const Write& w : writes)
      if (w.bytes == bytes({0x7F}))
        tries << w.ms;
    EXPECT_EQ(tries, c.tries);
    EXPECT_EQ(s.Synced(), c.result == BootSession::IdentifyResult::Identified);
    EXPECT_EQ(count(own.mainLog(), QStringLiteral("[ErrCO]")),
              c.result == BootSession::IdentifyResult::NoSync ? 3 : int(c.tries.size()) - 1);
    if (c.result == BootSession::IdentifyResult::NoSync) {
      EXPECT_EQ(writes.size(), 3); // nothing but the tries
    }
  }
}

TEST_F(BootSessionTest, ASecondIdentifySkipsTheSynchronisation) {
  device(5, 302);
  identify();
  writes.clear();
  identify();
  EXPECT_EQ(identified,
            QList<BootSession::IdentifyResult>(2, BootSession::IdentifyResult::Identified));
  ASSERT_FALSE(writes.isEmpty());
  EXPECT_EQ(writes.first().bytes, bytes({0x00, 0xFF}));
}

TEST_F(BootSessionTest, AGetReplyOfEightBytesWaitsTheFullReplyTimeAndFails) {
  device(26, 320);
  tamper = [](int, const QByteArray& w, const QByteArray& r) {
    return w == bytes({0x00, 0xFF}) ? r.left(8) : r;
  };
  identify();
  EXPECT_EQ(identified, QList{BootSession::IdentifyResult::NoInfo});
  EXPECT_EQ(ms, kLoaderReplyMs);
  EXPECT_EQ(writes.size(), 2); // no version read
  EXPECT_EQ(count(log(), QStringLiteral("[ErrGT]")), 1);
  EXPECT_TRUE(log().contains(QStringLiteral("a reply of 8 bytes"))) << log().toStdString();
}

// Each reply is checked before a byte of it is used: too short, refused or without its marker
// is a failure of the operation that waited for it, logged under its tag.
TEST_F(BootSessionTest, ShortOrRefusedRepliesFailTheirOperation) {
  struct Case {
    const char* what;
    int write; // 0-based write whose reply is changed: 0 sync, 1 Get, 2..4 the version read
    std::function<QByteArray(QByteArray)> change;
    const char* tags; // logged, in this order
  } cases[] = {
      {"sync refused", 0, [](QByteArray) { return bytes({0x1F}); }, "ErrCO"},
      {"Get without marker", 1, [](QByteArray r) { return r.replace(7, 1, "K"); }, "ErrGT"},
      {"Get refused", 1, [](QByteArray r) { return r.replace(0, 1, "\x1F"); }, "ErrGT"},
      {"read command refused", 2, [](QByteArray) { return bytes({0x1F}); }, "ErrRM ErrGT"},
      {"read address refused", 3, [](QByteArray) { return bytes({0x1F}); }, "ErrRM ErrGT"},
      {"read data short", 4, [](QByteArray r) { return r.left(2); }, "ErrRM ErrGT"},
      {"read data refused", 4, [](QByteArray r) { return r.replace(0, 1, "\x1F"); }, "ErrRM ErrGT"},
      {"version high byte 128", 4,
       [](QByteArray) {
         return bytes({0x79, 0x80 ^ 0x3C, 0x02});
       },
       "ErrGT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempProgramFolder own;
    device(5, 302);
    auto one = fresh();
    BootSession& s = *one;
    tamper = [&](int n, const QByteArray& w, const QByteArray& r) {
      return n == c.write || (c.write == 0 && w == bytes({0x7F})) ? c.change(r) : r;
    };
    s.Identify();
    run(s);
    tamper = nullptr;
    EXPECT_EQ(identified, QList{c.write == 0 ? BootSession::IdentifyResult::NoSync
                                             : BootSession::IdentifyResult::NoInfo});
    QStringList tags;
    for (const QString& line : own.mainLog().split(u'\n', Qt::SkipEmptyParts))
      tags << line.section(u'[', 1).section(u']', 0, 0);
    QStringList expected = QString::fromLatin1(c.tags).split(u' ');
    if (c.write == 0)
      expected = {"ErrCO", "ErrCO", "ErrCO"};
    EXPECT_EQ(tags, expected) << own.mainLog().toStdString();
    EXPECT_FALSE(s.identifiedType());
  }
}

// Blocks of 128 bytes and a last one of the rest, each at base + offset, each checksum the count
// byte XOR the data bytes XOR the key once per byte (which cancels over an even count); each
// block is read back; Go starts the program at the base.
TEST_F(BootSessionTest, AnImageIsErasedWrittenInBlocksReadBackAndStarted) {
  struct Case {
    int type, version;
    quint32 base;
  } cases[] = {{26, 320, 0x8C00}, {5, 302, 0x9000}, {25, 315, 0x9000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    device(c.type, c.version);
    auto one = fresh();
    one->Identify();
    run(*one);
    const QByteArray image = randomImage(301);
    writes.clear();
    ASSERT_TRUE(one->Update(image));
    run(*one);
    EXPECT_EQ(updated, QList{true});
    EXPECT_EQ(progress, (QList<int>{128, 256, 301}));

    // Get first (the same device must answer), then erase, then the blocks.
    ASSERT_GE(writes.size(), 3);
    EXPECT_EQ(writes[0].bytes, bytes({0x00, 0xFF}));
    EXPECT_EQ(commands(0x43),
              (Commands{{bytes({0x43, 0xBC}), bytes({0xFF, 0x00}), bytes({0x31, 0xCE})}}));
    const auto blocks = commands(0x31);
    ASSERT_EQ(blocks.size(), 3);
    const int lengths[] = {128, 128, 45};
    for (int b = 0; b < 3; ++b) {
      const quint32 a = c.base + quint32(b) * 128;
      EXPECT_EQ(blocks[b][1],
                bytes({0, 0, int(a >> 8), int(a & 0xFF), int((a >> 8) ^ (a & 0xFF))}));
      const QByteArray data = image.mid(b * 128, lengths[b]);
      quint8 sum = quint8(lengths[b] - 1);
      for (char d : data)
        sum ^= quint8(d);
      if (lengths[b] % 2)
        sum ^= 0x3C;
      EXPECT_EQ(blocks[b][2], bytes({lengths[b] - 1}) + data + bytes({sum}));
    }
    // Each block read back at its own address, its own length.
    const auto reads = commands(0x11);
    ASSERT_EQ(reads.size(), 1 + 3 + (c.type == 5 ? 0 : 1)); // the Get's version read(s) too
    for (int b = 0; b < 3; ++b) {
      const auto& r = reads[reads.size() - 3 + b];
      const quint32 a = c.base + quint32(b) * 128;
      EXPECT_EQ(r[1].mid(2, 2), bytes({int(a >> 8), int(a & 0xFF)}));
      EXPECT_EQ(r[2], bytes({lengths[b] - 1, (lengths[b] - 1) ^ 0xFF}));
    }
    EXPECT_EQ(commands(0x21), (Commands{{bytes({0x21, 0xDE}),
                                         bytes({0, 0, int(c.base >> 8), 0, int(c.base >> 8)})}}));
    EXPECT_EQ(writes.last().bytes, bytes({0, 0, int(c.base >> 8), 0, int(c.base >> 8)}));
    EXPECT_EQ(loader->image(), image);
    EXPECT_TRUE(loader->started());
    EXPECT_TRUE(log().isEmpty()) << log().toStdString();
  }
}

TEST_F(BootSessionTest, ARefusedBlockEndsTheUpdateWithoutGo) {
  device(26, 320, [](sim::BootConfig& c) { c.rejectBlock = 2; });
  identify();
  ASSERT_TRUE(session.Update(randomImage(400)));
  run();
  EXPECT_EQ(updated, QList{false});
  EXPECT_EQ(progress, QList{128});
  EXPECT_TRUE(commands(0x21).isEmpty());
  EXPECT_FALSE(loader->started());
  EXPECT_EQ(count(log(), QStringLiteral("[ErrWM]")), 1);
  EXPECT_TRUE(log().contains(QStringLiteral("Write Memory at 0x8C80 (128 bytes): refused")))
      << log().toStdString();
}

TEST_F(BootSessionTest, EveryStepOfTheUpdateThatFailsEndsIt) {
  struct Case {
    const char* what;
    QByteArray command; // the failing exchange follows this command's write
    int occurrence;     // of the command, 0-based
    int exchange;       // 0 the command itself, 1 the next write, 2 the one after
    const char* tag;
  } cases[] = {
      {"Get", bytes({0x00, 0xFF}), 0, 0, "[ErrGT]"},
      {"erase", bytes({0x43, 0xBC}), 0, 1, "[ErrEE]"},
      {"block data", bytes({0x31, 0xCE}), 1, 2, "[ErrWM]"},
      {"read back", bytes({0x11, 0xEE}), 1, 2, "[ErrRM]"}, // after the version read of the Get
      {"go", bytes({0x21, 0xDE}), 0, 1, "[ErrGO]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempProgramFolder own;
    device(5, 302);
    auto one = fresh();
    BootSession& s = *one;
    s.Identify();
    run(s);
    writes.clear();
    int seen = 0;   // of the command
    int since = -1; // writes since its occurrence, once that has been written
    tamper = [&](int, const QByteArray& w, const QByteArray& r) {
      if (since >= 0)
        ++since;
      else if (w == c.command && seen++ == c.occurrence)
        since = 0;
      return since == c.exchange ? QByteArray() : r; // no reply at all
    };
    ASSERT_TRUE(s.Update(randomImage(200)));
    run(s);
    EXPECT_EQ(updated, QList{false});
    EXPECT_EQ(count(own.mainLog(), QLatin1String(c.tag)), 1) << own.mainLog().toStdString();
    EXPECT_TRUE(commands(0x21).isEmpty() || c.command == bytes({0x21, 0xDE}));
    EXPECT_TRUE(own.mainLog().contains(QStringLiteral("no reply within 2000 ms")));
    tamper = nullptr;
  }
}

TEST_F(BootSessionTest, AnotherDeviceOnTheCableIsNotErased) {
  device(26, 320);
  identify();
  ASSERT_EQ(session.identifiedType(), 26);
  device(9, 302); // a type 9 device in its place, already in its boot loader
  loader->feed(bytes({0x7F}));
  writes.clear();
  ASSERT_TRUE(session.Update(randomImage(200)));
  run();
  EXPECT_EQ(updated, QList{false});
  EXPECT_TRUE(commands(0x43).isEmpty());
  EXPECT_TRUE(commands(0x31).isEmpty());
  EXPECT_TRUE(log().contains(QStringLiteral("Device type 9 answers, but Identify found type 26")))
      << log().toStdString();
}

TEST_F(BootSessionTest, ImagesThatCannotBeWrittenAreRefusedBeforeAnythingIsSent) {
  struct Case {
    int type;
    qsizetype length;
    bool fits;
  } cases[] = {
      {26, 0x10000 - 0x8C00, true},
      {26, 0x10000 - 0x8C00 + 1, false},
      {5, 0x10000 - 0x9000, true},
      {5, 0x10000 - 0x9000 + 1, false},
      {5, 0, false},
      {26, qsizetype(0x7FFFFFFF) + 10, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(imageProblem(c.length, c.type).isEmpty(), c.fits) << c.type << " " << c.length;

  device(5, 302);
  identify();
  writes.clear();
  EXPECT_FALSE(session.Update(randomImage(0x7001)));
  EXPECT_FALSE(session.Update(QByteArray()));
  EXPECT_FALSE(session.busy());
  EXPECT_TRUE(writes.isEmpty());
  EXPECT_EQ(count(log(), QStringLiteral("[ErrUPD]")), 2);
  EXPECT_TRUE(
      log().contains(QStringLiteral("An image of 28673 bytes from 0x9000 runs past 0x10000")))
      << log().toStdString();

  // Nor is anything written before a device has been identified.
  BootSession fresh(*this);
  EXPECT_FALSE(fresh.Update(randomImage(10)));
  EXPECT_TRUE(writes.isEmpty());
}

TEST_F(BootSessionTest, ABlockThatReadsBackDifferentlyIsLoggedAndTheUpdateGoesOn) {
  device(5, 302);
  identify();
  int reads = 0;
  tamper = [&](int, const QByteArray& w, const QByteArray& r) {
    // The count of a block read: the reply is the acknowledge and the data.
    if (w.size() == 2 && quint8(w[0]) == 127 && quint8(w[1]) == 128 && ++reads == 2) {
      QByteArray changed = r;
      changed[11] = char(~changed[11]);
      return changed;
    }
    return r;
  };
  ASSERT_TRUE(session.Update(randomImage(300)));
  run();
  EXPECT_EQ(updated, QList{true});
  EXPECT_EQ(count(log(), QStringLiteral("[ErrUPD]")), 1);
  EXPECT_TRUE(log().contains(
      QStringLiteral("Block at 0x9080 (128 bytes) reads back differently from what was written, "
                     "first at byte 10")))
      << log().toStdString();
}

TEST_F(BootSessionTest, BytesThatAnswerNothingAreDropped) {
  device(5, 302);
  session.feed(bytes({0x1F, 0x1F})); // before anything was asked
  // Junk behind an acknowledge in the same read is not taken for the next reply.
  tamper = [](int n, const QByteArray&, const QByteArray& r) {
    return n == 2 ? r + bytes({0x1F, 0x00}) : r;
  };
  identify();
  EXPECT_EQ(identified, QList{BootSession::IdentifyResult::Identified});
  EXPECT_EQ(writes.first().bytes, bytes({0x7F}));
}

TEST_F(BootSessionTest, AWriteThatDoesNotGoOutFailsItsOperation) {
  device(5, 302);
  identify();
  writesFail = true;
  ASSERT_TRUE(session.Update(randomImage(10)));
  EXPECT_FALSE(session.busy()); // it failed at once
  EXPECT_EQ(updated, QList{false});
  EXPECT_TRUE(log().contains(QStringLiteral("[ErrGT]Get: the bytes could not be written")))
      << log().toStdString();
}

TEST(BootBytes, AddressesAreFourBytesMostSignificantFirstAndTheirXor) {
  EXPECT_EQ(addressBytes(0x4002), bytes({0, 0, 0x40, 0x02, 0x42}));
  EXPECT_EQ(addressBytes(0x8C00), bytes({0, 0, 0x8C, 0, 0x8C}));
  EXPECT_EQ(addressBytes(0x12345678), bytes({0x12, 0x34, 0x56, 0x78, 0x12 ^ 0x34 ^ 0x56 ^ 0x78}));
  EXPECT_EQ(readCountBytes(256), bytes({0xFF, 0x00}));
  EXPECT_EQ(commandBytes(0x43), bytes({0x43, 0xBC}));
}

TEST(BootBytes, VersionBytesCarryTheKey) {
  EXPECT_EQ(decodeLoaderVersion(0x01 ^ 0x3C, 0x40 ^ 0x3C), 320);
  EXPECT_EQ(decodeLoaderVersion(0x3C, 0x3C), 0);
  EXPECT_EQ(decodeLoaderVersion(0x7F ^ 0x3C, 0xFF ^ 0x3C), 0x7FFF);
  EXPECT_EQ(decodeLoaderVersion(0x80 ^ 0x3C, 0x3C), std::nullopt);
}

} // namespace
