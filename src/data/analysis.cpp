#include "data/analysis.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace ondrel {

std::vector<DqDvPoint> dqdvCurve(std::span<const double> volt, std::span<const double> ah,
                                 double stepVolts, int smoothing) {
  const size_t n = std::min(volt.size(), ah.size());
  if (n < 3 || !(stepVolts > 0.0))
    return {};
  const bool falling = volt[n - 1] < volt[0];
  std::vector<double> v(volt.begin(), volt.begin() + static_cast<std::ptrdiff_t>(n));
  for (size_t i = 1; i < n; ++i)
    v[i] = falling ? std::min(v[i], v[i - 1]) : std::max(v[i], v[i - 1]);
  const double low = std::min(v.front(), v.back()), high = std::max(v.front(), v.back());
  const int steps = static_cast<int>(std::floor((high - low) / stepVolts));
  if (steps < 2)
    return {};

  // Capacity where the monotonic voltage first reaches each grid voltage, walking in the test's
  // own direction.
  std::vector<double> grid(static_cast<size_t>(steps) + 1), q(grid.size());
  size_t k = 1;
  for (size_t g = 0; g < grid.size(); ++g) {
    const double target = falling ? high - double(g) * stepVolts : low + double(g) * stepVolts;
    grid[g] = target;
    auto reached = [&](size_t i) { return falling ? v[i] <= target : v[i] >= target; };
    while (k < n - 1 && !reached(k))
      ++k;
    const double v0 = v[k - 1], v1 = v[k];
    const double t = v1 != v0 ? std::clamp((target - v0) / (v1 - v0), 0.0, 1.0) : 1.0;
    q[g] = ah[k - 1] + t * (ah[k] - ah[k - 1]);
  }

  std::vector<DqDvPoint> raw;
  raw.reserve(grid.size() - 1);
  for (size_t g = 0; g + 1 < grid.size(); ++g)
    raw.push_back({(grid[g] + grid[g + 1]) / 2.0, std::abs(q[g + 1] - q[g]) / stepVolts});
  if (falling)
    std::reverse(raw.begin(), raw.end()); // always from low to high voltage

  const int half = std::max(0, (smoothing - 1) / 2);
  if (half == 0)
    return raw;
  std::vector<DqDvPoint> smooth(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    const size_t from = i >= size_t(half) ? i - size_t(half) : 0;
    const size_t to = std::min(raw.size() - 1, i + size_t(half));
    double sum = 0.0;
    for (size_t j = from; j <= to; ++j)
      sum += raw[j].dqdv;
    smooth[i] = {raw[i].volt, sum / double(to - from + 1)};
  }
  return smooth;
}

std::optional<double> dqdvPeakVoltage(std::span<const DqDvPoint> curve) {
  if (curve.empty())
    return std::nullopt;
  const auto top = std::max_element(curve.begin(), curve.end(),
                                    [](const auto& a, const auto& b) { return a.dqdv < b.dqdv; });
  return top->volt;
}

std::optional<double> capacityAtVoltage(std::span<const double> volt, std::span<const double> ah,
                                        double target) {
  const size_t n = std::min(volt.size(), ah.size());
  if (n == 0)
    return std::nullopt;
  if (volt[0] == target)
    return ah[0];
  for (size_t i = 1; i < n; ++i) {
    const double a = volt[i - 1], b = volt[i];
    if ((a - target) * (b - target) <= 0.0 && a != b)
      return ah[i - 1] + (target - a) / (b - a) * (ah[i] - ah[i - 1]);
  }
  return std::nullopt;
}

AnalysisFile analysisFile(const QString& name, std::span<const float> volt,
                          std::span<const float> ah) {
  auto exact = [](float value) { return std::round(double(value) * 1e6) / 1e6; };
  AnalysisFile f{name, {}, {}};
  const size_t n = std::min(volt.size(), ah.size());
  for (size_t i = 0; i < n; ++i) {
    f.volt.push_back(exact(volt[i]));
    f.ah.push_back(exact(ah[i]));
  }
  return f;
}

int smoothingPoints(int typed) {
  const int n = std::clamp(typed, 1, 51);
  return n % 2 == 0 ? n + 1 : n;
}

std::vector<std::vector<DqDvPoint>> dqdvCurves(std::span<const AnalysisFile> files, int smoothing) {
  std::vector<std::vector<DqDvPoint>> curves;
  curves.reserve(files.size());
  for (const AnalysisFile& f : files)
    curves.push_back(dqdvCurve(f.volt, f.ah, 0.005, smoothingPoints(smoothing)));
  return curves;
}

VoltageList parseVoltages(const QString& text) {
  static const QRegularExpression separators(QStringLiteral("[\\s;]+"));
  VoltageList list;
  for (const QString& word : text.split(separators, Qt::SkipEmptyParts)) {
    QString number = word;
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = number.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v <= 0.0)
      list.rejected << word;
    else if (list.volts.size() < size_t(VoltageList::kMaxVoltages))
      list.volts.push_back(v);
  }
  return list;
}

AnalysisTable analysisTable(std::span<const AnalysisFile> files, std::span<const double> volts) {
  AnalysisTable table;
  table.headings << QStringLiteral("File");
  for (const double v : volts)
    table.headings << QString::number(v, 'g', 6) + QStringLiteral(" V");
  for (const AnalysisFile& f : files) {
    QStringList row{f.name};
    for (const double v : volts) {
      const auto ah = capacityAtVoltage(f.volt, f.ah, v);
      row << (ah ? QString::number(*ah * 1000.0, 'f', 1) : QStringLiteral("-"));
    }
    table.rows.push_back(row);
  }
  return table;
}

} // namespace ondrel
