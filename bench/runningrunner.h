#pragma once

#include "link/memoryport.h"
#include "support/reportbuilder.h"
#include "test/slotrunner.h"

#include <QTemporaryDir>

#include <memory>

namespace ondrel {

// The runner's report path as its benchmarks time it: a runner on COM2 of memory ports, in a
// folder of its own, following a KL-F2 that discharges at 1 A. Connect to `runner` before
// `adopt()`, so that the first reports reach what is connected too.
struct RunningRunner {
  static SlotRunner::Settings settingsIn(const QTemporaryDir& dir) {
    SlotRunner::Settings s;
    s.folder = dir.path();
    return s;
  }

  QTemporaryDir dir;
  Comm comm{std::make_unique<MemoryPorts>()};
  SlotRunner runner{comm, settingsIn(dir)};
  testing::Report report;
  int volt = 3700;

  RunningRunner() {
    QString error;
    runner.open(2, &error);
    report.model = 12, report.state = 1, report.volt = 3700, report.cur = 100, report.set = 100,
    report.limit = 300;
  }
  SlotModel& model() { return const_cast<SlotModel&>(runner.model()); }

  // Identifies the device and adopts its running test, recorded in the folder.
  void adopt() {
    runner.receive(report.wire());
    runner.receive(report.wire());
    model().at(0).data.RecPath = dir.filePath(QStringLiteral("rec"));
  }
  // One more report, a millivolt off the last so that it is a new sample, a second later.
  void next() {
    report.volt = volt;
    volt = volt == 3700 ? 3699 : 3700;
    runner.receive(report.wire());
    ++model().at(0).data.CurveSec;
  }
};

} // namespace ondrel
