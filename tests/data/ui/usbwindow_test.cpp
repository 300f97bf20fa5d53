#include "data/ui/deviceslot.h"
#include "data/ui/frmmain.h"
#include "link/memoryport.h"
#include "support/deviceslotprobe.h"
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

// A main window with two slots on memory ports 3 and 4, both connected.
class UsbWindowInMain : public ::testing::Test {
protected:
  ondrel::testing::TempProgramFolder home{ondrel::testing::TempProgramFolder::Bare};
  MemoryPorts* ports = nullptr;
  std::unique_ptr<frmMain> window;

  void SetUp() override {
    auto p = std::make_unique<MemoryPorts>();
    ports = p.get();
    ports->line(3);
    ports->line(4);
    window = std::make_unique<frmMain>(std::move(p));
    window->ask = [](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) {
      return QMessageBox::Ok;
    };
    window->action(QStringLiteral("menuAddDev"))->trigger();
    for (int i = 0; i < 2; ++i) {
      window->slot(i).panel().setTPort(QStringLiteral("COM%1").arg(i + 3));
      emit window->slot(i).panel().ConnClick();
    }
    ASSERT_TRUE(window->slot(0).portOpen());
    ASSERT_TRUE(window->slot(1).portOpen());
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

} // namespace
