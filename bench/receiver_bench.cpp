#include "link/modeltable.h"
#include "link/receiver.h"

#include <benchmark/benchmark.h>

namespace {

QByteArray reportBlock() {
  ondrel::RecBody body{};
  quint8 x = 0;
  for (std::size_t i = 0; i < 16; ++i) {
    body[i] = static_cast<quint8>(i * 11 % 240);
    x ^= body[i];
  }
  body[16] = static_cast<quint8>(x % 240);
  QByteArray frame = char(ondrel::kFrameStart) +
                     QByteArray(reinterpret_cast<const char*>(body.data()), 17) +
                     char(ondrel::kFrameEnd);
  return (frame + frame + frame + frame).left(64); // one full 64-byte read
}

} // namespace

// One receive tick of one slot at its largest: a 64-byte read through the state machine.
static void BM_ReceiveTick(benchmark::State& state) {
  ondrel::ReceiveState rx;
  const QByteArray block = reportBlock();
  int handled = 0;
  const ondrel::ReportHandler handler = [&](const ondrel::RecBody&) {
    ++handled;
    return ondrel::ReportAction::Continue;
  };
  for (auto _ : state)
    benchmark::DoNotOptimize(rx.ReceiveBytes(block, handler));
  state.SetBytesProcessed(state.iterations() * block.size());
  benchmark::DoNotOptimize(handled);
}
BENCHMARK(BM_ReceiveTick);

// Identification runs for every report while a slot connects.
static void BM_IdentifyReport(benchmark::State& state) {
  ondrel::RecBody body{};
  body[15] = 12;
  const ondrel::ModelParams params;
  for (auto _ : state)
    benchmark::DoNotOptimize(ondrel::identifyReport(body, params));
}
BENCHMARK(BM_IdentifyReport);

BENCHMARK_MAIN();
