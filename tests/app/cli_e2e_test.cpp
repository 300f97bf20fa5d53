// ondrel-cli as a user runs it: the real executable against simulated devices on
// pseudo-terminals, its JSON lines read back with a JSON reader, its exit codes checked.
#include "data/recording.h"
#include "data/telemetry/mqttconfig.h"
#include "data/textfile.h"
#include "sim/simdevice.h"
#include "support/privatebroker.h"
#include "support/tempfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSysInfo>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <functional>

using namespace ondrel;

namespace {

struct CliResult {
  int code = -1;
  QList<QJsonObject> lines; // every JSON line of standard output
  QString err;
  bool timedOut = false;

  QList<QJsonObject> events(const char* name) const {
    QList<QJsonObject> out;
    for (const QJsonObject& o : lines)
      if (o.value("event").toString() == QLatin1String(name))
        out << o;
    return out;
  }
  QList<QJsonObject> samples() const {
    QList<QJsonObject> out;
    for (const QJsonObject& o : lines)
      if (!o.contains("event"))
        out << o;
    return out;
  }
};

class CliEndToEnd : public ::testing::Test {
protected:
  ondrel::testing::TempProgramFolder home;
  sim::Simulator simulator;

  void SetUp() override { simulator.start(10); }
  void TearDown() override { simulator.closeAll(); }

  sim::SimDevice& device(const char* spec) {
    sim::DeviceOptions defaults;
    defaults.reportMs = 200;
    defaults.speed = 60;
    sim::DeviceOptions o;
    QString error;
    EXPECT_TRUE(sim::parseDeviceSpec(QString::fromLatin1(spec), defaults, &o, &error))
        << error.toStdString();
    sim::SimDevice* d = simulator.add(home.path(), o, &error);
    EXPECT_NE(d, nullptr) << error.toStdString();
    return *d;
  }

  std::unique_ptr<QProcess> launch(QStringList args) {
    auto p = std::make_unique<QProcess>();
    args << "--home" << home.path() << "--json";
    p->start(QStringLiteral(ONDREL_CLI_PATH), args);
    EXPECT_TRUE(p->waitForStarted(5000));
    return p;
  }

  // Runs the event loop (the simulator's clock) until the process ends, `until` holds for what it
  // printed so far, or `ms` pass.
  CliResult follow(QProcess& p, int ms,
                   const std::function<bool(const CliResult&)>& until = {}) {
    CliResult r;
    QByteArray pending;
    QElapsedTimer t;
    t.start();
    const auto take = [&] {
      pending += p.readAllStandardOutput();
      qsizetype nl;
      while ((nl = pending.indexOf('\n')) >= 0) {
        const QByteArray line = pending.left(nl);
        pending.remove(0, nl + 1);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        r.lines << doc.object();
      }
      r.err += QString::fromUtf8(p.readAllStandardError());
    };
    while (p.state() != QProcess::NotRunning && t.elapsed() < ms) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      p.waitForReadyRead(5);
      take();
      if (until && until(r))
        return r;
    }
    if (p.state() != QProcess::NotRunning) {
      r.timedOut = true;
      p.kill();
      p.waitForFinished(2000);
    }
    take();
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
  }

  CliResult run(const QStringList& args, int ms = 30000) {
    auto p = launch(args);
    return follow(*p, ms);
  }

  static QList<QJsonObject> heardOf(const sim::SimDevice& d, const char* cmd) {
    QList<QJsonObject> out;
    for (const QJsonObject& r : d.heard())
      if (r.value("cmd").toString() == QLatin1String(cmd))
        out << r;
    return out;
  }
};

TEST_F(CliEndToEnd, InfoIdentifiesOneAndTwoChannelModelsAndTheUsbMeter) {
  struct Case {
    const char* spec;
    const char* port;
    const char* model;
    int channels;
    const char* firstMode;
  };
  const Case cases[] = {
      {"2:model=12", "COM2", "KL-F2", 1, "D-CC"},
      {"3:model=17", "COM3", "KL-03", 2, "D-CC"},
      {"4:model=26", "COM4", nullptr, 1, nullptr},
  };
  for (const Case& c : cases)
    device(c.spec);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spec);
    const CliResult r = run({"info", "--port", c.port});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QList<QJsonObject> id = r.events("identified");
    ASSERT_EQ(id.size(), 1);
    EXPECT_EQ(id[0].value("port").toString(), QLatin1String(c.port));
    EXPECT_EQ(id[0].value("channels").toInt(), c.channels);
    EXPECT_FALSE(id[0].value("firmware").toString().isEmpty());
    EXPECT_FALSE(id[0].value("modes").toArray().isEmpty());
    EXPECT_TRUE(id[0].value("max_v").isDouble());
    if (c.model) {
      EXPECT_EQ(id[0].value("model").toString(), QLatin1String(c.model));
    } else {
      EXPECT_FALSE(id[0].value("model").toString().isEmpty());
    }
    if (c.firstMode) {
      EXPECT_EQ(id[0].value("modes").toArray().first().toString(), QLatin1String(c.firstMode));
    }
  }
}

TEST_F(CliEndToEnd, RunFollowsATestToTheDevicesEndAndWritesItsFiles) {
  sim::SimDevice& dev = device("2:model=12,cap=0.05,speed=120");
  const CliResult r = run({"run", "--port", "COM2", "--mode", "D-CC", "--set", "1",
                           "--limit", "3.0", "--label", "cell 7"});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  const QList<QJsonObject> started = r.events("started");
  ASSERT_EQ(started.size(), 1);
  EXPECT_EQ(started[0].value("mode").toString(), "D-CC");
  EXPECT_EQ(started[0].value("set").toDouble(), 1.0);
  EXPECT_EQ(started[0].value("limit").toDouble(), 3.0);
  const QList<QJsonObject> starts = heardOf(dev, "start");
  ASSERT_EQ(starts.size(), 1);
  EXPECT_EQ(starts[0].value("set").toInt(), 100);
  EXPECT_EQ(starts[0].value("limit").toInt(), 300);

  const QList<QJsonObject> ended = r.events("ended");
  ASSERT_EQ(ended.size(), 1);
  EXPECT_EQ(ended[0].value("reason").toString(), "device");
  EXPECT_NEAR(ended[0].value("capacity_ah").toDouble(), dev.logic()->channel(0).capacityAh, 0.001);
  // Samples are numbers, and the running ones carry the test's values.
  int running = 0;
  for (const QJsonObject& s : r.samples()) {
    ASSERT_TRUE(s.value("v").isDouble());
    ASSERT_TRUE(s.value("a").isDouble());
    ASSERT_TRUE(s.value("temp_c").isDouble()) << "the model has a sensor";
    if (s.value("state").toString() == "running")
      ++running;
  }
  EXPECT_GT(running, 2);

  // The recording ended normally, and the data file holds the same samples.
  const RecordingContent rec =
      parseRecording(home.read("ondrel-KL-F2-COM2-1-1.bak"));
  EXPECT_TRUE(rec.endedNormally);
  ASSERT_FALSE(rec.samples.empty());
  const QString dataFile = ended[0].value("data_file").toString();
  ASSERT_TRUE(QFile::exists(dataFile)) << dataFile.toStdString();
  const QStringList lines = textFileLines(home.read(QDir(home.path()).relativeFilePath(dataFile)));
  EXPECT_TRUE(lines.contains("Title:cell 7"));
  EXPECT_TRUE(lines.contains("Device:KL-F2"));
  QStringList points;
  for (const QString& l : lines)
    if (!l.isEmpty() && l.at(0).isDigit())
      points << l;
  // The begin point, then one point per recorded sample with the same time, current and voltage.
  ASSERT_EQ(points.size(), int(rec.samples.size()) + 1);
  for (size_t i = 0; i < rec.samples.size(); ++i) {
    const QStringList p = points[int(i) + 1].split(',');
    EXPECT_EQ(p.value(0).toInt(), rec.samples[i].time) << i;
    EXPECT_NEAR(p.value(1).toDouble(), rec.samples[i].current, 0.005) << i;
    EXPECT_NEAR(p.value(2).toDouble(), rec.samples[i].voltage, 0.0005) << i;
  }

  // The test is in the history, once, with its files; `history` opens no port.
  const CliResult h = run({"history", "--label", "CELL", "--model", "f2", "--since", "2000-01-01"});
  ASSERT_EQ(h.code, 0) << h.err.toStdString();
  ASSERT_EQ(h.samples().size(), 1);
  const QJsonObject row = h.samples()[0];
  EXPECT_EQ(row.value("kind").toString(), "test");
  EXPECT_EQ(row.value("end_reason").toString(), "device");
  EXPECT_EQ(row.value("label").toString(), "cell 7");
  EXPECT_EQ(row.value("port").toString(), "COM2");
  EXPECT_EQ(row.value("mode").toString(), "D-CC");
  EXPECT_EQ(row.value("data_file").toString(), dataFile);
  EXPECT_TRUE(row.value("recording_file").toString().endsWith("ondrel-KL-F2-COM2-1-1.bak"));
  EXPECT_NEAR(row.value("capacity_ah").toDouble(), ended[0].value("capacity_ah").toDouble(), 0.001);
  EXPECT_EQ(run({"history", "--label", "other"}).samples().size(), 0);
}

TEST_F(CliEndToEnd, TwoProcessesOnTwoPortsOfOneFolderWorkSideBySide) {
  device("2:model=12,cap=0.05,speed=120");
  device("3:model=12,cap=0.08,speed=120");
  auto a = launch({"run", "--port", "COM2", "--mode", "D-CC", "--set", "1", "--limit", "3.0"});
  auto b = launch({"run", "--port", "COM3", "--mode", "D-CC", "--set", "2", "--limit", "3.0"});
  const CliResult ra = follow(*a, 30000);
  const CliResult rb = follow(*b, 30000);
  ASSERT_EQ(ra.code, 0) << ra.err.toStdString();
  ASSERT_EQ(rb.code, 0) << rb.err.toStdString();
  for (const char* rec : {"ondrel-KL-F2-COM2-1-1.bak", "ondrel-KL-F2-COM3-1-1.bak"})
    EXPECT_TRUE(parseRecording(home.read(rec)).endedNormally) << rec;
  const QString fileA = ra.events("ended").value(0).value("data_file").toString();
  const QString fileB = rb.events("ended").value(0).value("data_file").toString();
  EXPECT_TRUE(QFile::exists(fileA) && QFile::exists(fileB));
  EXPECT_NE(fileA, fileB);
  for (const QJsonObject& s : rb.samples())
    EXPECT_EQ(s.value("port").toString(), "COM3");
}

TEST_F(CliEndToEnd, ARefusedValueSendsNothingAndExitsWithTwo) {
  sim::SimDevice& dev = device("2:model=12");
  const struct {
    QStringList args;
    const char* says;
  } cases[] = {
      {{"--mode", "D-CC", "--set", "99", "--limit", "3.0"}, "range"},
      {{"--mode", "D-CC", "--set", "abc", "--limit", "3.0"}, "nvalid"},
      {{"--mode", "X-YZ"}, "not a mode"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    dev.clearHeard();
    const CliResult r = run(QStringList{"run", "--port", "COM2"} + c.args);
    EXPECT_EQ(r.code, 2) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QLatin1String(c.says))) << r.err.toStdString();
    EXPECT_TRUE(heardOf(dev, "start").isEmpty());
    ASSERT_EQ(r.events("error").size(), 1);
    EXPECT_EQ(r.events("error")[0].value("exit").toInt(), 2);
  }
  // Arguments refused before any port is opened.
  EXPECT_EQ(run({"run", "--port", "COM2"}).code, 2);
  EXPECT_EQ(run({"run", "--port", "LPT1", "--mode", "D-CC"}).code, 2);
  EXPECT_EQ(run({"info", "--port", "COM9"}).code, 3);
}

TEST_F(CliEndToEnd, ATestTheDeviceNeverRunsIsNotWaitedForForever) {
  device("5:model=12,soc=0");
  const CliResult r = run({"run", "--port", "COM5", "--mode", "D-CC", "--set", "1", "--limit",
                           "3.0"});
  EXPECT_EQ(r.code, 2) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("did not start the test")) << r.err.toStdString();
}

TEST_F(CliEndToEnd, APortVanishingMidTestExitsWithOneAndKeepsTheRecording) {
  device("2:model=12,cap=5,vanish=4");
  QElapsedTimer clock;
  clock.start();
  const CliResult r = run({"run", "--port", "COM2", "--mode", "D-CC", "--set", "1", "--limit",
                           "3.0"});
  EXPECT_EQ(r.code, 1) << r.err.toStdString();
  const QList<QJsonObject> ended = r.events("ended");
  ASSERT_EQ(ended.size(), 1);
  EXPECT_EQ(ended[0].value("reason").toString(), "link lost");
  EXPECT_TRUE(r.err.contains("has gone")) << "a hung-up line is seen at once, not after a silence";
  EXPECT_LT(clock.elapsed(), 9000);
  const RecordingContent rec = parseRecording(home.read("ondrel-KL-F2-COM2-1-1.bak"));
  EXPECT_FALSE(rec.endedNormally) << "an interrupted test stays continuable";
  EXPECT_GT(rec.samples.size(), 2u);
  EXPECT_EQ(rec.skippedLines, 0);
}

TEST_F(CliEndToEnd, CtrlCStopsTheTestWritesTheDataFileAndExitsWithZero) {
  sim::SimDevice& dev = device("2:model=12,cap=5");
  auto p = launch({"run", "--port", "COM2", "--mode", "D-CC", "--set", "1", "--limit", "3.0"});
  follow(*p, 15000, [](const CliResult& r) { return r.samples().size() > 4; });
  ::kill(static_cast<pid_t>(p->processId()), SIGINT);
  const CliResult r = follow(*p, 15000);
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(heardOf(dev, "stop").size(), 1);
  const QList<QJsonObject> ended = r.events("ended");
  ASSERT_EQ(ended.size(), 1);
  EXPECT_EQ(ended[0].value("reason").toString(), "stopped");
  EXPECT_TRUE(QFile::exists(ended[0].value("data_file").toString()));
}

TEST_F(CliEndToEnd, WatchContinuesATestWhoseRunnerWasKilled) {
  sim::SimDevice& dev = device("2:model=12,cap=0.2,speed=100");
  auto first = launch({"run", "--port", "COM2", "--mode", "D-CC", "--set", "1", "--limit", "3.0"});
  follow(*first, 15000, [](const CliResult& r) {
    const QList<QJsonObject> s = r.samples();
    return !s.isEmpty() && s.last().value("t").toInt() >= 3;
  });
  first->kill(); // SIGKILL: no stop, no end line
  first->waitForFinished(2000);
  ASSERT_TRUE(dev.logic()->channel(0).running);

  const CliResult r = run({"watch", "--port", "COM2"}, 60000);
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  const QList<QJsonObject> adopted = r.events("adopted");
  ASSERT_EQ(adopted.size(), 1);
  EXPECT_TRUE(adopted[0].value("continued").toBool());
  EXPECT_GE(adopted[0].value("t").toInt(), 3);
  const QList<QJsonObject> ended = r.events("ended");
  ASSERT_EQ(ended.size(), 1);
  EXPECT_EQ(ended[0].value("reason").toString(), "device");
  EXPECT_NEAR(ended[0].value("capacity_ah").toDouble(), dev.logic()->channel(0).capacityAh, 0.001);
  const RecordingContent rec = parseRecording(home.read("ondrel-KL-F2-COM2-1-1.bak"));
  EXPECT_TRUE(rec.endedNormally);
  EXPECT_EQ(rec.samples.front().time, 0) << "one recording from the first runner's start";
}

} // namespace

// ---- telemetry ---------------------------------------------------------------------------------

namespace {

using ondrel::testing::Collector;
using ondrel::testing::PrivateBroker;

class CliTelemetry : public CliEndToEnd {
protected:
  QString host = telemetryHostId(QSysInfo::machineHostName());
  QString base(const char* port) const { return "ondrel/" + host + "/" + port; }

  static QJsonObject json(const QByteArray& bytes) {
    QJsonParseError e;
    const QJsonDocument d = QJsonDocument::fromJson(bytes, &e);
    EXPECT_EQ(e.error, QJsonParseError::NoError) << bytes.toStdString();
    return d.object();
  }
  // Waits (running the simulator) until `done` holds.
  static bool waitFor(const std::function<bool()>& done, int ms) {
    return ondrel::testing::waitWhileProcessingEvents(done, ms);
  }
};

TEST_F(CliTelemetry, StateEventsAndDiscoveryReachTheBroker) {
  PrivateBroker broker;
  QString error;
  ASSERT_TRUE(broker.start(&error)) << error.toStdString();
  Collector seen(broker);
  ASSERT_TRUE(waitFor([&] { return seen.connected(); }, 5000));
  device("2:model=12,cap=0.05,speed=60");
  const CliResult r = run({"run", "--port", "COM2", "--mode", "D-CC", "--set", "1", "--limit",
                           "3.0", "--label", "cell 7", "--mqtt", broker.url()});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  ASSERT_TRUE(waitFor([&] { return !seen.on(base("COM2") + "/availability").isEmpty() &&
                                   seen.on(base("COM2") + "/availability").last().payload ==
                                       "offline"; },
                      5000));

  // States carry the values the recording holds, with the model and the label.
  const RecordingContent rec = parseRecording(home.read("ondrel-KL-F2-COM2-1-1.bak"));
  const QList<Collector::Message> states = seen.on(base("COM2") + "/1/state");
  ASSERT_GE(states.size(), 2);
  int matched = 0;
  for (const Collector::Message& m : states) {
    const QJsonObject s = json(m.payload);
    EXPECT_EQ(s.value("model").toString(), "KL-F2");
    EXPECT_EQ(s.value("label").toString(), "cell 7");
    if (s.value("state").toString() != "running")
      continue;
    for (const RecordingSample& line : rec.samples)
      if (line.time == s.value("t").toInt() && std::abs(line.voltage - s.value("v").toDouble()) < 0.0005)
        ++matched;
  }
  EXPECT_GT(matched, 0);
  EXPECT_EQ(json(states.last().payload).value("state").toString(), "idle") << "the end is told at once";

  // Events: identified, started, ended with the data file.
  QStringList events;
  for (const Collector::Message& m : seen.on(base("COM2") + "/1/event"))
    events << json(m.payload).value("event").toString();
  EXPECT_EQ(events, (QStringList{"identified", "started", "ended"}));
  const QJsonObject ended = json(seen.on(base("COM2") + "/1/event").last().payload);
  EXPECT_TRUE(ended.value("data_file").toString().endsWith(".csv"));

  // Discovery: one config per sensor of the channel, with what Home Assistant needs.
  int configs = 0;
  for (const Collector::Message& m : seen.messages()) {
    if (!m.topic.startsWith("homeassistant/sensor/"))
      continue;
    ++configs;
    const QJsonObject c = json(m.payload);
    for (const char* key : {"name", "unique_id", "state_topic", "value_template",
                            "availability_topic", "device"})
      EXPECT_TRUE(c.contains(key)) << key << " in " << m.topic.toStdString();
    EXPECT_EQ(m.topic, "homeassistant/sensor/" + c.value("unique_id").toString() + "/config");
    EXPECT_EQ(c.value("state_topic").toString(), base("COM2") + "/1/state");
    EXPECT_EQ(c.value("device").toObject().value("model").toString(), "KL-F2");
    EXPECT_FALSE(c.value("device").toObject().value("identifiers").toArray().isEmpty());
    if (c.value("device_class").toString() == "voltage") {
      EXPECT_EQ(c.value("unit_of_measurement").toString(), "V");
    }
  }
  EXPECT_EQ(configs, 7) << "voltage, current, power, capacity, energy, temperature, run state";
}

TEST_F(CliTelemetry, ABrokerKilledMidTestCostsTheTestNothingAndStateResumes) {
  PrivateBroker broker;
  ASSERT_TRUE(broker.start());
  sim::SimDevice& dev = device("2:model=12,cap=0.2,speed=60");
  auto p = launch({"run", "--port", "COM2", "--mode", "D-CC", "--set", "1", "--limit", "3.0",
                   "--mqtt", broker.url()});
  std::unique_ptr<Collector> seen = std::make_unique<Collector>(broker);
  follow(*p, 15000, [](const CliResult& r) { return r.samples().size() > 5; });
  broker.kill();
  const int before = int(dev.reportsSent());
  QElapsedTimer outage;
  outage.start();
  const CliResult during =
      follow(*p, 10000, [&](const CliResult&) { return outage.elapsed() > 3000; });
  EXPECT_GT(during.samples().size(), 5) << "reports went on while the broker was gone";
  ASSERT_TRUE(broker.start());
  seen = std::make_unique<Collector>(broker);
  const CliResult rest = follow(*p, 60000);
  ASSERT_EQ(rest.code, 0) << during.err.toStdString() << rest.err.toStdString();
  EXPECT_GT(int(dev.reportsSent()), before);
  const RecordingContent rec = parseRecording(home.read("ondrel-KL-F2-COM2-1-1.bak"));
  EXPECT_TRUE(rec.endedNormally);
  EXPECT_EQ(rec.skippedLines, 0);
  // Back online, the client sends its states again (retained, so a restarted broker is current).
  ASSERT_TRUE(waitFor([&] { return !seen->on(base("COM2") + "/1/state").isEmpty(); }, 5000));
  EXPECT_FALSE(seen->on("homeassistant/sensor/ondrel_" + host + "_COM2_1_voltage/config").isEmpty());
}

TEST_F(CliTelemetry, AStopMessageStopsOnlyWhenAllowed) {
  PrivateBroker broker;
  ASSERT_TRUE(broker.start());
  Collector seen(broker);
  ASSERT_TRUE(waitFor([&] { return seen.connected(); }, 5000));
  sim::SimDevice& dev = device("2:model=12,cap=5");
  for (const bool allowed : {false, true}) {
    SCOPED_TRACE(allowed);
    home.write("ondrel.ini", QStringLiteral("[MQTT]\r\nURL=%1\r\nALLOWSTOP=%2\r\n")
                                 .arg(broker.url(), allowed ? "True" : "False")
                                 .toUtf8());
    dev.clearHeard();
    auto p = launch({"run", "--port", "COM2", "--mode", "D-CC", "--set", "1", "--limit", "3.0"});
    follow(*p, 15000, [](const CliResult& r) { return r.samples().size() > 3; });
    seen.publish(base("COM2") + "/1/stop", "stop");
    const CliResult r = follow(*p, allowed ? 15000 : 3000);
    if (allowed) {
      ASSERT_EQ(r.code, 0) << r.err.toStdString();
      EXPECT_EQ(heardOf(dev, "stop").size(), 1);
      EXPECT_EQ(r.events("ended").value(0).value("reason").toString(), "stopped");
    } else {
      EXPECT_TRUE(r.timedOut) << "the test went on";
      EXPECT_TRUE(heardOf(dev, "stop").isEmpty());
      EXPECT_TRUE(home.mainLog().contains("ErrMqttStop"));
      dev.keyStop(0); // the test the runner left behind
      follow(*p, 500);
    }
  }
}

TEST_F(CliTelemetry, TheLastWillMarksTheDeviceOfflineWhenTheRunnerIsKilled) {
  PrivateBroker broker;
  ASSERT_TRUE(broker.start());
  Collector seen(broker);
  device("2:model=12");
  auto p = launch({"watch", "--port", "COM2", "--mqtt", broker.url()});
  const QString availability = base("COM2") + "/availability";
  ASSERT_TRUE(waitFor([&] { return !seen.on(availability).isEmpty() &&
                                   seen.on(availability).last().payload == "online"; },
                      10000));
  p->kill();
  p->waitForFinished(2000);
  EXPECT_TRUE(waitFor([&] { return seen.on(availability).last().payload == "offline"; }, 10000));
}

TEST_F(CliTelemetry, TlsWithAPasswordFileAndRefusedCredentials) {
  PrivateBroker broker({.tls = true, .user = "lab", .password = "s3cret"});
  QString error;
  ASSERT_TRUE(broker.start(&error)) << error.toStdString();
  Collector seen(broker);
  ASSERT_TRUE(waitFor([&] { return seen.connected(); }, 10000));
  device("2:model=12,cap=0.05,speed=60");
  const QString good = home.write("pass", "s3cret\n");
  const QString bad = home.write("wrong", "guess\n");

  CliResult r = run({"run", "--port", "COM2", "--mode", "D-CC", "--set", "1", "--limit", "3.0",
                     "--mqtt", broker.url(), "--mqtt-user", "lab", "--mqtt-passfile", good,
                     "--mqtt-cafile", broker.caFile()});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(waitFor([&] { return !seen.on(base("COM2") + "/1/state").isEmpty(); }, 5000));
  EXPECT_FALSE(r.err.contains("s3cret"));

  // Refused credentials: said once, the test runs to its end all the same.
  device("3:model=12,cap=0.05,speed=60");
  r = run({"run", "--port", "COM3", "--mode", "D-CC", "--set", "1", "--limit", "3.0", "--mqtt",
           broker.url(), "--mqtt-user", "lab", "--mqtt-passfile", bad, "--mqtt-cafile",
           broker.caFile()});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.err.count("MQTT: offline"), 1) << r.err.toStdString();
  EXPECT_FALSE(r.err.contains("guess"));
  EXPECT_EQ(r.events("ended").size(), 1);
}

} // namespace
