#include "cli/clioutput.h"
#include "sim/simdevice.h"
#include "runningrunner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdio>

using namespace ondrel;

namespace {

// The command-line runner's report path: one report of a running channel whose series holds a
// 100-hour test (360 000 samples), with its recording line and its JSON line.
void BM_CliReportOfALongTest(benchmark::State& state) {
  RunningRunner path;
  const SlotRunner& runner = path.runner;
  std::FILE* sink = std::fopen("/dev/null", "w");
  cli::Printer out(true, sink, sink);
  QObject::connect(&runner, &SlotRunner::sampleTaken,
                   [&](int c) { out.sample(runner.model(), c); });
  path.adopt();
  for (int i = 0; i < 360000; ++i)
    path.model().at(0).series.append({i * 1000LL, i, 3.7f, 3.7f, 3.7f, 3.7f, 3.7f});
  for (auto _ : state)
    path.next();
  state.counters["samples"] = double(runner.model().at(0).series.size());
  std::fclose(sink);
}
BENCHMARK(BM_CliReportOfALongTest)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

double childCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Ten `ondrel-cli watch` processes, each following a discharging tester that reports at the full
// line rate (a report every 22 ms), for ten seconds: their CPU time as a share of one core.
void BM_TenWatchProcesses(benchmark::State& state) {
  QTemporaryDir home;
  sim::Simulator simulator;
  for (int i = 0; i < 10; ++i) {
    sim::DeviceOptions o;
    sim::parseDeviceSpec(QStringLiteral("%1:model=12,report-ms=22,cap=1000,start=0/1/2.5/0")
                             .arg(i + 2),
                         {}, &o, nullptr);
    simulator.add(home.path(), o);
  }
  simulator.start(10);
  for (auto _ : state) {
    const double before = childCpuSeconds();
    std::vector<std::unique_ptr<QProcess>> watchers;
    for (int i = 0; i < 10; ++i) {
      auto p = std::make_unique<QProcess>();
      p->setStandardOutputFile(QProcess::nullDevice());
      p->start(QStringLiteral(ONDREL_CLI_PATH),
               {"watch", "--port", QStringLiteral("COM%1").arg(i + 2), "--home", home.path(),
                "--json", "--no-stop", "--no-data-file"});
      p->waitForStarted();
      watchers.push_back(std::move(p));
    }
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    for (auto& p : watchers) {
      ::kill(static_cast<pid_t>(p->processId()), SIGTERM);
      p->waitForFinished(5000);
    }
    state.counters["share_of_core_pct"] = 100.0 * (childCpuSeconds() - before) / (t.elapsed() / 1000.0);
  }
}
BENCHMARK(BM_TenWatchProcesses)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
