#pragma once

#include "link/frame.h"

#include <QByteArray>

namespace ondrel::testing {

// A report body whose b16 makes it intact, filled from `seed` (bytes stay below 0xF0).
inline RecBody intactBody(int seed) {
  RecBody body{};
  quint8 x = 0;
  for (std::size_t i = 0; i < 16; ++i) {
    body[i] = static_cast<quint8>((seed * 31 + int(i) * 7) % 240);
    x ^= body[i];
  }
  body[16] = static_cast<quint8>(x % 240);
  return body;
}

inline QByteArray bodyBytes(const RecBody& body) {
  return QByteArray(reinterpret_cast<const char*>(body.data()), qsizetype(body.size()));
}

// Start byte, body, end byte.
inline QByteArray wire(const RecBody& body) {
  return char(kFrameStart) + bodyBytes(body) + char(kFrameEnd);
}

} // namespace ondrel::testing
