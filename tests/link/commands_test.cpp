#include "data/support/failure.h"
#include "link/commands.h"

#include "support/identifiedmodel.h"

#include <gtest/gtest.h>

namespace ondrel {
namespace {

using testing::identifiedModel;

// Bytes 1..7 of a frame; start, checksum and end are checked once for every frame.
std::array<int, 7> body(const CmdFrame& f) {
  EXPECT_EQ(f[0], kFrameStart);
  EXPECT_EQ(f[8], ChkXor(f));
  EXPECT_EQ(f[9], kFrameEnd);
  return {f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
}

TEST(Commands, LinkAndChannelCommands) {
  using B = std::array<int, 7>;
  EXPECT_EQ(body(connectFrame()), (B{5, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(body(disconnectFrame()), (B{6, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(body(stopFrame(0)), (B{2, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(body(stopFrame(1)), (B{162, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(body(timeFrame(0, 3600)), (B{10, 0, 60, 0, 0, 0, 0}));
  EXPECT_EQ(body(timeFrame(1, 14459)), (B{170, 1, 0, 0, 0, 0, 0})); // 240 whole minutes
  EXPECT_EQ(body(remoteQCFrame(0, 3)), (B{7, 0, 0, 0, 0, 0, 13}));
  EXPECT_EQ(body(remotePEFrame(1, 235)), (B{167, 0, 0, 0, 0, 0, 15}));
  EXPECT_EQ(body(calibrationFrame(1, 3, 12345)), (B{164, 3, 51, 105, 0, 0, 0}));
  EXPECT_EQ(body(remoteSetFrame(0, 100, 1.25, 1200)), (B{7, 0, 125, 5, 0, 0, 0}));
  EXPECT_EQ(commandByte(1, 1, 1), 0xB1);
}

TEST(Commands, ResistanceCurrentIsCappedAndScaled) {
  using B = std::array<int, 7>;
  const ModelParams load = identifiedModel(12); // 10 A, CurDiv 100: 10 mA units
  EXPECT_EQ(body(resistanceFrame(0, load, QStringLiteral("500"))), (B{9, 0, 50, 0, 0, 0, 0}));
  EXPECT_EQ(body(resistanceFrame(0, load, QStringLiteral("20000"))), (B{9, 4, 40, 0, 0, 0, 0}));
  const ModelParams fine = identifiedModel(17); // 2.5 A, CurDiv 1000: mA
  EXPECT_EQ(body(resistanceFrame(1, fine, QStringLiteral("500"))), (B{169, 2, 20, 0, 0, 0, 0}));
}

// The measured drop is divided by this current: a frame never asks for none, or for a current
// the window would refuse.
TEST(Commands, ResistanceCurrentOutsideItsRangeIsNotSent) {
  const ModelParams load = identifiedModel(12);
  for (const char* text : {"0", "199", "30001", "-1000", "abc"})
    EXPECT_THROW(resistanceFrame(0, load, QLatin1String(text)), Failure) << text;
  ModelParams none = load;
  none.MaxCurrent = 0.0f;
  EXPECT_THROW(resistanceFrame(0, none, QStringLiteral("1000")), Failure);
}

struct StartCase {
  const char* what;
  int code;
  int channel;
  int mode;
  const char *sval, *slmt, *stim;
  int op;
  std::array<int, 7> bytes;
  qint32 SetRaw, LimitRaw, TimeRaw;
};

class StartFrame : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartFrame, PacksBySizeModelAndMode) {
  const StartCase& c = GetParam();
  const StartCommand s = startFrame(
      identifiedModel(c.code), c.channel, c.mode,
      {QString::fromLatin1(c.sval), QString::fromLatin1(c.slmt), QString::fromLatin1(c.stim)},
      c.op);
  EXPECT_EQ(body(s.frame), c.bytes);
  EXPECT_EQ(s.SetRaw, c.SetRaw);
  EXPECT_EQ(s.LimitRaw, c.LimitRaw);
  EXPECT_EQ(s.TimeRaw, c.TimeRaw);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Commands, StartFrame, ::testing::Values(
  StartCase{"set 1.25 at CurDiv 100",        12, 0, 0, "1.25", "3.0", "30",  1, {1, 0, 125, 1, 60, 0, 30},    125, 300, 30},
  StartCase{"two-channel ch 1 mode 1 op 1",  17, 1, 1, "2.5", "3.0", "0",    1, {0xB1, 0, 25, 12, 120, 0, 0}, 25, 3000, 0},
  StartCase{"set 2.5 at CurDiv 1000",        17, 0, 0, "2.5", "3", "0",      7, {7, 10, 100, 12, 120, 0, 0},  2500, 3000, 0},
  StartCase{"load power in W, half to even",          13, 0, 1, "50.5", "3", "0",     1, {17, 0, 50, 1, 60, 0, 0},     50, 300, 0},
  StartCase{"load mode 3 zeros, keeps time", 13, 0, 3, "8", "3", "90",       1, {49, 0, 0, 0, 0, 0, 90},      800, 300, 90},
  StartCase{"meter keeps its set value",     26, 0, 1, "1", "3", "0",        8, {24, 4, 40, 1, 60, 0, 0},     1000, 300, 0},
  StartCase{"charger cells in byte 5",        1, 0, 2, "1", "4", "60",       1, {33, 0, 100, 0, 4, 0, 60},    100, 400, 60},
  StartCase{"code 5 mode 8 zeros, cutoff",    5, 0, 8, "1", "3", "0.05",     1, {129, 0, 0, 0, 0, 0, 50},     1000, 300, 50},
  StartCase{"code 9 CV cutoff current",       9, 0, 2, "2", "4.2", "0.5",    1, {33, 0, 200, 1, 180, 0, 50},  200, 420, 50},
  StartCase{"code 9 power mode",              9, 0, 1, "25", "4.2", "10",    1, {17, 0, 25, 1, 180, 0, 10},   25, 420, 10},
  StartCase{"code 7 mode 2 keeps the pair",   7, 0, 2, "1", "4.2", "0.1",    1, {33, 0, 100, 1, 180, 0, 10},  100, 420, 10},
  StartCase{"continue, halves to even",      12, 0, 0, "1.005", "2", "2.5",  8, {8, 0, 100, 0, 200, 0, 2},    100, 200, 2}
), [](const auto& info) { return "case" + std::to_string(info.index); });
// clang-format on

TEST(Commands, ValuesThatCannotTravelFail) {
  const ModelParams load = identifiedModel(12);
  auto start = [&](const char* sval, const char* slmt, const char* stim) {
    startFrame(load, 0, 0,
               {QString::fromLatin1(sval), QString::fromLatin1(slmt), QString::fromLatin1(stim)},
               1);
  };
  EXPECT_NO_THROW(start("575.99", "1", "57599"));  // the largest pair
  EXPECT_THROW(start("576", "1", "0"), Failure);   // 57600: high byte 240
  EXPECT_THROW(start("614.4", "1", "0"), Failure); // 61440: high byte 256
  EXPECT_THROW(start("1", "1", "70000"), Failure);
  EXPECT_THROW(start("-1", "1", "0"), Failure);
  EXPECT_THROW(start("", "1", "0"), Failure);
  EXPECT_THROW(start("1", "abc", "0"), Failure);
  EXPECT_THROW(start("1,5", "1", "0"), Failure);
  EXPECT_THROW(timeFrame(0, 57600 * 60), Failure);
  EXPECT_THROW(remoteSetFrame(0, 1000, 40.0, 0), Failure); // beyond 16 bits
  EXPECT_THROW(calibrationFrame(0, 240, 0), Failure);
  EXPECT_THROW(remoteQCFrame(0, -20), Failure);
  EXPECT_THROW(commandByte(2, 0, 1), Failure);
  EXPECT_THROW(commandByte(1, 5, 1), Failure); // 0xF1 would read as a delimiter
  // A cell count goes as a whole number of at least one: 0.9 and 2.5 would be cut to 0 and 2.
  const ModelParams charger = identifiedModel(1);
  for (const char* cells : {"0", "0.9", "2.5", "-1"})
    EXPECT_THROW(startFrame(charger, 0, 2, {"1", QLatin1String(cells), "0"}, 1), Failure) << cells;
  EXPECT_NO_THROW(startFrame(charger, 0, 6, {"1", "0.9", "0"}, 1)); // C-CV: a voltage
}

TEST(Commands, ContinueOperationByModelAndFirmware) {
  EXPECT_EQ(continueOperation(identifiedModel(12)), 8);
  EXPECT_EQ(continueOperation(identifiedModel(26, 310)), 8);
  EXPECT_EQ(continueOperation(identifiedModel(26, 320)), 1);
}

} // namespace
} // namespace ondrel
