#include "e2e/endtoend.h"

#include "test/ui/frmusb.h"
#include "widgets/curvegraph.h"
#include "widgets/lcdisp.h"

#include <QAbstractButton>
#include <QJsonObject>

#include <map>

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::EndToEnd;

namespace {

class UsbTriggerEndToEnd : public EndToEnd {
protected:
  frmUSB* usb = nullptr;

  // A button of the trigger window pressed as the user does (without running the event loop,
  // which would let the slots' own timers read the ports).
  void press(const char* name) {
    auto* b = usb->findChild<QAbstractButton*>(QLatin1String(name));
    ASSERT_NE(b, nullptr) << name;
    b->click();
  }
  // Byte 7 of every trigger request the device heard since the last look, on channel 0 with
  // operation 7.
  QList<int> requestsHeard(const sim::SimDevice& d) {
    QList<int> out;
    const QList<QJsonObject> all = d.heard();
    for (qsizetype& seen = m_seen[&d]; seen < all.size(); ++seen) {
      const QJsonObject& r = all[seen];
      const QString cmd = r.value("cmd").toString();
      if (cmd != QStringLiteral("quickcharge") && cmd != QStringLiteral("pumpexpress"))
        continue;
      EXPECT_EQ(r.value("channel").toInt(), 0);
      EXPECT_EQ(r.value("op").toInt(), 7);
      out << r.value("hex").toString().split(u' ').value(7).toInt(nullptr, 16);
    }
    return out;
  }
  // The meter's readout reaches `volts` within two seconds of device time.
  bool reads(DeviceSlot& meter, const char* volts) {
    return runUntil([&] { return meter.panel().tVol(0) == QLatin1String(volts); }, 2000);
  }

private:
  std::map<const sim::SimDevice*, qsizetype> m_seen;
};

TEST_F(UsbTriggerEndToEnd, EachRequestReachesTheMeterAndItsUsbSourceFollows) {
  sim::SimDevice& dev = device("2:model=26,fw=320,usb-volts=5");
  start();
  DeviceSlot& meter = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !meter.connecting(); }, 3000));
  ASSERT_TRUE(reads(meter, "5.000"));
  ASSERT_TRUE(window->action(QStringLiteral("menuUsb"))->isVisible());

  window->action(QStringLiteral("menuUsb"))->trigger();
  usb = window->usbWindow();
  ASSERT_NE(usb, nullptr);
  EXPECT_TRUE(meter.graph().YStep());
  EXPECT_EQ(usb->findChild<LCDisp*>(QStringLiteral("lcdVol"))->Value(), QStringLiteral("5.000"));
  run(500);
  EXPECT_TRUE(requestsHeard(dev).isEmpty()); // opening asks for nothing

  // QC2.0: the options and the steps between them.
  const struct {
    const char* button;
    int byte7;
    const char* volts;
  } qc2[] = {{"opt9V", 11, "9.000"},   {"opt12V", 12, "12.00"},   {"opt20V", 13, "20.00"},
             {"opt5V", 10, "5.000"},   {"cmdQCInc", 11, "9.000"}, {"cmdQCInc", 12, "12.00"},
             {"cmdQCDec", 11, "9.000"}};
  for (const auto& r : qc2) {
    SCOPED_TRACE(r.button);
    press(r.button);
    EXPECT_TRUE(reads(meter, r.volts)) << meter.panel().tVol(0).toStdString();
    EXPECT_EQ(requestsHeard(dev), QList<int>{r.byte7});
  }
  usb->Timer1Timer();
  EXPECT_EQ(usb->findChild<LCDisp*>(QStringLiteral("lcdVol"))->Value(), QStringLiteral("9.000"));

  // QC3.0 from 9 V: single steps of the source, then a ramp of three steps up.
  press("optQc3");
  press("cmdQCInc");
  EXPECT_TRUE(reads(meter, "9.200"));
  press("cmdQCDec");
  press("cmdQCDec");
  EXPECT_TRUE(reads(meter, "8.800"));
  EXPECT_EQ(requestsHeard(dev), QList<int>({14, 15, 16, 16}));
  press("optAuto");
  press("cmdQCInc");
  usb->Timer2Timer();
  usb->Timer2Timer();
  press("cmdQCDec"); // stops the ramp
  usb->Timer2Timer();
  EXPECT_TRUE(reads(meter, "9.400"));
  EXPECT_EQ(requestsHeard(dev), QList<int>({15, 15, 15}));

  // Pump express: up to the next level above and back down.
  press("cmdPEInc");
  EXPECT_TRUE(reads(meter, "12.00"));
  press("cmdPEDec");
  EXPECT_TRUE(reads(meter, "9.000"));
  EXPECT_EQ(requestsHeard(dev), QList<int>({21, 20}));
  EXPECT_EQ(dev.logic()->usbVolts(), 9.0);
  EXPECT_TRUE(logText().isEmpty()) << logText().toStdString();
}

TEST_F(UsbTriggerEndToEnd, ARampNeverReachesTheLoadSelectedMeanwhile) {
  sim::SimDevice& meterDev = device("2:model=26,fw=320");
  sim::SimDevice& loadDev = device("3:model=12");
  start(2);
  DeviceSlot& meter = connect(0, QStringLiteral("COM2"));
  DeviceSlot& load = connect(1, QStringLiteral("COM3"));
  ASSERT_TRUE(runUntil([&] { return !meter.connecting() && !load.connecting(); }, 3000));
  load.panel().setTSval(0, QStringLiteral("1.00"));
  load.panel().setTSlmt(0, QStringLiteral("2.50"));
  load.panel().setTStim(0, QStringLiteral("0"));
  emit load.panel().RunClick(0);
  ASSERT_TRUE(runUntil([&] { return load.ch(0).ChnRunning; }, 2000));

  window->selectSlot(0);
  window->action(QStringLiteral("menuUsb"))->trigger();
  usb = window->usbWindow();
  press("optQc3");
  press("optAuto");
  press("cmdQCInc");
  window->selectSlot(1); // the user looks at the running load
  for (int i = 0; i < 3; ++i) {
    usb->Timer2Timer();
    run(500);
  }
  EXPECT_EQ(requestsHeard(meterDev), QList<int>({14, 15, 15, 15, 15}));
  EXPECT_FALSE(commands(loadDev).contains(QStringLiteral("adjust")));
  EXPECT_EQ(requestsHeard(loadDev), QList<int>());
  EXPECT_TRUE(loadDev.logic()->channel(0).running);
  EXPECT_NEAR(load.ch(0).Cur, 1.0, 0.05);
}

} // namespace
