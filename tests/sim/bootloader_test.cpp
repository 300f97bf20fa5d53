#include "sim/bootloader.h"

#include "support/bootloaderline.h"
#include "support/tempfolder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace ondrel::sim {
namespace {

using ondrel::testing::bytes;

QByteArray address(int a) {
  const int hi = a >> 8, lo = a & 0xFF;
  return bytes({0, 0, hi, lo, hi ^ lo});
}

// The write command's data part: n - 1, the data, and the checksum with the key per byte.
QByteArray writeBlock(const QByteArray& data, bool spoil = false) {
  std::uint8_t sum = static_cast<std::uint8_t>(data.size() - 1);
  for (char c : data)
    sum ^= static_cast<std::uint8_t>(c) ^ kBootKey;
  return bytes({int(data.size() - 1)}) + data + bytes({spoil ? sum ^ 1 : sum});
}

const char kAck = char(kBootAck);
const char kNack = char(kBootNack);

TEST(BootLoader, AnswersSyncGetAndReadsTheVersionWithTheKey) {
  struct Case {
    int type, version, versionAddress;
  } cases[] = {{9, 302, 0x4002}, {26, 320, 0x1002}, {25, 315, 0x1002}};
  for (const Case& c : cases) {
    BootConfig config;
    config.deviceType = c.type;
    config.version = c.version;
    BootLoader b(config);
    EXPECT_TRUE(b.feed(bytes({0x00, 0xFF})).isEmpty()); // nothing before the sync
    EXPECT_EQ(b.feed(bytes({0x7F})), QByteArray(1, kAck));
    const QByteArray get = b.feed(bytes({0x00, 0xFF}));
    ASSERT_GE(get.size(), 9);
    EXPECT_EQ(get[0], kAck);
    EXPECT_EQ(std::uint8_t(get[3]), c.type);
    EXPECT_EQ(get[5], 'Q');
    EXPECT_EQ(get[7], 'J');

    const auto read = [&](int a) {
      EXPECT_EQ(b.feed(bytes({0x11, 0xEE})), QByteArray(1, kAck));
      EXPECT_EQ(b.feed(address(a)), QByteArray(1, kAck));
      const QByteArray r = b.feed(bytes({1, 0xFE}));
      EXPECT_EQ(r.size(), 3);
      EXPECT_EQ(r[0], kAck);
      return ((std::uint8_t(r[1]) ^ kBootKey) << 8) | (std::uint8_t(r[2]) ^ kBootKey);
    };
    EXPECT_EQ(read(0x4002), c.versionAddress == 0x4002 ? c.version : 0);
    if (c.versionAddress == 0x1002) {
      EXPECT_EQ(read(0x1002), c.version);
    }
  }
}

TEST(BootLoader, WritesBlocksCheckingTheKeyChecksumAndKeepsTheImage) {
  testing::TempProgramFolder home;
  const QString imagePath = home.file("image.bin");
  BootLoader b({9, 302, false, 0, 0, imagePath});
  b.feed(bytes({0x7F}));
  EXPECT_EQ(b.feed(bytes({0x43, 0xBC})), QByteArray(1, kAck));
  EXPECT_EQ(b.feed(bytes({0xFF, 0x00})), QByteArray(1, kAck));

  // 301 bytes go as 128 + 128 + 45; the odd block keeps one key in its checksum.
  QByteArray image;
  for (int i = 0; i < 301; ++i)
    image.append(char((i * 7 + 3) & 0xFF));
  for (int o = 0; o < image.size(); o += 128) {
    const QByteArray block = image.mid(o, 128);
    EXPECT_EQ(b.feed(bytes({0x31, 0xCE})), QByteArray(1, kAck));
    EXPECT_EQ(b.feed(address(0x9000 + o)), QByteArray(1, kAck));
    // Fed byte by byte: the line may deliver the block in any split.
    QByteArray reply;
    for (char c : writeBlock(block))
      reply += b.feed(QByteArray(1, c));
    EXPECT_EQ(reply, QByteArray(1, kAck)) << o;
  }
  EXPECT_EQ(b.image(), image);
  QFile f(imagePath);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), image);

  // A spoilt checksum is refused and nothing is stored.
  EXPECT_EQ(b.feed(bytes({0x31, 0xCE})), QByteArray(1, kAck));
  EXPECT_EQ(b.feed(address(0x9200)), QByteArray(1, kAck));
  EXPECT_EQ(b.feed(writeBlock(QByteArray(4, 'x'), true)), QByteArray(1, kNack));
  EXPECT_EQ(b.memory(0x9200, 4), QByteArray(4, char(0xFF)));

  // A wrong complement and a wrong address checksum are refused too.
  EXPECT_EQ(b.feed(bytes({0x31, 0xCD})), QByteArray(1, kNack));
  EXPECT_EQ(b.feed(bytes({0x11, 0xEE})), QByteArray(1, kAck));
  EXPECT_EQ(b.feed(bytes({0, 0, 0x90, 0, 0x91})), QByteArray(1, kNack));

  EXPECT_FALSE(b.started());
  EXPECT_EQ(b.feed(bytes({0x21, 0xDE})), QByteArray(1, kAck));
  EXPECT_EQ(b.feed(address(0x9000)), QByteArray(1, kAck));
  EXPECT_TRUE(b.started());
}

TEST(BootLoader, FaultOptions) {
  BootConfig quiet;
  quiet.silent = true;
  BootLoader silent(quiet);
  EXPECT_TRUE(silent.feed(bytes({0x7F, 0x7F, 0x7F, 0x00, 0xFF})).isEmpty());

  BootConfig third;
  third.answerSync = 3;
  BootLoader late(third);
  EXPECT_TRUE(late.feed(bytes({0x7F})).isEmpty());
  EXPECT_TRUE(late.feed(bytes({0x7F})).isEmpty());
  EXPECT_EQ(late.feed(bytes({0x7F})), QByteArray(1, kAck));

  BootConfig reject;
  reject.rejectBlock = 2;
  BootLoader r(reject);
  r.feed(bytes({0x7F}));
  QByteArray replies;
  for (int n = 0; n < 3; ++n) {
    r.feed(bytes({0x31, 0xCE}));
    r.feed(address(0x8C00 + 16 * n));
    replies += r.feed(writeBlock(QByteArray(16, char(n))));
  }
  EXPECT_EQ(replies, QByteArray() + kAck + kNack + kAck);
}

} // namespace
} // namespace ondrel::sim
