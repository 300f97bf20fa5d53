#include "history/cellmatch.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>

namespace ondrel {

namespace {

struct Score {
  double cap = 0, res = 0;
  bool operator<(const Score& o) const {
    // Capacity first; differences below a tenth of a mAh are noise of the readings.
    if (std::abs(cap - o.cap) > 1e-7)
      return cap < o.cap;
    return res < o.res - 1e-9;
  }
};

std::optional<double> parallelResistance(const std::vector<MatchCell>& cells,
                                         const std::vector<int>& group) {
  double g = 0;
  for (int i : group) {
    const auto& r = cells[size_t(i)].resistanceMohm;
    if (!r || *r <= 0)
      return std::nullopt;
    g += 1.0 / *r;
  }
  return group.empty() ? std::nullopt : std::optional<double>(1.0 / g);
}

MatchResult finish(const std::vector<MatchCell>& cells, std::vector<std::vector<int>> groups) {
  MatchResult r;
  std::vector<bool> used(cells.size(), false);
  double lo = std::numeric_limits<double>::max(), hi = -lo;
  double rlo = lo, rhi = -lo;
  for (auto& g : groups) {
    MatchGroup mg;
    std::sort(g.begin(), g.end());
    mg.cells = g;
    for (int i : g) {
      mg.capacityAh += cells[size_t(i)].capacityAh;
      used[size_t(i)] = true;
    }
    mg.resistanceMohm = parallelResistance(cells, g);
    lo = std::min(lo, mg.capacityAh);
    hi = std::max(hi, mg.capacityAh);
    if (mg.resistanceMohm) {
      rlo = std::min(rlo, *mg.resistanceMohm);
      rhi = std::max(rhi, *mg.resistanceMohm);
    }
    r.groups.push_back(mg);
  }
  // Strongest group first, as the pack is usually written down.
  std::stable_sort(r.groups.begin(), r.groups.end(),
                   [](const MatchGroup& a, const MatchGroup& b) { return a.capacityAh > b.capacityAh; });
  for (size_t i = 0; i < cells.size(); ++i)
    if (!used[i])
      r.leftOver.push_back(int(i));
  r.spreadMah = (hi - lo) * 1000.0;
  r.spreadPercent = lo > 0 ? (hi - lo) / lo * 100.0 : 0.0;
  r.resistanceSpreadMohm = rhi >= rlo ? rhi - rlo : 0.0;
  return r;
}

Score scoreOf(const std::vector<MatchCell>& cells, const std::vector<std::vector<int>>& groups) {
  double lo = std::numeric_limits<double>::max(), hi = -lo;
  double rlo = lo, rhi = -lo;
  for (const auto& g : groups) {
    double cap = 0;
    for (int i : g)
      cap += cells[size_t(i)].capacityAh;
    lo = std::min(lo, cap);
    hi = std::max(hi, cap);
    if (auto res = parallelResistance(cells, g)) {
      rlo = std::min(rlo, *res);
      rhi = std::max(rhi, *res);
    }
  }
  return {hi - lo, rhi >= rlo ? rhi - rlo : 0.0};
}

std::vector<int> byCapacity(const std::vector<MatchCell>& cells) {
  std::vector<int> order(cells.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return cells[size_t(a)].capacityAh > cells[size_t(b)].capacityAh;
  });
  return order;
}

// Every way of choosing and grouping the cells; only for small selections.
std::vector<std::vector<int>> exhaustive(const std::vector<MatchCell>& cells, int S, int P) {
  std::vector<std::vector<int>> groups(static_cast<size_t>(S));
  std::vector<std::vector<int>> best;
  Score bestScore{std::numeric_limits<double>::max(), 0};
  const int n = int(cells.size());
  int skipsLeft = n - S * P;
  std::function<void(int)> place = [&](int i) {
    if (i == n) {
      const Score s = scoreOf(cells, groups);
      if (best.empty() || s < bestScore) {
        bestScore = s;
        best = groups;
      }
      return;
    }
    bool emptyTried = false; // empty groups are alike: try the first only
    for (auto& g : groups) {
      if (int(g.size()) == P)
        continue;
      if (g.empty()) {
        if (emptyTried)
          continue;
        emptyTried = true;
      }
      g.push_back(i);
      place(i + 1);
      g.pop_back();
    }
    if (skipsLeft > 0) {
      --skipsLeft;
      place(i + 1);
      ++skipsLeft;
    }
  };
  place(0);
  return best;
}

// Moves cells between groups, and swaps chosen cells with left-over ones, while that improves.
void improve(const std::vector<MatchCell>& cells, std::vector<std::vector<int>>& groups,
             std::vector<int>& spare) {
  Score current = scoreOf(cells, groups);
  for (int round = 0; round < 200; ++round) {
    bool better = false;
    for (size_t a = 0; a < groups.size(); ++a) {
      for (size_t b = a + 1; b < groups.size(); ++b) {
        for (size_t i = 0; i < groups[a].size(); ++i) {
          for (size_t j = 0; j < groups[b].size(); ++j) {
            std::swap(groups[a][i], groups[b][j]);
            const Score s = scoreOf(cells, groups);
            if (s < current) {
              current = s;
              better = true;
            } else {
              std::swap(groups[a][i], groups[b][j]);
            }
          }
        }
      }
      for (size_t i = 0; i < groups[a].size(); ++i) {
        for (int& x : spare) {
          std::swap(groups[a][i], x);
          const Score s = scoreOf(cells, groups);
          if (s < current) {
            current = s;
            better = true;
          } else {
            std::swap(groups[a][i], x);
          }
        }
      }
    }
    if (!better)
      break;
  }
}

} // namespace

MatchResult sortedAssignment(const std::vector<MatchCell>& cells, int series, int parallel) {
  const std::vector<int> order = byCapacity(cells);
  std::vector<std::vector<int>> groups(static_cast<size_t>(series));
  for (int k = 0; k < series * parallel; ++k)
    groups[size_t(k / parallel)].push_back(order[size_t(k)]);
  return finish(cells, groups);
}

MatchResult matchCells(const std::vector<MatchCell>& cells, int series, int parallel) {
  MatchResult none;
  if (series < 1 || parallel < 1) {
    none.problem = QStringLiteral("A pack needs at least one cell in series and one in parallel.");
    return none;
  }
  const int need = series * parallel;
  if (int(cells.size()) < need) {
    none.problem = QStringLiteral("%1S%2P needs %3 cells; %4 are selected.")
                       .arg(series)
                       .arg(parallel)
                       .arg(need)
                       .arg(cells.size());
    return none;
  }
  if (cells.size() <= 10)
    return finish(cells, exhaustive(cells, series, parallel));

  const std::vector<int> order = byCapacity(cells);
  std::vector<std::vector<int>> best;
  Score bestScore{};
  const auto consider = [&](std::vector<std::vector<int>> groups) {
    const Score s = scoreOf(cells, groups);
    if (best.empty() || s < bestScore) {
      best = std::move(groups);
      bestScore = s;
    }
  };
  // The baseline: neighbours in sorted order.
  {
    std::vector<std::vector<int>> g(static_cast<size_t>(series));
    for (int k = 0; k < need; ++k)
      g[size_t(k / parallel)].push_back(order[size_t(k)]);
    consider(g);
  }
  // Windows of S×P neighbours by capacity, dealt in a snake (1..S, S..1, ...) and improved.
  const int windows = int(cells.size()) - need + 1;
  const int stride = std::max(1, windows / 16);
  for (int w = 0; w < windows; w += stride) {
    std::vector<std::vector<int>> g(static_cast<size_t>(series));
    for (int k = 0; k < need; ++k) {
      const int pass = k / series, pos = k % series;
      g[size_t(pass % 2 == 0 ? pos : series - 1 - pos)].push_back(order[size_t(w + k)]);
    }
    std::vector<int> spare;
    for (int k = 0; k < int(order.size()); ++k)
      if (k < w || k >= w + need)
        spare.push_back(order[size_t(k)]);
    improve(cells, g, spare);
    consider(g);
  }
  return finish(cells, best);
}

QString matchCsv(const std::vector<MatchCell>& cells, const MatchResult& result) {
  const auto q = [](QString t) {
    if (t.contains(QLatin1Char(',')) || t.contains(QLatin1Char('"'))) {
      t.replace(QLatin1Char('"'), QLatin1String("\"\""));
      return QLatin1Char('"') + t + QLatin1Char('"');
    }
    return t;
  };
  QString out = QStringLiteral("Group,Cell,Capacity(Ah),Resistance(mOhm),Group Capacity(Ah),Group Resistance(mOhm)\r\n");
  const auto res = [](const std::optional<double>& r) { return r ? QString::number(*r, 'f', 2) : QString(); };
  for (size_t g = 0; g < result.groups.size(); ++g) {
    const MatchGroup& mg = result.groups[g];
    for (int i : mg.cells) {
      const MatchCell& c = cells[size_t(i)];
      out += QStringLiteral("%1,%2,%3,%4,%5,%6\r\n")
                 .arg(g + 1)
                 .arg(q(c.name))
                 .arg(c.capacityAh, 0, 'f', 4)
                 .arg(res(c.resistanceMohm))
                 .arg(mg.capacityAh, 0, 'f', 4)
                 .arg(res(mg.resistanceMohm));
    }
  }
  for (int i : result.leftOver) {
    const MatchCell& c = cells[size_t(i)];
    out += QStringLiteral(",%1,%2,%3,,\r\n").arg(q(c.name)).arg(c.capacityAh, 0, 'f', 4).arg(res(c.resistanceMohm));
  }
  return out;
}

} // namespace ondrel
