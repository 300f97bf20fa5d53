#include "data/telemetry/devicetelemetry.h"
#include "data/telemetry/mqttclient.h"
#include "data/telemetry/mqttconfig.h"
#include "support/privatebroker.h"

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::Collector;
using ondrel::testing::PrivateBroker;
using ondrel::testing::waitWhileProcessingEvents;

namespace {

TEST(BrokerUrl, AcceptsBrokerAddressesAndNamesWhatIsWrongWithOthers) {
  struct Case {
    const char* url;
    bool ok;
    bool tls;
    int port;
    const char* host;
  } cases[] = {
      {"mqtt://127.0.0.1:1884", true, false, 1884, "127.0.0.1"},
      {"mqtt://broker.lab", true, false, 1883, "broker.lab"},
      {"mqtts://broker.lab", true, true, 8883, "broker.lab"},
      {" mqtts://broker.lab:8884/ ", true, true, 8884, "broker.lab"},
      {"http://broker.lab", false, false, 0, ""},
      {"broker.lab:1883", false, false, 0, ""},
      {"mqtt://", false, false, 0, ""},
      {"mqtt://broker.lab/topic", false, false, 0, ""},
      {"mqtt://broker.lab:99999", false, false, 0, ""},
  };
  for (const Case& c : cases) {
    QString error;
    const auto a = parseBrokerUrl(QString::fromLatin1(c.url), &error);
    ASSERT_EQ(a.has_value(), c.ok) << c.url;
    if (c.ok) {
      EXPECT_EQ(a->tls, c.tls) << c.url;
      EXPECT_EQ(a->port, c.port) << c.url;
      EXPECT_EQ(a->host, QString::fromLatin1(c.host)) << c.url;
    } else {
      EXPECT_FALSE(error.isEmpty()) << c.url;
    }
  }
}

TEST(MqttSettings, UnusableValuesTakeTheirDefaultsAndAreNamed) {
  const IniDocument ini = IniDocument::fromText(
      QStringLiteral("[MQTT]\nURL=mqtt://h\nRATE=0\nPREFIX=\nALLOWSTOP=yes please\n"));
  QStringList problems;
  const MqttConfig c = readMqttConfig(ini, &problems);
  EXPECT_EQ(c.rate, 1);
  EXPECT_EQ(c.prefix, QStringLiteral("ondrel"));
  EXPECT_FALSE(c.allowStop); // only an explicit True lets the broker stop a test
  EXPECT_EQ(problems, QStringList{QStringLiteral("MQTT/RATE: 0")});
}

TEST(Topics, HostIdsAndStopTopicsStayInsideTheirLevel) {
  EXPECT_EQ(telemetryHostId(QStringLiteral("lab-pc.example.org")), QStringLiteral("lab-pc"));
  EXPECT_EQ(telemetryHostId(QStringLiteral("Prüfstand #2")), QStringLiteral("Pr_fstand__2"));
  EXPECT_EQ(telemetryHostId(QString()), QStringLiteral("host"));
  const DeviceTopics t{QStringLiteral("ondrel"), QStringLiteral("lab"), QStringLiteral("COM2")};
  EXPECT_EQ(t.stopChannel(QStringLiteral("ondrel/lab/COM2/1/stop")), 0);
  EXPECT_EQ(t.stopChannel(QStringLiteral("ondrel/lab/COM2/2/stop")), 1);
  EXPECT_EQ(t.stopChannel(QStringLiteral("ondrel/lab/COM2/3/stop")), -1);
  EXPECT_EQ(t.stopChannel(QStringLiteral("ondrel/lab/COM20/1/stop")), -1);
}

// A broker that keeps the connection but answers nothing must not make the client hold every
// message it is given; when it answers again the latest retained state is what it has.
TEST(MqttClientAgainstABroker, AHungBrokerQueuesNoMoreThanTheBoundAndGetsTheLatestState) {
  PrivateBroker broker;
  QString error;
  ASSERT_TRUE(broker.start(&error)) << error.toStdString();
  MqttConnectOptions o;
  o.broker = *parseBrokerUrl(broker.url(), nullptr);
  o.clientId = QStringLiteral("hung-broker-test");
  auto client = makeMosquittoClient(o);
  std::atomic<bool> up{false};
  client->onStatus = [&](bool connected, const QString&) { up = connected; };
  client->start();
  ASSERT_TRUE(waitWhileProcessingEvents([&] { return up.load(); }, 5000));

  broker.pause(true);
  const int topics = 4;
  for (int i = 0; i < 20000; ++i) {
    client->publish(QStringLiteral("t/%1/state").arg(i % topics), QByteArray::number(i), true);
    if (i % 50 == 0)
      client->publish(QStringLiteral("t/event"), QByteArray::number(i), false);
  }
  EXPECT_LE(client->waiting(), MqttClient::kMaxUnacked + topics + MqttClient::kMaxQueuedEvents);

  broker.pause(false);
  Collector seen(broker, QStringLiteral("t/+/state"));
  ASSERT_TRUE(waitWhileProcessingEvents(
      [&] {
        for (int k = 0; k < topics; ++k) {
          const auto on = seen.on(QStringLiteral("t/%1/state").arg(k));
          if (on.isEmpty() || on.last().payload != QByteArray::number(20000 - topics + k))
            return false;
        }
        return true;
      },
      10000));
  EXPECT_TRUE(waitWhileProcessingEvents([&] { return client->waiting() == 0; }, 5000));
  client->stop();
}

} // namespace
