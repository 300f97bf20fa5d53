#include <QCoreApplication>

#include <benchmark/benchmark.h>

// Benchmarks of core code that needs an event loop's application object (timers, queued calls).
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
