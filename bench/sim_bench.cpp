// Ten simulated devices at the full line rate: CPU time per simulated second, driven the way
// the real-time loop drives them (10 ms steps), with the program's side draining every line.
#include "sim/simdevice.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <ctime>

namespace {

double processCpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

void BM_TenDevicesFullLineRate(benchmark::State& state) {
  QTemporaryDir home;
  ondrel::sim::Simulator sim;
  QList<int> readers;
  const int models[] = {12, 17, 9, 26, 1, 5, 6, 20, 25, 34};
  for (int i = 0; i < 10; ++i) {
    ondrel::sim::DeviceOptions o;
    o.port = 2 + i;
    o.device.model = models[i];
    o.reportMs = 1; // as many reports as the line carries
    o.speed = 10;
    ondrel::sim::SimDevice* d = sim.add(home.path(), o);
    if (!d) {
      state.SkipWithError("no pseudo-terminal");
      return;
    }
    const int fd =
        ::open(QFile::encodeName(d->linkPath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    readers.append(fd);
    const QByteArray connect = ondrel::sim::buildCommand(5);
    [[maybe_unused]] const ssize_t n = ::write(fd, connect.constData(), connect.size());
    d->keyStart({0, 0, 1.0, 0.5, 0});
  }
  char buf[4096];
  qint64 bytes = 0;
  double cpu = 0;
  for (auto _ : state) {
    const double before = processCpuSeconds();
    for (int step = 0; step < 100; ++step) { // one simulated second
      sim.advance(10);
      for (int fd : readers)
        while (::read(fd, buf, sizeof buf) > 0) {
        }
    }
    cpu += processCpuSeconds() - before;
  }
  for (ondrel::sim::SimDevice* d : sim.devices())
    bytes += d->bytesSent();
  for (int fd : readers)
    ::close(fd);
  const double seconds = static_cast<double>(state.iterations());
  state.counters["core_percent"] = 100.0 * cpu / seconds;
  state.counters["bytes_per_device_s"] = bytes / seconds / 10.0;
}
BENCHMARK(BM_TenDevicesFullLineRate)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
