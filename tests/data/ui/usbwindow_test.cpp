#include "data/ui/deviceslot.h"
#include "data/ui/frmmain.h"
#include "link/memoryport.h"
#include "support/deviceslotprobe.h"
#include "support/reportbuilder.h"
#include "support/tempfolder.h"
#include "test/ui/devctrl.h"
#include "test/ui/frmusb.h"
#include "widgets/curvegraph.h"

#include <QAbstractButton>
#include <QAction>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

// A main window with two slots on memory ports 3 and 4, both connected; each test says which
// devices answer.
class UsbWindowInMain : public ::testing::Test {
protected:
  ondrel::testing::TempProgramFolder home{ondrel::testing::TempProgramFolder::Bare};
  MemoryPorts* ports = nullptr;
  std::unique_ptr<frmMain> window;
  QStringList messages;
  QMessageBox::StandardButton answer = QMessageBox::Ok;

  void SetUp() override {
    auto p = std::make_unique<MemoryPorts>();
    ports = p.get();
    ports->line(3);
    ports->line(4);
    window = std::make_unique<frmMain>(std::move(p));
    window->ask = [this](QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons) {
      messages << text;
      return answer;
    };
    window->action(QStringLiteral("menuAddDev"))->trigger();
    for (int i = 0; i < 2; ++i) {
      window->slot(i).panel().setTPort(QStringLiteral("COM%1").arg(i + 3));
      emit window->slot(i).panel().ConnClick();
    }
    ASSERT_TRUE(window->slot(0).portOpen());
    ASSERT_TRUE(window->slot(1).portOpen());
  }

  // The devices' first reports identify them: a load (code 12) runs a test, a USB meter (26)
  // idles.
  void identify(int model0, int model1) {
    const int models[] = {model0, model1};
    for (int i = 0; i < 2; ++i) {
      ondrel::testing::Report r;
      r.model = models[i], r.volt = 5000;
      if (models[i] != 26)
        r.state = 1, r.cur = 100, r.set = 100, r.limit = 300;
      window->slot(i).receive(r.wire());
    }
  }

  // Byte 7 of every frame written to a port since the last look.
  QList<int> heard(int port) {
    QList<int> out;
    for (const QByteArray& f : std::exchange(ports->line(port)->writes, {}))
      out << quint8(f.at(7));
    return out;
  }
  frmUSB* openUsb() {
    window->action(QStringLiteral("menuUsb"))->trigger();
    return window->usbWindow();
  }
  void click(frmUSB* w, const char* name) {
    QTest::mouseClick(w->findChild<QAbstractButton*>(QLatin1String(name)), Qt::LeftButton);
  }
};

TEST_F(UsbWindowInMain, MenuOpensOneWindowForTheSelectedSlotAndClosingClearsTheFlag) {
  identify(26, 26);
  window->selectSlot(1);
  window->slot(1).panel().setTVol(0, QStringLiteral("12.01"));
  DeviceSlotProbe::model(window->slot(1)).at(0).view.voltText = QStringLiteral("12.01");
  EXPECT_FALSE(window->UsbWinOpen());
  QPointer<frmUSB> w = openUsb();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(window->UsbWinOpen());
  EXPECT_TRUE(window->slot(1).graph().YStep());
  EXPECT_FALSE(window->slot(0).graph().YStep());
  EXPECT_EQ(w->trigger().QcLevel(), 2);

  EXPECT_EQ(openUsb(), w.data()); // the open one comes to the front
  w->close();
  EXPECT_FALSE(window->UsbWinOpen());

  // Opened again before the closed one is gone: a new window, for the slot now selected.
  window->selectSlot(0);
  QPointer<frmUSB> again = openUsb();
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, w);
  EXPECT_TRUE(window->UsbWinOpen());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(w.isNull());
  EXPECT_FALSE(again.isNull());
  EXPECT_TRUE(again->isVisible());
  EXPECT_TRUE(window->slot(0).graph().YStep());
}

TEST_F(UsbWindowInMain, RequestsAndTheRampStayWithTheSlotTheWindowWasOpenedFor) {
  identify(26, 26);
  frmUSB* w = openUsb();
  heard(3);
  heard(4);
  click(w, "opt9V");
  click(w, "optQc3");
  click(w, "optAuto");
  click(w, "cmdQCInc");
  EXPECT_EQ(heard(3), QList<int>({11, 14, 15}));

  // The user turns to the other device, which runs a test: the ramp goes on where it began.
  window->selectSlot(1);
  w->Timer2Timer();
  click(w, "cmdPEInc");
  EXPECT_EQ(heard(3), QList<int>({15, 21}));
  EXPECT_TRUE(heard(4).isEmpty());

  // Another slot's disconnect leaves the ramp alone; its own stops it.
  emit window->slot(1).panel().ConnClick();
  EXPECT_TRUE(w->trigger().rampRunning());
  emit window->slot(0).panel().ConnClick();
  EXPECT_FALSE(window->slot(0).portOpen());
  heard(3); // the disconnect command
  EXPECT_FALSE(w->trigger().rampRunning());
  EXPECT_TRUE(w->findChild<QAbstractButton*>(QStringLiteral("optAuto"))->isEnabled());
  w->Timer2Timer();
  click(w, "cmdQCDec"); // with the port closed nothing is sent, nothing logged
  EXPECT_TRUE(heard(3).isEmpty());
  EXPECT_TRUE(home.mainLog().isEmpty()) << home.mainLog().toStdString();
}

// Its requests are set-value frames: sent to a running load they would change its test.
TEST_F(UsbWindowInMain, OnlyAUsbMeterIsDrivenAndTheMenuFollowsTheSelectedSlot) {
  identify(12, 26); // slot 0 holds a load running a test
  heard(3);
  heard(4);
  QAction* menu = window->action(QStringLiteral("menuUsb"));
  window->selectSlot(1);
  EXPECT_TRUE(menu->isVisible());
  window->selectSlot(0);
  EXPECT_FALSE(menu->isVisible());

  // From the load's tab: the connected meter is offered; declined, nothing opens.
  answer = QMessageBox::Cancel;
  EXPECT_EQ(openUsb(), nullptr);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("Device2"))) << messages[0].toStdString();
  EXPECT_EQ(window->SelectedSlot(), 0);

  // Accepted: the window drives the meter, and its caption says so.
  answer = QMessageBox::Ok;
  frmUSB* w = openUsb();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(window->usbWindowSlot(), 1);
  EXPECT_EQ(window->SelectedSlot(), 1);
  EXPECT_TRUE(w->windowTitle().startsWith(QStringLiteral("USB Quick Charge - Device2")))
      << w->windowTitle().toStdString();
  click(w, "opt12V");
  EXPECT_EQ(heard(4), QList<int>({12}));
  EXPECT_TRUE(heard(3).isEmpty());
}

TEST_F(UsbWindowInMain, WithoutAConnectedMeterNothingOpensAndNothingIsSent) {
  identify(12, 26);
  emit window->slot(1).panel().ConnClick(); // the meter goes
  heard(3);
  window->selectSlot(0);
  EXPECT_EQ(openUsb(), nullptr);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("USB meter"))) << messages[0].toStdString();
  EXPECT_FALSE(window->UsbWinOpen());
  EXPECT_TRUE(heard(3).isEmpty());
}

TEST_F(UsbWindowInMain, OpenedFromAnotherMeterTheWindowRebindsToIt) {
  identify(26, 26);
  window->selectSlot(0);
  QPointer<frmUSB> first = openUsb();
  ASSERT_NE(first, nullptr);
  window->selectSlot(1);
  QPointer<frmUSB> second = openUsb();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(window->usbWindowSlot(), 1);
  EXPECT_EQ(window->usbWindow(), second.data());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());
  ASSERT_FALSE(second.isNull());
  heard(3);
  heard(4);
  click(second, "cmdPEInc");
  EXPECT_EQ(heard(4), QList<int>({21}));
  EXPECT_TRUE(heard(3).isEmpty());
  EXPECT_TRUE(window->UsbWinOpen()); // the first window's close did not clear the flag
}

} // namespace
