#include "simframe.h"

#include <algorithm>
#include <cmath>

namespace ondrel::sim {

PairBytes encodePair(int value) {
  const int v = std::clamp(value, 0, kPairMax);
  return {static_cast<std::uint8_t>(v / 240), static_cast<std::uint8_t>(v % 240)};
}

int decodePair(std::uint8_t high, std::uint8_t low) {
  return high * 240 + low;
}

std::uint8_t commandChecksum(const std::uint8_t* frame) {
  std::uint8_t x = 0;
  for (int i = 1; i <= 7; ++i)
    x ^= frame[i];
  return static_cast<std::uint8_t>(x % 240);
}

std::uint8_t bodyChecksum(const std::uint8_t* body) {
  std::uint8_t x = 0;
  for (int i = 0; i < kBodyLength - 1; ++i)
    x ^= body[i];
  return static_cast<std::uint8_t>(x % 240);
}

int voltsToTwoRange(double volts) {
  if (volts < 0)
    volts = 0;
  const long mv = std::lround(volts * 1000.0);
  if (mv <= 32767)
    return static_cast<int>(mv);
  return static_cast<int>(std::min<long>(32768 + std::lround(volts * 100.0), kPairMax));
}

double twoRangeToVolts(int raw) {
  return raw <= 32767 ? raw * 0.001 : (raw - 32768) * 0.01;
}

int ampHoursToThreeRange(double ampHours) {
  if (ampHours < 0)
    ampHours = 0;
  const long mah = std::lround(ampHours * 1000.0);
  if (mah < 32768)
    return static_cast<int>(mah);
  const long tens = std::lround(ampHours * 100.0);
  if (tens < 53248 - 32768)
    return static_cast<int>(32768 + tens);
  return static_cast<int>(std::min<long>(53248 + std::lround(ampHours * 10.0), kPairMax));
}

double threeRangeToAmpHours(int raw) {
  if (raw < 32768)
    return raw * 0.001;
  if (raw < 53248)
    return (raw - 32768) * 0.01;
  return (raw - 53248) * 0.1;
}

namespace {

void putPair(std::uint8_t* at, int value) {
  const PairBytes p = encodePair(value);
  at[0] = p.high;
  at[1] = p.low;
}

} // namespace

QByteArray buildReport(const ReportFields& f) {
  std::uint8_t body[kBodyLength] = {};
  body[0] = static_cast<std::uint8_t>((f.info ? 100 : 0) + 10 * std::clamp(f.state, 0, 9) +
                                      std::clamp(f.mode, 0, 9));
  putPair(body + 1, f.current);
  putPair(body + 3, f.voltage);
  putPair(body + 5, f.capacity);
  putPair(body + 7, f.temperature);
  putPair(body + 9, f.value9);
  putPair(body + 11, f.value11);
  putPair(body + 13, f.value13);
  body[15] =
      static_cast<std::uint8_t>(100 * std::clamp(f.channel, 0, 1) + std::clamp(f.model, 0, 99));
  body[16] = bodyChecksum(body);
  QByteArray frame;
  frame.reserve(kReportLength);
  frame.append(static_cast<char>(kFrameStart));
  frame.append(reinterpret_cast<const char*>(body), kBodyLength);
  frame.append(static_cast<char>(kFrameEnd));
  return frame;
}

bool parseReport(const QByteArray& frame, ReportFields* f) {
  if (frame.size() != kReportLength || static_cast<std::uint8_t>(frame[0]) != kFrameStart ||
      static_cast<std::uint8_t>(frame[18]) != kFrameEnd)
    return false;
  const auto* b = reinterpret_cast<const std::uint8_t*>(frame.constData()) + 1;
  std::uint8_t x = 0;
  for (int i = 0; i < kBodyLength; ++i)
    x ^= b[i];
  if (x % 240 != 0)
    return false;
  f->info = b[0] >= 100;
  f->state = (b[0] % 100) / 10;
  f->mode = b[0] % 10;
  f->current = decodePair(b[1], b[2]);
  f->voltage = decodePair(b[3], b[4]);
  f->capacity = decodePair(b[5], b[6]);
  f->temperature = decodePair(b[7], b[8]);
  f->value9 = decodePair(b[9], b[10]);
  f->value11 = decodePair(b[11], b[12]);
  f->value13 = decodePair(b[13], b[14]);
  f->channel = b[15] / 100;
  f->model = b[15] % 100;
  return true;
}

Command decodeCommand(const QByteArray& frame) {
  Command c;
  if (frame.size() != kCommandLength)
    return c;
  for (int i = 0; i < kCommandLength; ++i)
    c.bytes[i] = static_cast<std::uint8_t>(frame[i]);
  const auto& b = c.bytes;
  c.checksumOk = b[0] == kFrameStart && b[9] == kFrameEnd && commandChecksum(b.data()) == b[8];
  c.set = decodePair(b[2], b[3]);
  c.limit = decodePair(b[4], b[5]);
  c.time = decodePair(b[6], b[7]);
  if (b[1] == 5 || b[1] == 6) {
    c.kind = b[1] == 5 ? Command::Connect : Command::Disconnect;
    return c;
  }
  const int high = b[1] >> 4;
  c.channel = high / 10;
  c.mode = high % 10;
  c.operation = b[1] & 0x0F;
  switch (c.operation) {
  case 1:
    c.kind = Command::Start;
    break;
  case 2:
    c.kind = Command::Stop;
    break;
  case 4:
    c.kind = Command::Calibration;
    c.point = b[2];
    c.value = b[3] * 240 + b[4];
    break;
  case 7:
    // A trigger request carries mode 0 and nothing but its code in byte 7. An adjust carries
    // the channel's mode, and in some modes only a time, so the mode tells the two apart.
    if (c.mode == 0 && c.set == 0 && c.limit == 0 && b[6] == 0 && b[7] >= 10 && b[7] <= 16) {
      c.kind = Command::QuickCharge;
      c.code = b[7] - 10;
    } else if (c.mode == 0 && c.set == 0 && c.limit == 0 && b[6] == 0 &&
               (b[7] == 20 || b[7] == 21)) {
      c.kind = Command::PumpExpress;
      c.code = b[7] - 20;
    } else {
      c.kind = Command::Adjust;
    }
    break;
  case 8:
    c.kind = Command::Continue;
    break;
  case 9:
    c.kind = Command::Resistance;
    break;
  case 10:
    c.kind = Command::Time;
    break;
  default:
    c.kind = Command::Unknown;
  }
  return c;
}

const char* commandKindName(Command::Kind kind) {
  switch (kind) {
  case Command::Connect:
    return "connect";
  case Command::Disconnect:
    return "disconnect";
  case Command::Start:
    return "start";
  case Command::Stop:
    return "stop";
  case Command::Calibration:
    return "calibration";
  case Command::Adjust:
    return "adjust";
  case Command::QuickCharge:
    return "quickcharge";
  case Command::PumpExpress:
    return "pumpexpress";
  case Command::Continue:
    return "continue";
  case Command::Resistance:
    return "resistance";
  case Command::Time:
    return "time";
  case Command::Unknown:
    break;
  }
  return "unknown";
}

QJsonObject commandRecord(const Command& c) {
  QJsonObject o;
  o["cmd"] = c.checksumOk ? QString::fromLatin1(commandKindName(c.kind)) : QStringLiteral("bad");
  o["hex"] = QString::fromLatin1(
      QByteArray(reinterpret_cast<const char*>(c.bytes.data()), kCommandLength).toHex(' '));
  o["checksumOk"] = c.checksumOk;
  if (c.kind == Command::Connect || c.kind == Command::Disconnect)
    return o;
  o["channel"] = c.channel;
  o["op"] = c.operation;
  switch (c.kind) {
  case Command::Start:
  case Command::Continue:
  case Command::Adjust:
    o["mode"] = c.mode;
    o["set"] = c.set;
    o["limit"] = c.limit;
    o["time"] = c.time;
    break;
  case Command::Calibration:
    o["point"] = c.point;
    o["value"] = c.value;
    break;
  case Command::QuickCharge:
  case Command::PumpExpress:
    o["code"] = c.code;
    break;
  case Command::Resistance:
    o["current"] = c.set;
    break;
  case Command::Time:
    o["minutes"] = c.set;
    break;
  default:
    break;
  }
  return o;
}

QByteArray buildCommandBytes(const std::array<std::uint8_t, 6>& parameters, int commandByte) {
  std::uint8_t f[kCommandLength] = {};
  f[0] = kFrameStart;
  f[1] = static_cast<std::uint8_t>(commandByte);
  for (int i = 0; i < 6; ++i)
    f[2 + i] = parameters[i];
  f[8] = commandChecksum(f);
  f[9] = kFrameEnd;
  return QByteArray(reinterpret_cast<const char*>(f), kCommandLength);
}

QByteArray buildCommand(int commandByte, int set, int limit, int time) {
  const PairBytes s = encodePair(set), l = encodePair(limit), t = encodePair(time);
  return buildCommandBytes({s.high, s.low, l.high, l.low, t.high, t.low}, commandByte);
}

QList<QByteArray> CommandSplitter::feed(const QByteArray& bytes) {
  QList<QByteArray> frames;
  for (const char ch : bytes) {
    const auto c = static_cast<std::uint8_t>(ch);
    if (c == kFrameStart) {
      m_junk += static_cast<int>(m_frame.size());
      m_frame = QByteArray(1, ch);
      continue;
    }
    if (m_frame.isEmpty()) {
      ++m_junk;
      continue;
    }
    m_frame.append(ch);
    if (c == kFrameEnd && m_frame.size() < kCommandLength) {
      m_junk += static_cast<int>(m_frame.size());
      m_frame.clear();
      continue;
    }
    if (m_frame.size() == kCommandLength) {
      if (c == kFrameEnd)
        frames.append(m_frame);
      else
        m_junk += kCommandLength;
      m_frame.clear();
    }
  }
  return frames;
}

} // namespace ondrel::sim
