#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>

#include <array>
#include <cstdint>

// The simulator's own frame code. It is written from the byte formats alone and shares nothing
// with the program's codec, so a fault there cannot be mirrored here and pass the tests.
namespace ondrel::sim {

constexpr std::uint8_t kFrameStart = 0xFA;
constexpr std::uint8_t kFrameEnd = 0xF8;
constexpr int kCommandLength = 10;
constexpr int kBodyLength = 17;
constexpr int kReportLength = 19;
constexpr int kPairMax = 57599; // 239 * 240 + 239: both bytes stay below 240

struct PairBytes {
  std::uint8_t high = 0;
  std::uint8_t low = 0;
};

// Base-240 digit pair, high first. Values outside 0..57599 are clamped: the device saturates
// rather than sending a byte of 240 or more, which would look like a frame marker.
PairBytes encodePair(int value);
int decodePair(std::uint8_t high, std::uint8_t low);

// Checksum byte of a command frame: XOR of bytes 1..7, then modulo 240.
std::uint8_t commandChecksum(const std::uint8_t* frame);
// Checksum byte b16 of a report body: XOR of b0..b15 modulo 240, which makes the XOR of all 17
// body bytes 0 or 0xF0, both 0 modulo 240.
std::uint8_t bodyChecksum(const std::uint8_t* body);

// Voltage: volts <= 32.767 in mV, else (volts * 100) + 32768.
int voltsToTwoRange(double volts);
double twoRangeToVolts(int raw);
// Capacity in Ah: < 32.768 in mAh, < 204.8 in 10 mAh above 0x8000, else 0.1 Ah above 0xD000.
int ampHoursToThreeRange(double ampHours);
double threeRangeToAmpHours(int raw);

// Every field of a report, already in wire units (pair values before encoding).
struct ReportFields {
  bool info = false;
  int state = 0; // 0 idle, 1 and 2 running
  int mode = 0;
  int current = 0;
  int voltage = 0;     // two-range value
  int capacity = 0;    // three-range value, or D+ in mV on the USB meter
  int temperature = 0; // 0.1 degC, or D- in mV on the USB meter
  int value9 = 0;      // set value, or firmware version in an info report
  int value11 = 0;     // limit value, or voltage range
  int value13 = 0;     // time value, or current range
  int channel = 0;
  int model = 0;
};

// 19 bytes on the wire: 0xFA, body b0..b16, 0xF8.
QByteArray buildReport(const ReportFields& fields);
// Inverse of buildReport, for tests: false when the frame is not 19 bytes or not intact.
bool parseReport(const QByteArray& frame, ReportFields* fields);

// What the device makes of one 10-byte command frame.
struct Command {
  enum Kind {
    Connect,
    Disconnect,
    Start,
    Stop,
    Calibration,
    Adjust,
    QuickCharge,
    PumpExpress,
    Continue,
    Resistance,
    Time,
    Unknown,
  };
  Kind kind = Unknown;
  bool checksumOk = false;
  std::array<std::uint8_t, kCommandLength> bytes{};
  int channel = 0;
  int mode = 0;
  int operation = 0;
  int set = 0;   // pair at bytes 2, 3
  int limit = 0; // pair at bytes 4, 5
  int time = 0;  // pair at bytes 6, 7
  int code = 0;  // quick-charge or pump-express request code
  int point = 0; // calibration point
  int value = 0; // calibration value
};

// Decodes a frame of exactly 10 bytes (0xFA ... 0xF8).
Command decodeCommand(const QByteArray& frame);
const char* commandKindName(Command::Kind kind);
// The decoded command as a JSON record (the --log line without time and port).
QJsonObject commandRecord(const Command& command);

// Builds a command frame with the checksum; used by tests and by the simulator's own tools.
QByteArray buildCommand(int commandByte, int set = 0, int limit = 0, int time = 0);
QByteArray buildCommandBytes(const std::array<std::uint8_t, 6>& parameters, int commandByte);

// Cuts the byte stream from the PC into 10-byte command frames. A start byte restarts a frame;
// bytes outside a frame and frames not closed by 0xF8 at the tenth byte are counted as junk.
class CommandSplitter {
public:
  QList<QByteArray> feed(const QByteArray& bytes);
  int junkBytes() const { return m_junk; }

private:
  QByteArray m_frame;
  int m_junk = 0;
};

} // namespace ondrel::sim
