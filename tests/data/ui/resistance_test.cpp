#include "data/ui/rescalcommands.h"
#include "support/connectedwindow.h"
#include "test/ui/frmres.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>

using namespace ondrel;
using namespace ondrel::testing;

namespace {

// A connected window whose resistance window is driven by a script while the command waits.
class ResistanceWindow : public ConnectedWindow {
protected:
  // Opens the window for the selected slot, runs `script` inside the command's wait and closes
  // the window afterwards; answers whether a window opened.
  bool run(const std::function<void(frmRes&)>& script) {
    bool opened = false;
    QTimer::singleShot(0, window.get(), [&] {
      auto* w = window->findChild<frmRes*>();
      if (!w)
        return;
      opened = true;
      tabsWhileOpen = tabs()->isEnabled();
      script(*w);
      w->close();
    });
    ResistanceTest(*window);
    return opened;
  }
  QTabBar* tabs() const { return window->findChild<QTabBar*>(QStringLiteral("tabDev")); }
  static QLineEdit* box(frmRes& w, const char* name) {
    return w.findChild<QLineEdit*>(QLatin1String(name));
  }
  static QPushButton* testButton(frmRes& w) {
    return w.findChild<QPushButton*>(QStringLiteral("cmdTest"));
  }
  // Bytes 1..3 of the last frame written to the slot's port: function, current high, low.
  std::array<int, 3> lastCommand() {
    const QByteArray f = ports->line(2)->writes.value(ports->line(2)->writes.size() - 1);
    if (f.size() < 4)
      return {-1, -1, -1};
    return {quint8(f[1]), quint8(f[2]), quint8(f[3])};
  }
  qsizetype writes() { return ports->line(2)->writes.size(); }
  // An idle report carrying a drop of `mV` in its capacity field.
  void reportDrop(int mV, int c = 0) {
    Report r = idle(model, 3700, c);
    r.cap = mV;
    feed(r);
  }

  bool tabsWhileOpen = true;
};

TEST_F(ResistanceWindow, MeasuresDropOverCurrentInMilliohms) {
  feed(idle(model, 3700));
  QString caption, result;
  std::array<int, 3> sent{};
  bool buttonWhileWaiting = true;
  EXPECT_TRUE(run([&](frmRes& w) {
    caption = w.windowTitle();
    EXPECT_EQ(box(w, "txtCap")->text(), QStringLiteral("1000"));
    EXPECT_TRUE(box(w, "txtRes")->isReadOnly());
    w.cmdTest_Click();
    sent = lastCommand();
    buttonWhileWaiting = testButton(w)->isEnabled();
    w.Timer1_Timer();
    reportDrop(50);
    w.Timer1_Timer();
    result = box(w, "txtRes")->text();
    EXPECT_TRUE(testButton(w)->isEnabled());
  }));
  EXPECT_EQ(caption, QStringLiteral("Resistance Test-Device1"));
  // Model 12 counts currents in 10 mA: 1000 mA travels as 100.
  EXPECT_EQ(sent, (std::array<int, 3>{9, 0, 100}));
  EXPECT_FALSE(buttonWhileWaiting);
  EXPECT_EQ(result, QStringLiteral("50.0"));
  EXPECT_FALSE(tabsWhileOpen);
  EXPECT_TRUE(tabs()->isEnabled());
  EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
}

TEST_F(ResistanceWindow, CappedCurrentIsSentAndDividesTheDrop) {
  feed(idle(model, 3700));
  DeviceSlotProbe::params(slot()).MaxCurrent = 0.5f;
  QString result;
  std::array<int, 3> sent{};
  run([&](frmRes& w) {
    w.cmdTest_Click();
    sent = lastCommand();
    reportDrop(50);
    w.Timer1_Timer();
    result = box(w, "txtRes")->text();
  });
  EXPECT_EQ(sent, (std::array<int, 3>{9, 0, 50})); // 500 mA in 10 mA units
  EXPECT_EQ(result, QStringLiteral("100.0"));      // 0.050 V / 500 mA
}

// The drop is the answer only when it comes from the tested channel while the window waits: an
// earlier report, another slot's or another channel's is not this test's result.
TEST_F(ResistanceWindow, TakesTheDropOnlyFromItsChannelWhileWaiting) {
  open(17); // two channels
  feed(idle(model, 3700));
  feed(idle(model, 3700, 1));
  QString caption, result = QStringLiteral("unchanged");
  bool enabledAfter = false;
  run([&](frmRes& w) {
    caption = w.windowTitle();
    box(w, "txtRes")->setText(QStringLiteral("unchanged"));
    reportDrop(40); // before the test
    w.cmdTest_Click();
    reportDrop(60, 1); // the other channel
    emit slot().resistanceDropSeen(1, 0.07f);
    for (int i = 0; i < 4; ++i)
      w.Timer1_Timer();
    result = box(w, "txtRes")->text();
    enabledAfter = testButton(w)->isEnabled();
  });
  EXPECT_EQ(caption, QStringLiteral("Resistance Test-Device1-Channel1"));
  // Four seconds without an answer: the result stays, the button is back.
  EXPECT_EQ(result, QStringLiteral("unchanged"));
  EXPECT_TRUE(enabledAfter);
  EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
}

TEST_F(ResistanceWindow, RefusesToOpenWithoutASingleCell) {
  feed(idle(model, 4600));
  EXPECT_FALSE(run([](frmRes&) {}));
  EXPECT_EQ(messages, QStringList{QStringLiteral("Resistance test only support single battery")});
  EXPECT_TRUE(tabs()->isEnabled());
}

TEST_F(ResistanceWindow, TestButtonChecks) {
  feed(idle(model, 3700));
  const qsizetype before = writes();
  run([&](frmRes& w) {
    box(w, "txtCap")->setText(QStringLiteral("199"));
    w.txtCap_Leave();
    EXPECT_EQ(box(w, "txtCap")->text(), QStringLiteral("199")); // kept for the user to mend
    w.cmdTest_Click();                                          // and not sent
    for (const char* ok : {"200", "30000"}) {
      box(w, "txtCap")->setText(QLatin1String(ok));
      w.txtCap_Leave();
    }
    box(w, "txtCap")->setText(QStringLiteral("1000"));
    channel(0).ChnRunning = true;
    w.cmdTest_Click();
    channel(0).ChnRunning = false;
    EXPECT_TRUE(testButton(w)->isEnabled());
  });
  EXPECT_EQ(writes(), before);
  EXPECT_EQ(messages, (QStringList{QStringLiteral("Setting value out of range!"),
                                   QStringLiteral("Setting value out of range!"),
                                   QStringLiteral("Please stop other test first")}));
}

// A device whose maximum is below the lowest test current: the window says so at once, sends
// nothing and does not wait.
TEST_F(ResistanceWindow, AMaximumBelowTheLowestTestCurrentIsSaidNotWaitedFor) {
  feed(idle(model, 3700));
  DeviceSlotProbe::params(slot()).MaxCurrent = 0.15f;
  const qsizetype before = writes();
  bool waiting = true, enabled = false;
  run([&](frmRes& w) {
    w.cmdTest_Click();
    waiting = w.waiting();
    enabled = testButton(w)->isEnabled();
  });
  EXPECT_EQ(writes(), before);
  EXPECT_FALSE(waiting);
  EXPECT_TRUE(enabled);
  EXPECT_EQ(messages, QStringList{QStringLiteral("The device's maximum current (150 mA) is below "
                                                 "the lowest test current (200 mA).")});
}

// A current the box refuses stays in it, and the box takes the focus back to have it mended.
TEST_F(ResistanceWindow, ARefusedCurrentKeepsItsTextAndTheFocus) {
  feed(idle(model, 3700));
  run([&](frmRes& w) {
    QApplication::setActiveWindow(&w);
    const struct {
      const char *typed, *message;
    } cases[] = {{"199", "Setting value out of range!"},
                 {"30001", "Setting value out of range!"},
                 {"1k", "Invalid value!"}};
    for (const auto& c : cases) {
      testButton(w)->setFocus(); // leaving the box with the last case's text asks again
      box(w, "txtCap")->setText(QLatin1String(c.typed));
      messages.clear();
      w.txtCap_Leave();
      EXPECT_EQ(messages, QStringList{QLatin1String(c.message)}) << c.typed;
      EXPECT_EQ(box(w, "txtCap")->text(), QLatin1String(c.typed));
      EXPECT_TRUE(box(w, "txtCap")->hasFocus()) << c.typed;
    }
  });
}

} // namespace
