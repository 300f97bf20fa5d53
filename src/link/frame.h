#pragma once

#include <QtGlobal>

#include <array>
#include <cstddef>

namespace ondrel {

// Both frame types are delimited by these two bytes; every other byte on the wire stays below
// 0xF0, which is why numbers travel as base-240 digit pairs and checksums are taken modulo 240.
inline constexpr quint8 kFrameStart = 0xFA;
inline constexpr quint8 kFrameEnd = 0xF8;

// Command frame, PC to device: start, command byte, six parameter bytes, checksum, end.
inline constexpr std::size_t kCmdFrameSize = 10;
using CmdFrame = std::array<quint8, kCmdFrameSize>;

// Body of a report frame (the 17 bytes between start and end byte), b0..b16.
inline constexpr std::size_t kRecBodySize = 17;
using RecBody = std::array<quint8, kRecBodySize>;

// Largest value a pair can carry: 239 * 240 + 239.
inline constexpr int kMaxPairValue = 57599;

// Checksum of a command frame: XOR of offsets 1..7, modulo 240.
quint8 ChkXor(const CmdFrame& frame);

// True when the XOR of the body's bytes is 0 modulo 240 (the device picks b16 so).
bool ChkRec(const RecBody& body);

// A whole command frame with its checksum; `params` are the bytes at offsets 2..7.
CmdFrame buildCmdFrame(quint8 command, const std::array<quint8, 6>& params);

struct ValuePair {
  quint8 high = 0;
  quint8 low = 0;
  friend bool operator==(const ValuePair&, const ValuePair&) = default;
};

// The value a pair carries: high x 240 + low.
constexpr int decodePair(quint8 high, quint8 low) {
  return high * 240 + low;
}

// The pair starting at body byte `first` (b1 for the current, b3 for the voltage, ...).
constexpr int pairAt(const RecBody& body, std::size_t first) {
  return decodePair(body[first], body[first + 1]);
}

// Range-coded pairs carry their own resolution. Two ranges (voltage): up to 32767 in mV, above
// in 10 mV steps from 0x8000. Three ranges (capacity): below 0x8000 in 0.001, below 0xD000 in
// 0.01 from 0x8000, above in 0.1 from 0xD000.
float twoRangeValue(int raw);
float threeRangeValue(int raw);

} // namespace ondrel
