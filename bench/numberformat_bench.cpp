#include "data/support/numberformat.h"

#include <benchmark/benchmark.h>

// Every report formats about a dozen readouts; this keeps that cost visible.
static void BM_FormatReadout(benchmark::State& state) {
  float v = 3.7123f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ondrel::Format(v, u"0.000"));
    v += 0.001f;
  }
}
BENCHMARK(BM_FormatReadout);

BENCHMARK_MAIN();
