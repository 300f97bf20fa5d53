#include "history/catalogue.h"
#include "history/historywriter.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace ondrel;

namespace {

constexpr int kRows = 100000;

TestRecord benchRow(int i, QRandomGenerator& rng) {
  static const char* models[] = {"EBC-A20", "EBC-B20H", "KL-F2", "EBC-A40L", "KC-10"};
  static const char* modes[] = {"D-CC", "D-CP", "C-CV", "C-Liion"};
  TestRecord r;
  r.uid = QStringLiteral("bench-%1").arg(i);
  r.kind = kind::Test;
  const QDateTime t = QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC).addSecs(qint64(i) * 900);
  r.startedUtc = isoUtc(t);
  r.endedUtc = isoUtc(t.addSecs(3600));
  r.host = QStringLiteral("lab-pc");
  r.port = QStringLiteral("COM%1").arg(2 + i % 8);
  r.channel = i % 2;
  r.model = QLatin1String(models[i % 5]);
  r.mode = QLatin1String(modes[(i / 5) % 4]);
  r.label = QStringLiteral("batch %1 cell %2").arg(i / 100).arg(i % 100);
  r.capacityAh = 2.0 + rng.bounded(1.5);
  r.energyWh = *r.capacityAh * 3.6;
  r.avgV = 3.6;
  r.resistanceMohm = 20 + rng.bounded(40.0);
  r.endReason = endreason::Device;
  r.dataFile = QStringLiteral("/data/%1.csv").arg(i);
  return r;
}

// One catalogue of 100 000 tests for every benchmark of the run.
struct Filled {
  QTemporaryDir dir;
  StoreTarget target;
  Filled() {
    target = localStore(dir.path());
    Catalogue c(target);
    c.open();
    QRandomGenerator rng(31);
    std::vector<TestRecord> batch;
    for (int i = 0; i < kRows; ++i) {
      batch.push_back(benchRow(i, rng));
      if (batch.size() == 5000) {
        c.add(batch);
        batch.clear();
      }
    }
  }
};
Filled& filled() {
  static Filled f;
  return f;
}

// What the history window does when it opens or a filter applies: the first page and the sums.
void showFirstPage(Catalogue& c, const HistoryFilter& f) {
  benchmark::DoNotOptimize(c.query(f, {}, 200, 0));
  benchmark::DoNotOptimize(c.sums(f));
}

void BM_FirstPage(benchmark::State& state) {
  Catalogue c(filled().target);
  c.open();
  for (auto _ : state)
    showFirstPage(c, {});
}
BENCHMARK(BM_FirstPage)->Unit(benchmark::kMillisecond);

void BM_Filter(benchmark::State& state) {
  Catalogue c(filled().target);
  c.open();
  HistoryFilter f;
  switch (state.range(0)) {
  case 0:
    f.label = QStringLiteral("cell 7");
    state.SetLabel("label");
    break;
  case 1:
    f.model = QStringLiteral("b20h");
    state.SetLabel("model");
    break;
  case 2:
    f.mode = QStringLiteral("D-CP");
    state.SetLabel("mode");
    break;
  case 3:
    f.from = QDate(2025, 3, 1);
    f.to = QDate(2025, 3, 31);
    state.SetLabel("dates");
    break;
  case 4:
    f.capacityMinAh = 2.9;
    f.capacityMaxAh = 3.1;
    state.SetLabel("capacity");
    break;
  case 5:
    f.resistanceMinMohm = 20;
    f.resistanceMaxMohm = 25;
    state.SetLabel("resistance");
    break;
  }
  for (auto _ : state)
    showFirstPage(c, f);
}
BENCHMARK(BM_Filter)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

// One row committed into the full catalogue (the writer thread's cost per ended test).
void BM_AddRowCommitted(benchmark::State& state) {
  Catalogue c(filled().target);
  c.open();
  QRandomGenerator rng(7);
  int i = kRows;
  for (auto _ : state)
    c.add({benchRow(i++, rng)});
}
BENCHMARK(BM_AddRowCommitted)->Unit(benchmark::kMillisecond);

// What a test's end costs the user-interface thread: the row handed to the writer.
void BM_AddRowQueued(benchmark::State& state) {
  QTemporaryDir dir;
  HistoryConfig config;
  config.folder = dir.path();
  HistoryWriter w(config);
  QRandomGenerator rng(7);
  int i = 0;
  for (auto _ : state)
    w.add(benchRow(i++, rng));
  w.flush();
}
BENCHMARK(BM_AddRowQueued)->Unit(benchmark::kMicrosecond);

// The row of a 100-hour test (360 000 samples) built from the slot's model.
void BM_RowOfALongTest(benchmark::State& state) {
  SlotModel m;
  for (int i = 0; i < 360000; ++i)
    m.at(0).series.append({i * 1000LL, i, 3.7f, 1.0f, 25.0f, 0, 0});
  TestEnd end;
  for (auto _ : state)
    benchmark::DoNotOptimize(recordOfChannel(m, 0, end, true));
}
BENCHMARK(BM_RowOfALongTest)->Unit(benchmark::kMillisecond);

} // namespace
