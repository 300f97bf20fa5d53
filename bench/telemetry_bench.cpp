#include "data/telemetry/devicetelemetry.h"
#include "support/loopbacklistener.h"
#include "support/privatebroker.h"
#include "runningrunner.h"

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

  RunningRunner path;
  const SlotRunner& runner = path.runner;
  QString error;
  std::unique_ptr<DeviceTelemetry> telemetry;
  if (config.enabled())
    telemetry = DeviceTelemetry::make(config, QStringLiteral("COM2"), &error);
  QObject::connect(&runner, &SlotRunner::sampleTaken, [&](int c) {
    if (telemetry)
      telemetry->sample(runner.model(), c, QStringLiteral("bench"));
  });
  path.adopt();
  if (telemetry)
    telemetry->identified(runner.model(), QJsonObject{{"event", "identified"}});
  // Let the client try (and, for the down brokers, fail) before timing starts.
  testing::waitWhileProcessingEvents([] { return false; }, 300);
  for (auto _ : state)
    path.next();
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
