// The window's telemetry against a broker of the test's own.
#include "data/telemetry/mqttconfig.h"
#include "data/ui/networksetting.h"
#include "endtoend.h"
#include "support/privatebroker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QLabel>
#include <QSysInfo>

namespace ondrel::testing {
namespace {

bool waitFor(const std::function<bool()>& done, int ms) {
  return waitWhileProcessingEvents(done, ms);
}

TEST_F(EndToEnd, TheWindowPublishesItsDevicesAndHonoursAnAllowedStop) {
  PrivateBroker broker;
  QString error;
  ASSERT_TRUE(broker.start(&error)) << error.toStdString();
  Collector seen(broker);
  ASSERT_TRUE(waitFor([&] { return seen.connected(); }, 5000));
  home.write("ondrel.ini",
             QStringLiteral("[MQTT]\r\nURL=%1\r\nALLOWSTOP=True\r\nRATE=1\r\n").arg(broker.url()).toUtf8());
  sim::SimDevice& dev = device("2:model=12,cap=5");
  start();
  DeviceSlot& s = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting(); }, 2000));
  const QString base = "ondrel/" + telemetryHostId(QSysInfo::machineHostName()) + "/COM2";
  ASSERT_TRUE(waitFor([&] { return !seen.on(base + "/availability").isEmpty(); }, 5000));
  EXPECT_EQ(seen.on(base + "/availability").last().payload, "online");
  auto* status = window->findChild<QLabel*>("lblMqtt");
  ASSERT_NE(status, nullptr);
  EXPECT_TRUE(waitFor([&] { return status->text() == "MQTT: connected"; }, 5000))
      << status->text().toStdString();

  s.panel().setTSval(0, QStringLiteral("1.00"));
  s.panel().setTSlmt(0, QStringLiteral("2.50"));
  emit s.panel().RunClick(0);
  ASSERT_TRUE(runUntil([&] { return s.ch(0).ChnRunning; }, 3000));
  run(3000);
  ASSERT_TRUE(waitFor([&] { return !seen.on(base + "/1/state").isEmpty(); }, 5000));
  const QJsonObject state = QJsonDocument::fromJson(seen.on(base + "/1/state").last().payload).object();
  EXPECT_EQ(state.value("model").toString(), "KL-F2");
  EXPECT_EQ(state.value("state").toString(), "running");

  // A stop from the broker acts as the Stop button.
  seen.publish(base + "/1/stop", "stop");
  ASSERT_TRUE(runUntil(
      [&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return !heardOf(dev, "stop").isEmpty();
      },
      5000));
  ASSERT_TRUE(runUntil([&] { return !s.ch(0).ChnRunning; }, 3000));
  ASSERT_TRUE(waitFor(
      [&] {
        for (const Collector::Message& m : seen.on(base + "/1/event"))
          if (QJsonDocument::fromJson(m.payload).object().value("event") == "ended")
            return true;
        return false;
      },
      5000));
  const QJsonObject ended =
      QJsonDocument::fromJson(seen.on(base + "/1/event").last().payload).object();
  EXPECT_EQ(ended.value("reason").toString(), "stopped");

  // Disconnecting marks the device offline.
  emit s.panel().ConnClick();
  EXPECT_TRUE(waitFor([&] { return seen.on(base + "/availability").last().payload == "offline"; }, 5000));
}

TEST_F(EndToEnd, NetworkSettingWritesItsKeysAndTestsTheBroker) {
  PrivateBroker broker;
  ASSERT_TRUE(broker.start());
  start();
  frmNet dialog(window.get(), MqttConfig{}, window->settingsFile());
  dialog.findChild<QLineEdit*>("txtUrl")->setText(broker.url());
  dialog.findChild<QLineEdit*>("txtPrefix")->setText("lab");
  dialog.testClicked();
  EXPECT_TRUE(waitFor([&] { return dialog.testResult() == "Connected to the broker."; }, 10000))
      << dialog.testResult().toStdString();
  dialog.findChild<QLineEdit*>("txtUrl")->setText("http://nowhere");
  dialog.testClicked();
  EXPECT_TRUE(dialog.testResult().contains("mqtt://")) << dialog.testResult().toStdString();
  dialog.findChild<QLineEdit*>("txtUrl")->setText(broker.url());
  dialog.okClicked();
  const QString ini = QString::fromLocal8Bit(home.read("ondrel.ini"));
  EXPECT_TRUE(ini.contains("URL=" + broker.url())) << ini.toStdString();
  EXPECT_TRUE(ini.contains("PREFIX=lab"));
  EXPECT_TRUE(ini.contains("ALLOWSTOP=False"));
}

} // namespace
} // namespace ondrel::testing
