#pragma once

#include <QByteArray>

#include <random>
#include <vector>

namespace ondrel::testing {

// One fuzz input from `s`: one to six edits, each a changed byte, a removed stretch, an inserted
// piece of `pieces`, a repeated stretch or a cut.
inline QByteArray mutateBytes(QByteArray s, std::mt19937& rng,
                              const std::vector<QByteArray>& pieces) {
  const auto below = [&](qsizetype n) { return n <= 0 ? 0 : qsizetype(rng() % quint64(n)); };
  for (int m = 1 + int(rng() % 6); m > 0; --m) {
    const qsizetype at = below(s.size() + 1);
    switch (rng() % 5) {
    case 0:
      if (!s.isEmpty())
        s[below(s.size())] = char(rng());
      break;
    case 1:
      s.remove(at, below(8) + 1);
      break;
    case 2:
      s.insert(at, pieces[size_t(rng() % pieces.size())]);
      break;
    case 3: { // repeat a stretch
      const qsizetype from = below(s.size());
      s.insert(at, s.mid(from, below(40) + 1));
      break;
    }
    default:
      s.truncate(at);
    }
  }
  return s;
}

} // namespace ondrel::testing
