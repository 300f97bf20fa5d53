#include "data/ui/frmmain.h"

#include "data/ui/deviceslot.h"
#include "link/memoryport.h"
#include "link/ui/frmupdate.h"
#include "support/tempfolder.h"
#include "test/ui/devctrl.h"

#include <QAction>
#include <QTabBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace ondrel;

TEST(frmMain, CaptionCarriesTheVersion) {
  ondrel::testing::TempProgramFolder home;
  frmMain window;
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Ondrel Tester Software V1.0.0"));
  EXPECT_EQ(window.objectName(), QStringLiteral("frmMain"));
}

namespace {

// A main window of two slots on memory ports, its messages answered by the test.
struct TwoSlots {
  ondrel::testing::TempProgramFolder home{ondrel::testing::TempProgramFolder::Bare};
  MemoryPorts* ports = nullptr;
  std::unique_ptr<frmMain> window;
  QStringList messages;

  TwoSlots() {
    auto p = std::make_unique<MemoryPorts>();
    ports = p.get();
    for (int n : {2, 3})
      ports->line(n);
    window = std::make_unique<frmMain>(std::move(p));
    window->ask = [this](QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons) {
      messages << text;
      return QMessageBox::Ok;
    };
    window->action(QStringLiteral("menuAddDev"))->trigger();
  }
  QAction* menuUpdate() const { return window->action(QStringLiteral("menuUpdate")); }
  void connect(int slot, const char* port) {
    window->slot(slot).panel().setTPort(QLatin1String(port));
    emit window->slot(slot).panel().ConnClick();
  }
};

// The update opens its own port object on the selected slot's port, which a connected slot holds.
TEST(frmMain, FirmwareUpdateIsOfferedWhileTheSelectedSlotIsDisconnected) {
  TwoSlots t;
  EXPECT_TRUE(t.menuUpdate()->isEnabled());
  t.connect(0, "COM2");
  EXPECT_FALSE(t.menuUpdate()->isEnabled());
  t.window->selectSlot(1);
  EXPECT_TRUE(t.menuUpdate()->isEnabled());
  t.connect(1, "COM3");
  EXPECT_FALSE(t.menuUpdate()->isEnabled());
  t.window->selectSlot(0);
  emit t.window->slot(1).panel().ConnClick(); // slot 1 lets go, slot 0 still holds its port
  EXPECT_FALSE(t.menuUpdate()->isEnabled());
  emit t.window->slot(0).panel().ConnClick();
  EXPECT_TRUE(t.menuUpdate()->isEnabled());
  EXPECT_TRUE(t.messages.isEmpty()) << t.messages.join(u'\n').toStdString();
}

TEST(frmMain, FirmwareUpdateWindowKeepsTheSlotTabsDisabledUntilItCloses) {
  TwoSlots t;
  t.window->selectSlot(1);
  auto* tabs = t.window->findChild<QTabBar*>(QStringLiteral("tabDev"));
  ASSERT_NE(tabs, nullptr);
  QString caption;
  bool tabsWhileOpen = true, menuWhileOpen = true;
  int opened = 0;
  // Runs inside the main window's wait: looks, tries a second window, then closes this one.
  QTimer::singleShot(0, t.window.get(), [&] {
    auto* w = t.window->findChild<frmUpdate*>();
    ASSERT_NE(w, nullptr);
    ++opened;
    caption = w->windowTitle();
    tabsWhileOpen = tabs->isEnabled();
    menuWhileOpen = t.menuUpdate()->isEnabled();
    t.window->FirmwareUpdate(); // one window at a time
    w->close();
  });
  t.menuUpdate()->trigger();
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(caption, QStringLiteral("Firmware Update--Device2"));
  EXPECT_FALSE(tabsWhileOpen);
  EXPECT_FALSE(menuWhileOpen);
  EXPECT_TRUE(tabs->isEnabled());
  EXPECT_TRUE(t.menuUpdate()->isEnabled());
  EXPECT_EQ(t.window->findChild<frmUpdate*>(), nullptr);
  EXPECT_EQ(t.window->SelectedSlot(), 1);
}

} // namespace
