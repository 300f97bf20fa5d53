#include "data/ui/rescalcommands.h"
#include "link/ui/frmadj.h"
#include "support/connectedwindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>

using namespace ondrel;
using namespace ondrel::testing;

namespace {

class CalibrationWindow : public ConnectedWindow {
protected:
  frmAdj* openAdj() {
    ParameterCalibration(*window);
    return window->findChild<frmAdj*>();
  }
  QLineEdit* box(frmAdj* w, const char* name) {
    return w->findChild<QLineEdit*>(QLatin1String(name));
  }
  QPushButton* button(frmAdj* w, const char* name) {
    return w->findChild<QPushButton*>(QLatin1String(name));
  }
  qsizetype writes() { return ports->line(2)->writes.size(); }
  // Bytes 1..4 of the last frame: function, point, value high, value low.
  std::array<int, 4> lastCommand() {
    const QByteArray f = ports->line(2)->writes.value(writes() - 1);
    return {quint8(f[1]), quint8(f[2]), quint8(f[3]), quint8(f[4])};
  }
  QTabBar* tabs() const { return window->findChild<QTabBar*>(QStringLiteral("tabDev")); }
};

TEST_F(CalibrationWindow, VoltagePointWithinTenPercentOfThePanelIsSent) {
  panel().setTVol(0, QStringLiteral("3.28"));
  DeviceSlotProbe::model(slot()).at(0).view.voltText = QStringLiteral("3.28");
  frmAdj* w = openAdj();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(messages, QStringList{QStringLiteral("Calibrate Parameter?")});
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Calibration--Device1"));
  EXPECT_FALSE(tabs()->isEnabled());
  EXPECT_FALSE(panel().ChnEnable());
  EXPECT_FALSE(window->action(QStringLiteral("menuAdj"))->isEnabled());
  feed(idle(model, 3280)); // a report does not re-enable the entry meanwhile
  EXPECT_FALSE(window->action(QStringLiteral("menuAdj"))->isEnabled());
  EXPECT_FALSE(button(w, "cmdOK")->isEnabled());

  const qsizetype before = writes();
  box(w, "txtVL")->setText(QStringLiteral("3.80"));
  w->calibrate(CalibPoint::LowVolt);
  EXPECT_EQ(writes(), before);
  EXPECT_EQ(messages.last(), QStringLiteral("Setting value out of range!"));
  box(w, "txtVL")->setText(QStringLiteral("3.300"));
  w->calibrate(CalibPoint::LowVolt);
  EXPECT_EQ(lastCommand(), (std::array<int, 4>{4, 0, 13, 180})); // 3300 = 13 x 240 + 180
  EXPECT_TRUE(button(w, "cmdOK")->isEnabled());

  w->cmdOK_Click();
  EXPECT_EQ(lastCommand(), (std::array<int, 4>{4, 4, 0, 0}));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(window->findChild<frmAdj*>(), nullptr);
  EXPECT_TRUE(tabs()->isEnabled());
  EXPECT_TRUE(panel().ChnEnable());
  feed(idle(model, 3280));
  EXPECT_TRUE(window->action(QStringLiteral("menuAdj"))->isEnabled());
}

TEST_F(CalibrationWindow, CancelSendsNothingAndResetSendsAtOnce) {
  frmAdj* w = openAdj();
  ASSERT_NE(w, nullptr);
  const qsizetype before = writes();
  w->cmdReset_Click();
  EXPECT_EQ(writes(), before + 1);
  EXPECT_EQ(lastCommand(), (std::array<int, 4>{4, 5, 0, 0}));
  EXPECT_TRUE(button(w, "cmdOK")->isEnabled());
  w->cmdCancel_Click();
  EXPECT_EQ(writes(), before + 1);
  EXPECT_TRUE(tabs()->isEnabled());
}

// The buttons follow the run state of the calibrated slot only.
TEST_F(CalibrationWindow, ButtonsFollowTheCalibratedSlotsRunState) {
  trigger("menuAddDev");
  frmAdj* w = openAdj();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(button(w, "cmdVL")->isEnabled());
  EXPECT_FALSE(button(w, "cmdCL")->isEnabled());
  feed(running(model, 3700, 100));
  EXPECT_FALSE(button(w, "cmdVH")->isEnabled());
  EXPECT_TRUE(button(w, "cmdCH")->isEnabled());
  emit window->slot(1).calibButtonsDue(true); // another slot's idle report
  EXPECT_FALSE(button(w, "cmdVH")->isEnabled());
  feed(idle(model, 3700));
  EXPECT_TRUE(button(w, "cmdVH")->isEnabled());
  EXPECT_FALSE(button(w, "cmdCH")->isEnabled());
  w->close();
}

TEST_F(CalibrationWindow, CurrentScaleOfATenfoldModel) {
  open(7); // CurDiv 100, calibration currents in mA
  feed(running(model, 3700, 100));
  panel().setTCur(0, QStringLiteral("1.00"));
  DeviceSlotProbe::model(slot()).at(0).view.curText = QStringLiteral("1.00");
  frmAdj* w = openAdj();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(box(w, "txtCL")->text(), QStringLiteral("0.000"));
  EXPECT_EQ(box(w, "txtVL")->text(), QStringLiteral("0.000"));
  box(w, "txtCH")->setText(QStringLiteral("1.000"));
  w->calibrate(CalibPoint::HighCurr);
  EXPECT_EQ(lastCommand(), (std::array<int, 4>{4, 3, 4, 40})); // 1000 = 4 x 240 + 40
  w->close();
}

} // namespace
