#include "sim/simframe.h"

#include <gtest/gtest.h>

namespace ondrel::sim {
namespace {

TEST(SimFrame, PairsKeepEveryByteBelow240) {
  struct Case {
    int value;
    int high, low;
  } cases[] = {{57599, 239, 239}, {240, 1, 0}, {239, 0, 239},
               {0, 0, 0},         {-5, 0, 0},  {60000, 239, 239}};
  for (const Case& c : cases) {
    const PairBytes p = encodePair(c.value);
    EXPECT_EQ(p.high, c.high) << c.value;
    EXPECT_EQ(p.low, c.low) << c.value;
  }
  EXPECT_EQ(decodePair(239, 239), 57599);
}

TEST(SimFrame, CommandChecksumIsXorModulo240) {
  // Bytes 1..7 XOR to 0xF5, which reduces to 0x05.
  const std::uint8_t frame[10] = {0xFA, 0xF0, 0x05, 0, 0, 0, 0, 0, 0, 0xF8};
  EXPECT_EQ(commandChecksum(frame), 0x05);
  const QByteArray built = buildCommand(5);
  EXPECT_EQ(built.toHex(' '), QByteArray("fa 05 00 00 00 00 00 00 05 f8"));
}

TEST(SimFrame, VoltageAndCapacityRanges) {
  EXPECT_NEAR(twoRangeToVolts(40000), 72.32, 1e-9);
  EXPECT_NEAR(twoRangeToVolts(12000), 12.000, 1e-9);
  struct Case {
    double volts;
    int raw;
  } volts[] = {{12.0, 12000}, {32.767, 32767}, {72.32, 40000}, {32.78, 36046}, {0, 0}};
  for (const Case& c : volts)
    EXPECT_EQ(voltsToTwoRange(c.volts), c.raw) << c.volts;

  struct CapCase {
    double ah;
    int raw;
  } caps[] = {{1.234, 1234}, {32.767, 32767}, {40.0, 32768 + 4000}, {300.0, 53248 + 3000}};
  for (const CapCase& c : caps) {
    EXPECT_EQ(ampHoursToThreeRange(c.ah), c.raw) << c.ah;
    EXPECT_NEAR(threeRangeToAmpHours(c.raw), c.ah, 1e-9) << c.ah;
  }
}

TEST(SimFrame, ReportBodyChecksumMakesXorZeroModulo240) {
  ReportFields f;
  f.current = 12345;
  f.voltage = 40000;
  f.model = 12;
  f.channel = 1;
  f.state = 1;
  f.mode = 2;
  const QByteArray frame = buildReport(f);
  ASSERT_EQ(frame.size(), 19);
  EXPECT_EQ(std::uint8_t(frame[0]), 0xFA);
  EXPECT_EQ(std::uint8_t(frame[18]), 0xF8);
  std::uint8_t x = 0;
  for (int i = 1; i <= 17; ++i) {
    EXPECT_LT(std::uint8_t(frame[i]), 240) << i;
    x ^= std::uint8_t(frame[i]);
  }
  EXPECT_EQ(x % 240, 0);
  EXPECT_EQ(std::uint8_t(frame[1]), 12);   // running state 1, mode 2
  EXPECT_EQ(std::uint8_t(frame[16]), 112); // channel 1, model 12

  // A body whose XOR is 0xF0 or more still checks: the checksum byte is the XOR minus 240.
  std::uint8_t body[17] = {0xE0, 0x10};
  body[16] = bodyChecksum(body);
  EXPECT_EQ(body[16], 0x00);
  std::uint8_t body2[17] = {0xE5, 0x10};
  body2[16] = bodyChecksum(body2);
  EXPECT_EQ(body2[16], 0x05);
}

TEST(SimFrame, CommandsDecodeByKind) {
  struct Case {
    QByteArray frame;
    Command::Kind kind;
    int channel, mode, op;
  } cases[] = {
      {buildCommand(5), Command::Connect, 0, 0, 0},
      {buildCommand(6), Command::Disconnect, 0, 0, 0},
      {buildCommand(0xB1, 125, 300, 0), Command::Start, 1, 1, 1},
      {buildCommand(162), Command::Stop, 1, 0, 2},
      {buildCommand(0x17, 100, 300, 5), Command::Adjust, 0, 1, 7},
      {buildCommand(7, 0, 0, 14), Command::QuickCharge, 0, 0, 7},
      {buildCommand(7, 0, 0, 21), Command::PumpExpress, 0, 0, 7},
      {buildCommand(167, 0, 0, 12), Command::QuickCharge, 1, 0, 7},
      // Modes whose set and limit bytes are all 0 (mode 3 on the loads, modes above 6 on the
      // chargers): an adjust that carries only a time of 10..16 or 20, 21 minutes is still one.
      {buildCommand(0x37, 0, 0, 12), Command::Adjust, 0, 3, 7},
      {buildCommand(0x77, 0, 0, 20), Command::Adjust, 0, 7, 7},
      {buildCommand(0xD7, 0, 0, 15), Command::Adjust, 1, 3, 7},
      {buildCommand(0x28, 100, 300, 0), Command::Continue, 0, 2, 8},
      {buildCommand(9, 100), Command::Resistance, 0, 0, 9},
      {buildCommand(10, 60), Command::Time, 0, 0, 10},
      {buildCommand(3), Command::Unknown, 0, 0, 3},
  };
  for (const Case& c : cases) {
    const Command cmd = decodeCommand(c.frame);
    EXPECT_TRUE(cmd.checksumOk);
    EXPECT_EQ(cmd.kind, c.kind) << c.frame.toHex(' ').constData();
    EXPECT_EQ(cmd.channel, c.channel) << c.frame.toHex(' ').constData();
    EXPECT_EQ(cmd.mode, c.mode) << c.frame.toHex(' ').constData();
    if (c.op) {
      EXPECT_EQ(cmd.operation, c.op);
    }
  }
  EXPECT_EQ(decodeCommand(buildCommand(7, 0, 0, 14)).code, 4);
  EXPECT_EQ(decodeCommand(buildCommand(7, 0, 0, 20)).code, 0);

  // Calibration: point in byte 2, value = byte 3 * 240 + byte 4.
  const Command cal = decodeCommand(buildCommandBytes({0, 13, 180, 0, 0, 0}, 4));
  EXPECT_EQ(cal.kind, Command::Calibration);
  EXPECT_EQ(cal.point, 0);
  EXPECT_EQ(cal.value, 3300);

  QByteArray bad = buildCommand(5);
  bad[8] = 6;
  EXPECT_FALSE(decodeCommand(bad).checksumOk);
  EXPECT_EQ(commandRecord(decodeCommand(bad))["cmd"].toString(), "bad");
  EXPECT_EQ(commandRecord(decodeCommand(buildCommand(0xB1, 125, 300, 7)))["set"].toInt(), 125);
}

TEST(SimFrame, SplitterCutsTheStreamIntoCommands) {
  CommandSplitter s;
  const QByteArray a = buildCommand(5), b = buildCommand(0x11, 100, 300, 0);
  QList<QByteArray> got = s.feed(a.left(3));
  EXPECT_TRUE(got.isEmpty());
  got = s.feed(a.mid(3) + QByteArray("\x01\x02", 2) + b);
  ASSERT_EQ(got.size(), 2);
  EXPECT_EQ(got[0], a);
  EXPECT_EQ(got[1], b);
  EXPECT_EQ(s.junkBytes(), 2);
  // An end byte before the tenth byte drops the frame; a start byte restarts one.
  got = s.feed(QByteArray("\xFA\x05\xF8", 3) + QByteArray("\xFA\x01", 2) + a);
  ASSERT_EQ(got.size(), 1);
  EXPECT_EQ(got[0], a);
}

} // namespace
} // namespace ondrel::sim
