#include "data/ui/deviceslot.h"
#include "data/ui/frmmain.h"
#include "link/memoryport.h"
#include "support/deviceslotprobe.h"
#include "support/reportbuilder.h"
#include "support/tempfolder.h"
#include "test/ui/devctrl.h"
#include "widgets/curvegraph.h"

#include <QAction>
#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>

using namespace ondrel;

namespace {

constexpr int kSlots = frmMain::kMaxSlots;
constexpr int kReportsPerSecond = 46; // 19-byte frames at 9600 baud, with the device's pauses
constexpr int kTickMs = 50;           // the slots' receive timer
constexpr int kSimulatedSeconds = 60;

double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Ten slots, each connected on its own memory port to a discharging tester that reports at the
// full line rate, in a shown main window (offscreen) whose first slot is selected.
struct TenBusySlots {
  testing::TempProgramFolder home;
  std::vector<std::shared_ptr<MemoryLine>> lines;
  std::unique_ptr<frmMain> window;
  testing::Report report;
  qint64 sentReports = 0;
  qint64 elapsedMs = 0;

  TenBusySlots() {
    auto ports = std::make_unique<MemoryPorts>();
    for (int i = 0; i < kSlots; ++i)
      lines.push_back(ports->line(i + 2));
    window = std::make_unique<frmMain>(std::move(ports));
    window->ask = [](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) {
      return QMessageBox::Ok;
    };
    for (int i = 1; i < kSlots; ++i)
      window->action(QStringLiteral("menuAddDev"))->trigger();
    window->resize(1280, 800);
    window->show();
    window->selectSlot(0);
    report.model = 12, report.state = 1, report.cur = 1000, report.set = 100, report.limit = 300;
    for (int i = 0; i < kSlots; ++i) {
      DeviceSlot& s = window->slot(i);
      s.panel().setTPort(QStringLiteral("COM%1").arg(i + 2));
      emit s.panel().ConnClick();
    }
    // Identification and the adopted test (with its new recording) before the measured minute.
    runFor(2000);
  }

  // Simulated time: every 50 ms each tester sends what the line carried meanwhile and each slot
  // reads its port once; every second the one-second timers tick; the selected slot's graph
  // draws when a redraw is due (its 30 ms timer would), and then the window paints.
  void runFor(qint64 ms) {
    for (qint64 end = elapsedMs + ms; elapsedMs < end;) {
      elapsedMs += kTickMs;
      const qint64 due = elapsedMs * kReportsPerSecond / 1000;
      for (; sentReports < due; ++sentReports) {
        // A slowly falling voltage with some noise: the readouts and curves change as they do.
        report.volt = 4100 - int(sentReports / 200) + int(sentReports * 7919 % 5);
        for (auto& line : lines)
          line->feed(report.wire());
      }
      for (int i = 0; i < kSlots; ++i)
        window->slot(i).ReceiveBytes();
      if (elapsedMs % 1000 == 0)
        secondTimers();
      window->slot(window->SelectedSlot()).flushGraph();
      QCoreApplication::processEvents();
    }
  }

  void secondTimers() {
    for (int i = 0; i < kSlots; ++i) {
      DeviceSlot& s = window->slot(i);
      for (int c = 0; c < 2; ++c) {
        if (s.secondTimerRunning(c))
          DeviceSlotProbe::secondTick(s, c);
        if (s.panel().TmrCurveEnable(c))
          emit s.panel().CurveTimer(c);
        if (s.panel().TmrShowEnable(c))
          emit s.panel().ShowTimer(c);
      }
    }
  }
};

// The user-interface thread's CPU time for a simulated minute of ten busy slots, as a share of
// one core ("core_%"). The argument is the number of points each curve of the selected slot
// already holds: 0 for tests that have just begun, 360 000 for one that has run at the line rate
// for over two hours.
void BM_TenSlotsAtLineRate(benchmark::State& state) {
  TenBusySlots bench;
  const auto points = static_cast<int>(state.range(0));
  if (points > 0) {
    DeviceSlot& shown = bench.window->slot(0);
    const qint32 seconds = points / kReportsPerSecond;
    for (int k = 0; k < 5; ++k) {
      shown.graph().Clear(k);
      for (int i = 0; i < points; ++i)
        shown.graph().AddXY(k, float(i / kReportsPerSecond), k == 1 ? 1.0f : 3.7f);
    }
    DeviceSlotProbe::channel(shown, 0).CurveSec = seconds;
    bench.runFor(2000);
  }
  double share = 0;
  for (auto _ : state) {
    const double before = threadCpuSeconds();
    bench.runFor(kSimulatedSeconds * 1000);
    share = (threadCpuSeconds() - before) / kSimulatedSeconds;
  }
  state.counters["core_%"] = share * 100.0;
  state.counters["reports"] = double(bench.sentReports * kSlots);
}
BENCHMARK(BM_TenSlotsAtLineRate)
    ->Arg(0)
    ->Arg(360000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
