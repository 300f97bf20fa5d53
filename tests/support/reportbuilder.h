#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

namespace ondrel::testing {

// Builds report bodies from their fields with arithmetic of its own, so that tests do not rely on
// the codec they check. Pairs are raw wire values (0..57599).
struct Report {
  int info = 0;
  int state = 0;
  int mode = 0;
  int cur = 0;   // b1,b2
  int volt = 0;  // b3,b4 (two-range raw)
  int cap = 0;   // b5,b6 (three-range raw)
  int temp = 0;  // b7,b8
  int set = 0;   // b9,b10 (firmware version in an info report)
  int limit = 0; // b11,b12 (voltage range in an info report)
  int time = 0;  // b13,b14 (current range in an info report)
  int channel = 0;
  int model = 12;

  std::array<std::uint8_t, 17> body() const {
    std::array<std::uint8_t, 17> b{};
    b[0] = static_cast<std::uint8_t>(info * 100 + state * 10 + mode);
    const int pairs[] = {cur, volt, cap, temp, set, limit, time};
    for (int i = 0; i < 7; ++i) {
      b[1 + 2 * i] = static_cast<std::uint8_t>(pairs[i] / 240);
      b[2 + 2 * i] = static_cast<std::uint8_t>(pairs[i] % 240);
    }
    b[15] = static_cast<std::uint8_t>(channel * 100 + model);
    std::uint8_t x = 0;
    for (int i = 0; i < 16; ++i)
      x ^= b[i];
    b[16] = static_cast<std::uint8_t>(x % 240);
    return b;
  }

  // The frame on the wire: start byte, body, end byte.
  QByteArray wire() const {
    const auto b = body();
    QByteArray bytes(1, char(0xFA));
    bytes.append(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
    bytes.append(char(0xF8));
    return bytes;
  }
};

} // namespace ondrel::testing
