#include "test/ui/frmusb.h"

#include "support/tempfolder.h"
#include "widgets/lcdisp.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace ondrel;

namespace {

// A slot as the window sees it: two voltage readouts, a chosen channel, and the requests it was
// asked to send, as "channel:byte 7".
struct FakeSlot : UsbTriggerSlot {
  QString volts[2] = {QStringLiteral("5.012"), QStringLiteral("0.000")};
  int channel = 0;
  bool steps = false;
  QStringList sent;
  int panelChannel() const override { return channel; }
  QString voltageText(int c) const override { return volts[c]; }
  void showVoltageSteps() override { steps = true; }
  void RemoteQC(int c, int code) override { sent << QStringLiteral("%1:%2").arg(c).arg(code + 10); }
  void RemotePE(int c, int code) override { sent << QStringLiteral("%1:%2").arg(c).arg(code + 20); }
  QStringList take() { return std::exchange(sent, {}); }
};

class UsbWindow : public ::testing::Test {
protected:
  ondrel::testing::TempProgramFolder home;
  FakeSlot slot;
  QPointer<frmUSB> window;

  void TearDown() override { delete window.data(); }

  frmUSB& open(const char* volts = "5.012") {
    slot.volts[0] = QString::fromLatin1(volts);
    window = new frmUSB(slot);
    window->show();
    return *window;
  }
  template <typename W = QWidget> W* find(const char* name) {
    W* w = window->findChild<W*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void click(const char* name) { QTest::mouseClick(find<QAbstractButton>(name), Qt::LeftButton); }
  bool checked(const char* name) { return find<QRadioButton>(name)->isChecked(); }
  QString checkedLevel() {
    for (const char* n : {"opt5V", "opt9V", "opt12V", "opt20V"})
      if (checked(n))
        return QLatin1String(n);
    return {};
  }
  QString shown() { return find<LCDisp>("lcdVol")->Value(); }
};

TEST_F(UsbWindow, OpensWithTheLevelOfTheShownVoltageAndSendsNothing) {
  const struct {
    const char* volts;
    const char* option;
  } cases[] = {{"5.012", "opt5V"},  {"8.000", "opt5V"},  {"10.00", "opt9V"},
               {"18.00", "opt12V"}, {"18.10", "opt20V"}, {"No Device", "opt5V"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.volts);
    slot.steps = false;
    open(c.volts);
    EXPECT_EQ(checkedLevel(), QLatin1String(c.option));
    EXPECT_TRUE(checked("optQc2"));
    EXPECT_TRUE(checked("optManual"));
    EXPECT_TRUE(slot.steps);
    EXPECT_TRUE(slot.sent.isEmpty()) << slot.sent.join(u' ').toStdString();
    delete window.data();
  }
}

TEST_F(UsbWindow, CaptionsFlagsAndAccessibleNames) {
  open();
  EXPECT_EQ(window->windowTitle(), QStringLiteral("USB Quick Charge"));
  EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(window->testAttribute(Qt::WA_DeleteOnClose));
  EXPECT_FALSE(window->isModal());
  EXPECT_EQ(find<QGroupBox>("frmQC")->title(), QStringLiteral("QC2.0/3.0"));
  EXPECT_EQ(find<QGroupBox>("frmPE")->title(), QStringLiteral("MTK-PE"));
  EXPECT_EQ(find<QLabel>("lblVolt")->text(), QStringLiteral(" V"));
  const std::pair<const char*, const char*> captions[] = {
      {"optQc2", "QC2.0"}, {"optQc3", "QC3.0"}, {"opt5V", "5V"},         {"opt9V", "9V"},
      {"opt12V", "12V"},   {"opt20V", "20V"},   {"optManual", "Manual"}, {"optAuto", "Auto"},
      {"cmdQCInc", "+"},   {"cmdQCDec", "-"},   {"cmdPEInc", "+"},       {"cmdPEDec", "-"}};
  for (const auto& [name, text] : captions) {
    QAbstractButton* b = find<QAbstractButton>(name);
    EXPECT_EQ(b->text(), QLatin1String(text)) << name;
    EXPECT_EQ(QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name),
              QLatin1String(text))
        << name;
  }
  // The two "+" are told apart by their descriptions.
  EXPECT_NE(find("cmdQCInc")->accessibleDescription(), find("cmdPEInc")->accessibleDescription());
  EXPECT_EQ(QAccessible::queryAccessibleInterface(find("lcdVol"))->text(QAccessible::Name),
            QStringLiteral("Voltage"));
}

TEST_F(UsbWindow, EachControlSendsItsRequestToTheChannelShownAtThatMoment) {
  open("9.050");
  click("opt12V");
  click("opt5V");
  click("optQc3");
  click("cmdQCInc");
  click("cmdQCDec");
  click("cmdPEInc");
  slot.channel = 1;
  click("cmdPEDec");
  click("optQc2"); // the level last chosen
  click("opt20V");
  EXPECT_EQ(slot.take(),
            QStringList({"0:12", "0:10", "0:14", "0:15", "0:16", "0:21", "1:20", "1:10", "1:13"}));
}

TEST_F(UsbWindow, Qc2StepsMoveTheOptionWithoutAskingTwiceAndStopAtTheEnds) {
  open("12.00");
  click("cmdQCInc");
  EXPECT_EQ(checkedLevel(), "opt20V");
  click("cmdQCInc"); // at 20 V
  EXPECT_EQ(slot.take(), QStringList{"0:13"});
  click("opt5V");
  click("cmdQCDec"); // at 5 V
  click("cmdQCDec");
  EXPECT_EQ(slot.take(), QStringList{"0:10"});
  EXPECT_EQ(checkedLevel(), "opt5V");
  click("cmdQCInc");
  EXPECT_EQ(slot.take(), QStringList{"0:11"});
  EXPECT_EQ(checkedLevel(), "opt9V");
}

TEST_F(UsbWindow, RampLocksItsOptionsAndEitherButtonOrADisconnectStopsIt) {
  open();
  click("optQc3");
  click("optAuto");
  slot.take();
  const char* stoppers[] = {"cmdQCInc", "cmdQCDec", nullptr};
  for (const char* stop : stoppers) {
    SCOPED_TRACE(stop ? stop : "disconnect");
    click("cmdQCDec");
    EXPECT_TRUE(window->trigger().rampRunning());
    EXPECT_FALSE(find("optAuto")->isEnabled());
    EXPECT_FALSE(find("optManual")->isEnabled());
    window->Timer2Timer();
    window->Timer2Timer();
    EXPECT_EQ(slot.take(), QStringList({"0:16", "0:16", "0:16"}));

    if (stop)
      click(stop);
    else
      window->deviceDisconnected();
    EXPECT_FALSE(window->trigger().rampRunning());
    EXPECT_TRUE(find("optAuto")->isEnabled());
    EXPECT_TRUE(find("optManual")->isEnabled());
    window->Timer2Timer();
    EXPECT_TRUE(slot.take().isEmpty());
  }
  click("optManual");
  click("cmdQCInc");
  EXPECT_FALSE(window->trigger().rampRunning());
  EXPECT_EQ(slot.take(), QStringList{"0:15"});
}

TEST_F(UsbWindow, ReadoutFollowsTheShownChannelAndAnUnshowableTextIsLoggedOnce) {
  open("5.012");
  EXPECT_EQ(shown(), QStringLiteral("5.012"));
  slot.volts[0] = QStringLiteral("9.001");
  EXPECT_EQ(shown(), QStringLiteral("5.012")); // until the timer says so
  window->Timer1Timer();
  EXPECT_EQ(shown(), QStringLiteral("9.001"));
  slot.channel = 1;
  slot.volts[1] = QStringLiteral("1.2345"); // more digits than the readout has
  window->Timer1Timer();
  window->Timer1Timer();
  EXPECT_EQ(shown(), QStringLiteral("9.001"));
  EXPECT_EQ(home.mainLog().count(QStringLiteral("ErrDisp")), 1) << home.mainLog().toStdString();
  slot.volts[1] = QStringLiteral("3.300");
  window->Timer1Timer();
  EXPECT_EQ(shown(), QStringLiteral("3.300"));
}

TEST_F(UsbWindow, ClosingStopsTheRampAndTheReadoutAndUnloadsTheWindow) {
  open();
  click("optQc3");
  click("optAuto");
  click("cmdQCInc");
  QSignalSpy closed(window.data(), &frmUSB::closed);
  const auto timers = window->findChildren<QTimer*>();
  ASSERT_FALSE(timers.isEmpty());
  EXPECT_TRUE(window->close());
  EXPECT_EQ(closed.count(), 1);
  for (QTimer* t : timers)
    EXPECT_FALSE(t->isActive());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window.isNull());
}

} // namespace
