#include "data/telemetry/devicetelemetry.h"
#include "link/memoryport.h"
#include "support/loopbacklistener.h"
#include "support/privatebroker.h"
#include "support/reportbuilder.h"
#include "test/slotrunner.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

using namespace ondrel;

namespace {

enum Broker { None, Up, Refusing, Silent };

// A loopback port with nobody on it: every connection is refused at once.
int refusingPort() {
  testing::LoopbackListener l;
  return l.port(); // closed again when l goes
}

// The report path of a running channel with telemetry to a broker that is up, refusing, or
// silent, against the same path with no telemetry: at the default RATE of 1 s, and at RATE 0
// (a state message for every report, beyond what the settings allow: the worst case).
void BM_ReportWithTelemetry(benchmark::State& state) {
  const auto broker = Broker(state.range(0));
  std::unique_ptr<testing::PrivateBroker> real;
  std::unique_ptr<testing::LoopbackListener> silent;
  MqttConfig config;
  config.rate = int(state.range(1));
  switch (broker) {
  case None:
    break;
  case Up:
    real = std::make_unique<testing::PrivateBroker>();
    if (!real->start()) {
      state.SkipWithError("mosquitto did not start");
      return;
    }
    config.url = real->url();
    break;
  case Refusing:
    config.url = QStringLiteral("mqtt://127.0.0.1:%1").arg(refusingPort());
    break;
  case Silent:
    silent = std::make_unique<testing::LoopbackListener>();
    config.url = QStringLiteral("mqtt://127.0.0.1:%1").arg(silent->port());
    break;
  }

  QTemporaryDir dir;
  Comm comm(std::make_unique<MemoryPorts>());
  SlotRunner::Settings settings;
  settings.folder = dir.path();
  SlotRunner runner(comm, settings);
  QString error;
  runner.open(2, &error);
  std::unique_ptr<DeviceTelemetry> telemetry;
  if (config.enabled())
    telemetry = DeviceTelemetry::make(config, QStringLiteral("COM2"), &error);
  QObject::connect(&runner, &SlotRunner::sampleTaken, [&](int c) {
    if (telemetry)
      telemetry->sample(runner.model(), c, QStringLiteral("bench"));
  });
  testing::Report r;
  r.model = 12, r.state = 1, r.volt = 3700, r.cur = 100, r.set = 100, r.limit = 300;
  runner.receive(r.wire());
  runner.receive(r.wire());
  if (telemetry)
    telemetry->identified(runner.model(), QJsonObject{{"event", "identified"}});
  // Let the client try (and, for the down brokers, fail) before timing starts.
  testing::waitWhileProcessingEvents([] { return false; }, 300);
  SlotModel& m = const_cast<SlotModel&>(runner.model());
  m.at(0).data.RecPath = dir.filePath(QStringLiteral("rec"));
  int volt = 3700;
  for (auto _ : state) {
    r.volt = volt;
    volt = volt == 3700 ? 3699 : 3700;
    runner.receive(r.wire());
    ++m.at(0).data.CurveSec;
  }
  state.SetLabel(std::string(broker == None ? "no telemetry"
                             : broker == Up ? "broker up"
                             : broker == Refusing ? "broker refusing"
                                                  : "broker silent") +
                 (state.range(1) == 0 ? ", every report" : ", RATE 1 s"));
  if (telemetry)
    telemetry->close();
}
BENCHMARK(BM_ReportWithTelemetry)
    ->ArgsProduct({{None, Up, Refusing, Silent}, {1, 0}})
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
