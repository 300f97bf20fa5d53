#include "data/ui/deviceslot.h"
#include "data/ui/frmmain.h"
#include "link/memoryport.h"
#include "support/deviceslotprobe.h"
#include "support/reportbuilder.h"
#include "widgets/curvegraph.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace ondrel;

namespace {

// One report of a running channel whose curves already hold a 100-hour test (360 000 points):
// decode, report handling, live update with curve points and one recording line; the redraw is
// deferred because the graph is not on screen.
void BM_ReportOfALongTest(benchmark::State& state) {
  QTemporaryDir dir;
  frmMain window(std::make_unique<MemoryPorts>());
  DeviceSlot& slot = window.slot(0);
  testing::Report r;
  r.model = 12, r.state = 1, r.volt = 3700, r.cur = 100, r.set = 100, r.limit = 300;
  DeviceSlotProbe::startConnecting(slot);
  slot.receive(r.wire());
  for (int k = 0; k < 5; ++k)
    for (int i = 0; i < 360000; ++i)
      slot.graph().AddXY(k, float(i), 3.7f);
  // The channel's series holds the same test.
  SampleSeries& series = DeviceSlotProbe::model(slot).at(0).series;
  for (int i = 0; i < 360000; ++i)
    series.append({i * 1000LL, i, 3.7f, 3.7f, 3.7f, 3.7f, 3.7f});
  DeviceSlotProbe::channel(slot, 0).RecPath = dir.filePath(QStringLiteral("rec"));
  int volt = 3700;
  for (auto _ : state) {
    r.volt = volt;
    volt = volt == 3700 ? 3699 : 3700;
    slot.receive(r.wire());
    ++DeviceSlotProbe::channel(slot, 0).CurveSec;
  }
  state.counters["points"] = slot.graph().DpCnt(0);
}
BENCHMARK(BM_ReportOfALongTest)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
