#include "test/ui/devctrl.h"

#include "link/comm.h"
#include "link/memoryport.h"
#include "test/ui/panelparts.h"
#include "widgets/colour.h"
#include "widgets/componenterror.h"
#include "widgets/lcdisp.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

using namespace ondrel;

namespace {

// A shown panel with every event written down as "Name" or "Name:chn", in order.
class Panel : public ::testing::Test {
protected:
  void SetUp() override {
    panel = std::make_unique<DevCtrl>();
    record();
    panel->TabAdd(1, "key1");
    panel->TabAdd(2, "key2");
    panel->TabAdd(3, "key3");
    panel->show();
    QApplication::setActiveWindow(panel.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
  }

  template <typename W = QWidget> W* find(const QString& name) {
    W* w = panel->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }

  void showPage(int tab) {
    QTabBar* bar = find<QTabBar>("tabDev");
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
  }

  void click(const QString& name) { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }

  // Types into a box and moves on to a control that is no box, as a user does.
  void leave(QLineEdit* box) {
    box->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(box->hasFocus());
    QTest::keyClicks(box, "1.5");
    find("tabDev")->setFocus(Qt::TabFocusReason);
  }

  std::unique_ptr<DevCtrl> panel;
  QStringList events;

private:
  void record() {
    auto plain = [this](const char* name) { return [this, name] { events << name; }; };
    auto chn = [this](const char* name) {
      return [this, name](int c) { events << QStringLiteral("%1:%2").arg(name).arg(c); };
    };
    DevCtrl* p = panel.get();
    connect(p, &DevCtrl::ConnClick, plain("ConnClick"));
    connect(p, &DevCtrl::ModeClick, plain("ModeClick"));
    connect(p, &DevCtrl::ContClick, chn("ContClick"));
    connect(p, &DevCtrl::MonitorClick, chn("MonitorClick"));
    connect(p, &DevCtrl::SetClick, chn("SetClick"));
    connect(p, &DevCtrl::RunClick, chn("RunClick"));
    connect(p, &DevCtrl::StopClick, chn("StopClick"));
    connect(p, &DevCtrl::SvalChange, chn("SvalChange"));
    connect(p, &DevCtrl::SlmtChange, chn("SlmtChange"));
    connect(p, &DevCtrl::StimChange, chn("StimChange"));
    connect(p, &DevCtrl::VolAutoChange, plain("VolAutoChange"));
    connect(p, &DevCtrl::CurveTimer, chn("CurveTimer"));
    connect(p, &DevCtrl::ShowTimer, chn("ShowTimer"));
    connect(p, &DevCtrl::StartAutoClick, plain("StartAutoClick"));
    connect(p, &DevCtrl::StartStepClick, plain("StartStepClick"));
    connect(p, &DevCtrl::SetStepClick, plain("SetStepClick"));
    connect(p, &DevCtrl::SaveStepClick, plain("SaveStepClick"));
    connect(p, &DevCtrl::ClearStepClick, plain("ClearStepClick"));
    connect(p, &DevCtrl::OpenStepClick, plain("OpenStepClick"));
    connect(p, &DevCtrl::SaveClick, plain("SaveClick"));
    connect(p, &DevCtrl::StepTimer, plain("StepTimer"));
    connect(p, &DevCtrl::AutoTimer, plain("AutoTimer"));
    connect(p, &DevCtrl::AutoRunDblClick, plain("AutoRunDblClick"));
  }

  template <typename F, typename Slot> void connect(DevCtrl* p, F signal, Slot slot) {
    QObject::connect(p, signal, p, slot);
  }
};

const char* const kChannelButtons[][2] = {{"cmdRun", "RunClick"},
                                          {"cmdStop", "StopClick"},
                                          {"cmdCont", "ContClick"},
                                          {"cmdSet", "SetClick"},
                                          {"cmdMonitor", "MonitorClick"}};

} // namespace

TEST_F(Panel, TabCaptionsFollowIndexAndKeyAndTestFollowsTheKey) {
  panel->TabClear();
  panel->TabAdd(1, "key1");
  panel->TabAdd(2, "key3");
  QTabBar* bar = find<QTabBar>("tabDev");
  ASSERT_EQ(bar->count(), 2);
  EXPECT_EQ(bar->tabText(0), "Single Test");
  EXPECT_EQ(bar->tabText(1), "Cycle Test");
  EXPECT_EQ(panel->Test(), 1);
  showPage(1);
  EXPECT_EQ(panel->Test(), 3);
  EXPECT_TRUE(find("frmDev(2)")->isVisible());
  EXPECT_FALSE(find("frmDev(0)")->isVisible());

  struct Case {
    int index;
    const char* key;
    const char* caption;
  };
  for (const Case& c :
       {Case{1, "key1", "Single Test"}, Case{2, "key2", "Auto Test"}, Case{3, "key3", "Cycle Test"},
        Case{3, "key2", "Cycle Test"}, Case{1, "key2", "Single Test"}}) {
    panel->TabClear();
    panel->TabAdd(c.index, c.key);
    EXPECT_EQ(bar->tabText(0), c.caption) << c.index << c.key;
  }
}

TEST_F(Panel, EachTabKeyBringsItsPageToTheFront) {
  const char* pages[] = {"frmCtrlAuto", "gridStepSet", "frmCom"};
  const int tests[] = {2, 3, 1};
  for (int i = 0; i < 3; ++i) {
    showPage((i + 1) % 3);
    EXPECT_EQ(panel->Test(), tests[i]);
    EXPECT_TRUE(find(pages[i])->isVisible()) << pages[i];
  }
  // Emptying the strip and adding the first tab again shows the single-test page.
  showPage(2);
  panel->TabClear();
  panel->TabAdd(1, "key1");
  EXPECT_TRUE(find("frmCom")->isVisible());
}

TEST_F(Panel, OneChannelButtonsRaiseTheirEventForChannelZero) {
  for (const auto& [button, event] : kChannelButtons) {
    events.clear();
    click(button);
    EXPECT_EQ(events, QStringList{QString(event) + ":0"}) << button;
  }
}

TEST_F(Panel, TwoChannelButtonsFollowTheChannelSelector) {
  panel->setDev2S(true);
  for (const auto& [option, expected] : {std::pair{"optChn0", "0"}, std::pair{"optChn1", "1"}}) {
    QTest::mouseClick(find<QRadioButton>(option), Qt::LeftButton);
    for (const auto& [button, event] : kChannelButtons) {
      events.clear();
      click(QString(button) + "2S");
      EXPECT_EQ(events, QStringList{QString(event) + ":" + expected}) << button << option;
    }
  }
}

TEST_F(Panel, AllChannelRaisesChannelZeroThenLetsPendingEventsRunThenChannelOne) {
  panel->setDev2S(true);
  QTest::mouseClick(find<QRadioButton>("optChn2"), Qt::LeftButton);
  ASSERT_TRUE(panel->AllChn());
  // Something that channel 0's handler queues has run before channel 1 is raised.
  const auto queue = QObject::connect(panel.get(), &DevCtrl::RunClick, panel.get(), [this](int c) {
    if (c == 0)
      QTimer::singleShot(0, panel.get(), [this] { events << "queued"; });
  });
  click("cmdRun2S");
  EXPECT_EQ(events, (QStringList{"RunClick:0", "queued", "RunClick:1"}));
  QObject::disconnect(queue);

  for (const auto& [button, event] : kChannelButtons) {
    events.clear();
    click(QString(button) + "2S");
    EXPECT_EQ(events, (QStringList{QString(event) + ":0", QString(event) + ":1"})) << button;
  }
}

TEST_F(Panel, PanelClosedByChannelZerosHandlerRaisesNothingMore) {
  panel->setDev2S(true);
  QTest::mouseClick(find<QRadioButton>("optChn2"), Qt::LeftButton);
  QPointer<QPushButton> stop = find<QPushButton>("cmdStop2S");
  QObject::connect(panel.get(), &DevCtrl::StopClick, panel.get(), [this](int c) {
    if (c == 0)
      QTimer::singleShot(0, qApp, [this] { panel.reset(); });
  });
  stop->click();
  EXPECT_EQ(panel, nullptr);
  EXPECT_EQ(events, QStringList{"StopClick:0"});
}

TEST_F(Panel, ButtonsWithoutChannelRaiseTheirEvents) {
  struct Case {
    int tab; // -1: the page does not matter
    const char* button;
    const char* event;
  };
  for (const Case& c :
       {Case{0, "cmdConn", "ConnClick"}, Case{1, "cmdStartAuto", "StartAutoClick"},
        Case{1, "cmdSave", "SaveClick"}, Case{2, "cmdStartStep", "StartStepClick"},
        Case{2, "cmdClearStep", "ClearStepClick"}, Case{2, "cmdSetStep", "SetStepClick"},
        Case{2, "cmdSaveStep", "SaveStepClick"}, Case{2, "cmdOpenStep", "OpenStepClick"}}) {
    showPage(c.tab);
    events.clear();
    click(c.button);
    EXPECT_EQ(events, QStringList{c.event}) << c.button;
  }
  showPage(1);
  events.clear();
  auto* grid = find<PanelGrid>("gridAutoRun");
  QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(events.contains("AutoRunDblClick"));
}

TEST_F(Panel, BoxesRaiseTheirChangeEventWhenTheUserLeavesThem) {
  leave(find<QLineEdit>("txtSval"));
  leave(find<QLineEdit>("txtSlmt"));
  leave(find<QLineEdit>("txtStim"));
  EXPECT_EQ(events, (QStringList{"SvalChange:0", "SlmtChange:0", "StimChange:0"}));

  panel->setDev2S(true);
  events.clear();
  leave(find<QLineEdit>("txtSval2S(1)"));
  leave(find<QLineEdit>("txtSlmt2S(0)"));
  leave(find<QLineEdit>("txtStim2S(1)"));
  EXPECT_EQ(events, (QStringList{"SvalChange:1", "SlmtChange:0", "StimChange:1"}));

  showPage(1);
  events.clear();
  leave(find<QLineEdit>("txtVolAuto"));
  EXPECT_EQ(events, QStringList{"VolAutoChange"});
}

TEST_F(Panel, TheCheckOfABoxRunsBeforeTheButtonThatTookTheFocus) {
  auto* box = find<QLineEdit>("txtSval");
  box->setFocus(Qt::MouseFocusReason);
  QTest::keyClicks(box, "2");
  click("cmdRun");
  EXPECT_EQ(events, (QStringList{"SvalChange:0", "RunClick:0"}));
}

// A check that shows a message box on leaving would otherwise run again for its own box.
TEST_F(Panel, AnotherWindowTakingTheFocusIsNotLeavingTheBox) {
  auto* box = find<QLineEdit>("txtSval");
  box->setFocus(Qt::MouseFocusReason);
  for (Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
    QFocusEvent out(QEvent::FocusOut, reason);
    QApplication::sendEvent(box, &out);
  }
  EXPECT_TRUE(events.isEmpty());
}

TEST_F(Panel, PickingAModeRaisesModeClickButSettingItDoesNot) {
  panel->ModeAdd("D-CC");
  panel->ModeAdd("D-CP");
  panel->setTMode("D-CC");
  EXPECT_TRUE(events.isEmpty());
  auto* list = find<QComboBox>("cmbMode");
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(events, QStringList{"ModeClick"});
  EXPECT_EQ(panel->tMode(), "D-CP");
  EXPECT_EQ(panel->ModeIdx(), 1);
}

TEST_F(Panel, Dev2SShowsTheFramesOfItsLayout) {
  for (bool two : {true, false, true}) {
    panel->setDev2S(two);
    EXPECT_EQ(panel->Dev2S(), two);
    EXPECT_EQ(find("frmRun2S")->isVisible(), two);
    EXPECT_EQ(find("frmCtrl2S")->isVisible(), two);
    EXPECT_EQ(find("frmRun")->isVisible(), !two);
    EXPECT_EQ(find("frmCtrl")->isVisible(), !two);
    EXPECT_TRUE(find("frmCom")->isVisible());
  }
}

TEST_F(Panel, ModeListMethodsActOnTheCurrentLayoutsList) {
  panel->ModeAdd("D-CC");
  panel->setDev2S(true);
  panel->ModeClr();
  for (const char* m : {"D-CC", "D-CP", "C-CV"})
    panel->ModeAdd(m);
  panel->setTMode("D-CP");
  EXPECT_EQ(find<QComboBox>("cmbMode2S")->count(), 3);
  EXPECT_EQ(find<QComboBox>("cmbMode")->count(), 1);
  EXPECT_EQ(panel->ModeCnt(), 3);
  EXPECT_EQ(panel->ModeTxt(2), "C-CV");
  EXPECT_EQ(panel->ModeIdx(), 1);
  EXPECT_EQ(panel->tMode(), "D-CP");
  EXPECT_THROW(panel->ModeTxt(3), ComponentError);

  panel->setDev2S(false);
  EXPECT_EQ(panel->ModeCnt(), 1);
  EXPECT_EQ(panel->tMode(), "D-CC");
  panel->setModeEnable(false);
  EXPECT_FALSE(find("cmbMode")->isEnabled());
  EXPECT_TRUE(find("cmbMode2S")->isEnabled());
}

// Before a model is known the mode list shows a text that is none of its entries.
TEST_F(Panel, ModeTextOutsideTheListIsShownAndReadBack) {
  panel->ModeClr();
  panel->setTMode("No Device");
  EXPECT_EQ(panel->tMode(), "No Device");
  EXPECT_EQ(panel->ModeIdx(), -1);
  panel->ModeAdd("No Device");
  panel->setTMode("No Device");
  EXPECT_EQ(panel->ModeIdx(), 0);
  EXPECT_EQ(panel->tMode(), "No Device");
}

TEST_F(Panel, ChannelPropertiesUseThePlainControlOrTheChannelsOwn) {
  panel->setTSval(1, "1.25"); // one-channel layout: the plain box whatever the channel
  EXPECT_EQ(find<QLineEdit>("txtSval")->text(), "1.25");
  panel->setLSlmt(0, "Cells:");
  EXPECT_EQ(find<QLabel>("lblSlmt")->text(), "Cells:");
  panel->setDev2S(true);
  panel->setTSval(1, "2.50");
  panel->setLStimt(0, "mA");
  panel->setSlmtEnable(1, false);
  panel->setTVol(1, "12.34");
  EXPECT_EQ(find<QLineEdit>("txtSval2S(1)")->text(), "2.50");
  EXPECT_EQ(find<QLineEdit>("txtSval2S(0)")->text(), "");
  EXPECT_EQ(find<QLabel>("lblStim2St(0)")->text(), "mA");
  EXPECT_FALSE(find("txtSlmt2S(1)")->isEnabled());
  EXPECT_TRUE(find("txtSlmt")->isEnabled());
  EXPECT_EQ(find<QLineEdit>("txtVol2S(1)")->text(), "12.34");
  EXPECT_EQ(panel->tVol(1), "12.34");
  EXPECT_EQ(panel->tVol(0), "00.00");
  EXPECT_EQ(find<LCDisp>("lcdVol")->Value(), "00.00");
  EXPECT_THROW(panel->tSval(2), ComponentError);
  EXPECT_THROW(panel->setTVol(-1, "1"), ComponentError);
}

TEST_F(Panel, TimeRoundTripsThroughTheSevenSegmentReadout) {
  panel->setTTime(0, "01:02:03");
  auto* lcd = find<LCDisp>("lcdTime");
  EXPECT_EQ(lcd->Value(), "01:02E+03");
  EXPECT_EQ(lcd->shownText(), "01:02:03");
  EXPECT_EQ(panel->tTime(0), "01:02:03");
  // Hours are not wrapped; the text keeps every digit even where the readout shows only four.
  panel->setTTime(0, "100:00:07");
  EXPECT_EQ(panel->tTime(0), "100:00:07");

  panel->setDev2S(true);
  panel->setTTime(1, "00:00:09");
  EXPECT_EQ(find<QLineEdit>("txtTime2S(1)")->text(), "00:00:09");
  EXPECT_EQ(panel->tTime(1), "00:00:09");
  EXPECT_EQ(panel->tTime(0), "00:00:00");
}

TEST_F(Panel, AReadoutTextTheDisplayCannotShowIsNotShown) {
  panel->setTVol(0, "12.34");
  panel->setTVol(0, "1:2345");
  EXPECT_EQ(panel->tVol(0), "12.34");
}

TEST_F(Panel, AutoListGrowsPastItsTenthRowAndNumbersTheRowsItWrites) {
  EXPECT_EQ(panel->AutoRunCnt(), 11);
  panel->setTAutoList(1, "0.10");
  EXPECT_EQ(panel->tAutoRun(1, 0), "1");
  EXPECT_EQ(panel->tAutoList(1), "0.10");
  for (int i = 0; i < 9; ++i)
    panel->AutoListAdd();
  EXPECT_EQ(panel->AutoRunCnt(), 11);
  panel->setTAutoList(2, "4.00");
  EXPECT_EQ(panel->tAutoRun(10, 0), "10");
  EXPECT_EQ(panel->tAutoRun(10, 2), "4.00");
  panel->AutoListAdd();
  EXPECT_EQ(panel->AutoRunCnt(), 12);
  panel->setTAutoList(3, "1.1");
  EXPECT_EQ(panel->tAutoRun(11, 0), "11");
  EXPECT_EQ(panel->tAutoRun(0, 1), "Curr(A)");
  EXPECT_THROW(panel->tAutoRun(12, 0), ComponentError);

  panel->AutoListClr();
  EXPECT_EQ(panel->AutoRunCnt(), 11);
  EXPECT_EQ(panel->tAutoRun(1, 0), "");
  EXPECT_EQ(panel->tAutoRun(0, 3), "Pwr(W)");
  panel->setTAutoList(1, "x");
  EXPECT_EQ(panel->tAutoRun(1, 0), "1");
}

TEST_F(Panel, StepListGrowsPastItsSixthRow) {
  EXPECT_EQ(panel->StepListCnt(), 9);
  for (int i = 0; i < 5; ++i)
    panel->StepListAdd();
  EXPECT_EQ(panel->StepListCnt(), 9);
  panel->StepListAdd();
  EXPECT_EQ(panel->StepListCnt(), 10);
  panel->setTStepList(2, "1.234");
  auto* grid = find<PanelGrid>("gridStepRun");
  EXPECT_EQ(grid->text(7, 2), "1.234");
  panel->StepListClr();
  EXPECT_EQ(panel->StepListCnt(), 9);
  EXPECT_EQ(grid->text(7, 2), "");
}

TEST_F(Panel, GridsHaveTheirHeadingsWidthsAndNumbers) {
  auto* run = find<PanelGrid>("gridStepRun");
  const QStringList heads = {"Step", "Mode", "Capacity", "Energy"};
  const int widths[] = {500, 800, 850, 900};
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(run->text(0, c), heads[c]);
    EXPECT_EQ(run->colWidthTwips(c), widths[c]);
    EXPECT_EQ(run->columnWidth(c), qRound(widths[c] / 15.0));
  }

  showPage(1);
  auto* autoRun = find<PanelGrid>("gridAutoRun");
  EXPECT_EQ(autoRun->colWidthTwips(0), 650);
  const int rest = qRound((autoRun->width() * 15 - 950) / 3.0);
  for (int c = 1; c < 4; ++c)
    EXPECT_EQ(autoRun->colWidthTwips(c), rest);

  showPage(2);
  auto* set = find<PanelGrid>("gridStepSet");
  EXPECT_EQ(set->Rows(), 11);
  EXPECT_EQ(set->text(0, 4), "Cutoff");
  EXPECT_EQ(set->colWidthTwips(0), 500);
  EXPECT_EQ(set->colWidthTwips(1), qRound((set->width() * 15 - 500) / 4.0));
  for (int r = 1; r <= 10; ++r)
    EXPECT_EQ(panel->tStepSet(r, 0), QString::number(r));
  EXPECT_EQ(set->item(0, 2)->textAlignment(), int(Qt::AlignCenter));

  panel->setTStepSet(3, 1, "D-CC");
  panel->StepSetAdd();
  EXPECT_EQ(set->Rows(), 12);
  panel->setTStepSet(11, 1, "Wait");
  EXPECT_EQ(panel->tStepSet(11, 1), "Wait");
  panel->setStepColor(2, 0x00FF00);
  EXPECT_EQ(set->cellBackground(2, 0), QColor(0, 255, 0));
  panel->StepSetClr();
  EXPECT_EQ(set->Rows(), 11);
  EXPECT_EQ(panel->tStepSet(3, 1), "");
  EXPECT_EQ(set->cellBackground(2, 0), set->palette().color(QPalette::Button));
}

TEST_F(Panel, TimersAreOffAtOneSecondAndTickWithTheirChannel) {
  for (const char* name :
       {"tmrCurve(0)", "tmrCurve(1)", "tmrShow(0)", "tmrShow(1)", "tmrAuto", "tmrStep"}) {
    auto* t = find<QTimer>(name);
    EXPECT_FALSE(t->isActive()) << name;
    EXPECT_EQ(t->interval(), 1000) << name;
  }
  panel->setTmrCurveEnable(1, true);
  panel->setTmrShowEnable(0, true);
  panel->setAutoTmrEnable(true);
  panel->setStepTmrEnable(true);
  EXPECT_TRUE(panel->TmrCurveEnable(1));
  EXPECT_FALSE(panel->TmrCurveEnable(0));
  EXPECT_FALSE(panel->TmrShowEnable(1));
  // Switching a running timer on again keeps its beat. Nothing runs the event loop between the
  // two calls, so the timer cannot have fired and started over in between however slow the
  // machine is.
  auto* curve1 = find<QTimer>("tmrCurve(1)");
  ASSERT_TRUE(QTest::qWaitFor([&] { return curve1->remainingTime() <= 900; }, 5000));
  panel->setTmrCurveEnable(1, true);
  EXPECT_LE(curve1->remainingTime(), 900);
  // Each tick raises its event with the timer's channel; fired here rather than waited for, so
  // that a slow machine cannot add a second beat.
  for (QTimer* t : panel->findChildren<QTimer*>())
    t->stop();
  events.clear();
  for (const char* name :
       {"tmrCurve(0)", "tmrCurve(1)", "tmrShow(0)", "tmrShow(1)", "tmrAuto", "tmrStep"})
    ASSERT_TRUE(QMetaObject::invokeMethod(find<QTimer>(name), "timeout")) << name;
  EXPECT_EQ(events, (QStringList{"CurveTimer:0", "CurveTimer:1", "ShowTimer:0", "ShowTimer:1",
                                 "AutoTimer", "StepTimer"}));
  panel->setTmrCurveEnable(1, true);
  panel->setAutoTmrEnable(true);
  panel->setTmrCurveEnable(1, false);
  panel->setAutoTmrEnable(false);
  EXPECT_FALSE(find<QTimer>("tmrCurve(1)")->isActive());
  EXPECT_FALSE(panel->AutoTmrEnable());
}

TEST_F(Panel, SwitchesAndTextProperties) {
  panel->setConn(true);
  EXPECT_EQ(find<QPushButton>("cmdConn")->text(), "Disconn");
  EXPECT_TRUE(panel->Conn());
  panel->setConn(false);
  EXPECT_EQ(find<QPushButton>("cmdConn")->text(), "Connect");

  panel->setRun(1, true);
  EXPECT_TRUE(panel->Run(1));
  EXPECT_FALSE(panel->Run(0));

  // chn: the selected channel, but only on a two-channel panel.
  panel->setDev2S(true);
  QTest::mouseClick(find<QRadioButton>("optChn1"), Qt::LeftButton);
  EXPECT_EQ(panel->chn(), "1");
  panel->setDev2S(false);
  EXPECT_EQ(panel->chn(), "0");
  panel->setDev2S(true);
  EXPECT_FALSE(panel->AllChn());
  panel->setChnEnable(false);
  for (const char* o : {"optChn0", "optChn1", "optChn2"})
    EXPECT_FALSE(find(o)->isEnabled()) << o;

  panel->setRunEnable(false);
  EXPECT_FALSE(find("cmdRun2S")->isEnabled());
  EXPECT_TRUE(find("cmdRun")->isEnabled());
  panel->setStepEnable(false);
  for (const char* b : {"cmdSaveStep", "cmdOpenStep", "cmdClearStep", "cmdSetStep"})
    EXPECT_FALSE(find(b)->isEnabled()) << b;
  EXPECT_TRUE(find("cmdStartStep")->isEnabled());

  EXPECT_EQ(panel->tAutoVol(), "0.80");
  panel->AutoC1Add("0.1");
  panel->AutoC1Add("0.2");
  panel->setTAutoC1("0.2");
  EXPECT_EQ(find<QComboBox>("cmbC1Auto")->currentIndex(), 1);
  panel->setTAutoC1("0.25"); // typed values need not be in the list
  EXPECT_EQ(panel->tAutoC1(), "0.25");
  panel->AutoC1Clr();
  EXPECT_EQ(find<QComboBox>("cmbC1Auto")->count(), 0);
  EXPECT_TRUE(panel->AutoOptSec());
  panel->setAutoOptSec(false);
  EXPECT_TRUE(find<QRadioButton>("optAutoMin")->isChecked());
  panel->setAutoCmd("Stop");
  EXPECT_EQ(find<QPushButton>("cmdStartAuto")->text(), "Stop");
  panel->setStepCmd("Stop");
  EXPECT_EQ(panel->StepCmd(), "Stop");

  panel->setLedRecv(true);
  EXPECT_TRUE(panel->LedRecv());
  panel->setLedRecv(false);
  EXPECT_FALSE(panel->LedRecv());
}

TEST_F(Panel, ReadoutColoursReachUnitLabelAndSegmentsOnlyInTheOneChannelLayout) {
  panel->setVolColor(0x00C000);
  auto* lcd = find<LCDisp>("lcdVol");
  EXPECT_EQ(lcd->SegmentLitColor(), 0x00C000u);
  EXPECT_EQ(lcd->SegmentLitColorNeg(), 0x00C000u);
  EXPECT_EQ(find<QLabel>("lblVolt")->palette().color(QPalette::WindowText), QColor(0, 192, 0));
  EXPECT_EQ(panel->VolColor(), 0x00C000u);
  panel->setTimeColor(0x0000FF);
  EXPECT_EQ(find<LCDisp>("lcdTime")->SegmentLitColor(), 0x0000FFu);

  panel->setDev2S(true);
  panel->setCurColor(0x123456);
  EXPECT_NE(panel->CurColor(), 0x123456u);
  EXPECT_NE(find<LCDisp>("lcdCur")->SegmentLitColor(), 0x123456u);
}

TEST_F(Panel, PortProbeFillsThePortList) {
  auto ports = std::make_unique<MemoryPorts>();
  ports->line(4);
  ports->line(9);
  Comm comm(std::move(ports));
  panel->PortAdd("COM15");
  ProbePorts(comm, *panel);
  EXPECT_EQ(panel->PortCnt(), 2);
  EXPECT_EQ(panel->PortList(0), "COM4");
  EXPECT_EQ(panel->PortList(1), "COM9");
  EXPECT_EQ(panel->tPort(), "COM4");
  EXPECT_THROW(panel->PortList(2), ComponentError);
  // A probe that finds nothing empties the list but keeps the port in the box.
  Comm none(std::make_unique<MemoryPorts>());
  ProbePorts(none, *panel);
  EXPECT_EQ(panel->PortCnt(), 0);
  EXPECT_EQ(panel->tPort(), "COM4");
  // A user may type a port that the probe did not offer.
  auto* list = find<QComboBox>("cmbPort");
  list->setFocus();
  list->lineEdit()->selectAll();
  QTest::keyClicks(list, "COM12");
  EXPECT_EQ(panel->tPort(), "COM12");
}

TEST_F(Panel, EveryControlCarriesItsName) {
  const QStringList named = {
      "tabDev",      "frmDev(0)",   "frmDev(1)",    "frmDev(2)",    "frmCom",       "cmbPort",
      "cmdConn",     "shpRecv",     "frmRun",       "lcdVol",       "lcdCur",       "lcdPwr",
      "lcdTime",     "lblVolt",     "lblCurt",      "lblPwrt",      "imgLogo",      "frmCtrl",
      "cmbMode",     "lblMode",     "txtSval",      "lblSval",      "lblSvalt",     "txtSlmt",
      "lblSlmt",     "lblSlmtt",    "txtStim",      "lblStim",      "lblStimt",     "cmdRun",
      "cmdStop",     "cmdCont",     "cmdSet",       "cmdMonitor",   "frmRun2S",     "lblChn1",
      "lblChn2",     "frmCtrl2S",   "cmbMode2S",    "optChn0",      "optChn1",      "optChn2",
      "cmdRun2S",    "cmdStop2S",   "cmdCont2S",    "cmdSet2S",     "cmdMonitor2S", "frmCtrlAuto",
      "cmbModeAuto", "txtVolAuto",  "cmbC1Auto",    "cmbC2Auto",    "cmbStepAuto",  "cmbTimeAuto",
      "optAutoSec",  "optAutoMin",  "cmdStartAuto", "cmdSave",      "frmRunAuto",   "gridAutoRun",
      "frmCtrlPrg",  "gridStepSet", "cmdStartStep", "cmdClearStep", "cmdSetStep",   "cmdSaveStep",
      "cmdOpenStep", "frmRunPrg",   "gridStepRun"};
  for (const QString& n : named)
    EXPECT_NE(panel->findChild<QObject*>(n), nullptr) << n.toStdString();
  for (int c = 0; c < 2; ++c)
    for (const char* n : {"txtTime2S", "txtVol2S",  "txtCur2S",   "txtPwr2S",   "lblTime2S",
                          "lblVol2S",  "lblCur2S",  "lblPwr2S",   "lblVol2St",  "lblCur2St",
                          "lblPwr2St", "txtSval2S", "txtSlmt2S",  "txtStim2S",  "lblSval2S",
                          "lblSlmt2S", "lblStim2S", "lblSval2St", "lblSlmt2St", "lblStim2St"}) {
      const QString name = QStringLiteral("%1(%2)").arg(n).arg(c);
      EXPECT_NE(panel->findChild<QObject*>(name), nullptr) << name.toStdString();
    }

  // A screen reader hears a box's caption label, and a short phrase for a control without one;
  // both channels' boxes say their channel in the description.
  const std::pair<const char*, const char*> spoken[] = {
      {"txtSval", "Test Val:"},        {"txtSval2S(1)", "Test Val:"},
      {"txtTime2S(0)", "Time:"},       {"lcdTime", "Time"},
      {"gridStepSet", "Step program"}, {"shpRecv", "Receiving"},
      {"txtVolAuto", "Cutoff Volt:"},  {"gridAutoRun", "Auto test results"}};
  for (const auto& [name, words] : spoken)
    EXPECT_EQ(QAccessible::queryAccessibleInterface(find(name))->text(QAccessible::Name),
              QLatin1String(words))
        << name;
  EXPECT_EQ(find("txtSval2S(1)")->accessibleDescription(), QStringLiteral("Channel2"));
  EXPECT_EQ(find("cmbPort")->accessibleName(), QStringLiteral("Port"));
}

TEST_F(Panel, CaptionsAsTheyStand) {
  const std::pair<const char*, const char*> captions[] = {
      {"lblSval", "Test Val:"}, {"lblSlmt", "Cutoff Volt:"}, {"lblStim", "Max Time:"},
      {"lblMode", "Mode:"},     {"lblChn2", "Channel2"},     {"lblTime2S(1)", "Time:"},
      {"lblPwr2S(0)", "Pwr:"}};
  for (const auto& [name, text] : captions)
    EXPECT_EQ(find<QLabel>(name)->text(), text) << name;
  EXPECT_EQ(find<QGroupBox>("frmCom")->title(), "Comm Setting");
  EXPECT_EQ(find<QGroupBox>("frmCtrl2S")->title(), "Parameter Setting");
  EXPECT_EQ(find<QRadioButton>("optChn2")->text(), "All Channel");
  EXPECT_EQ(find<QPushButton>("cmdSetStep")->text(), "Setting");
  EXPECT_EQ(find<QLineEdit>("txtPwr2S(1)")->text(), "0.0");
  EXPECT_EQ(panel->tTime(0), "00:00:00");
}

TEST_F(Panel, NaturalSizeHoldsEveryPageAndGrowsWithTheFont) {
  const QSize natural = panel->sizeHint();
  for (int i = 0; i < 3; ++i) {
    const QSize page = find(QStringLiteral("frmDev(%1)").arg(i))->sizeHint();
    EXPECT_LE(page.width(), natural.width()) << i;
    EXPECT_LE(page.height(), natural.height()) << i;
  }
  QFont big = panel->font();
  big.setPointSizeF(big.pointSizeF() * 2);
  panel->setFont(big);
  const QSize larger = panel->sizeHint();
  EXPECT_GT(larger.width(), natural.width());
  EXPECT_GT(larger.height(), natural.height());
}

// The main window removes a slot's panel while the user is in one of its boxes.
TEST(DevCtrlInWindow, RemovingThePanelWhileABoxHasTheFocusRaisesNothing) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* other = new QLineEdit;
  layout->addWidget(other);
  auto* panel = new DevCtrl;
  layout->addWidget(panel);
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  int raised = 0;
  QObject::connect(panel, &DevCtrl::SvalChange, &window, [&](int) { ++raised; });
  auto* box = panel->findChild<QLineEdit*>("txtSval");
  box->setFocus(Qt::MouseFocusReason);
  ASSERT_TRUE(box->hasFocus());
  delete panel;
  EXPECT_EQ(raised, 0);
  other->setFocus();
}

TEST(DevCtrlLogo, AnUnreadablePictureLeavesThePlaceEmpty) {
  DevCtrl panel;
  panel.setImageLogo("/nonexistent/logo.bmp");
  EXPECT_TRUE(panel.findChild<QLabel*>("imgLogo")->pixmap().isNull());
}

namespace {

// Tabs added before the panel is first shown, after its size was asked for (as the main
// window's layout does), still get room in the strip.
TEST(DevCtrlTabs, TabsAddedBeforeShowingAreSeen) {
  ondrel::DevCtrl panel;
  (void)panel.sizeHint();
  panel.TabClear();
  panel.TabAdd(1, QStringLiteral("key1"));
  panel.show();
  QApplication::processEvents();
  const auto* strip = panel.findChild<QTabBar*>(QStringLiteral("tabDev"));
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(strip->count(), 1);
  EXPECT_GT(strip->height(), 0);
}

} // namespace
