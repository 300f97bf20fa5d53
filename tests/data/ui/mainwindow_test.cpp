#include "data/support/ini.h"
#include "data/support/version.h"
#include "data/ui/frmabout.h"
#include "data/ui/frmmsg.h"
#include "data/ui/readoutwindows.h"
#include "link/commands.h"
#include "support/connectedwindow.h"
#include "widgets/colour.h"
#include "widgets/curvegraph.h"
#include "widgets/lcdisp.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QUrl>

using namespace ondrel;
using ondrel::testing::ConnectedWindow;
using ondrel::testing::Report;

namespace {

QByteArray bytesOf(const CmdFrame& f) {
  return QByteArray(reinterpret_cast<const char*>(f.data()), qsizetype(f.size()));
}

class MainWindow : public ConnectedWindow {
protected:
  bool enabled(const char* name) { return window->action(QLatin1String(name))->isEnabled(); }
  QTabBar* tabs() { return window->findChild<QTabBar*>(QStringLiteral("tabDev")); }
  QTableWidget* grid(int s = 0) {
    return window->slot(s).frame()->findChild<QTableWidget*>(QStringLiteral("gridRun"));
  }
  // Connects slot `s` on memory port `port` to an idle device of the fixture's model.
  void connectSlot(int s, int port) {
    ports->line(port);
    window->slot(s).panel().setTPort(QStringLiteral("COM%1").arg(port));
    emit window->slot(s).panel().ConnClick();
    window->slot(s).receive(idle(model, 4100).wire());
  }
  bool heard(int port, const CmdFrame& frame) {
    return ports->line(port)->writes.contains(bytesOf(frame));
  }
};

TEST_F(MainWindow, TenSlotsAtMostWithTheirTabs) {
  EXPECT_EQ(tabs()->tabText(0), QStringLiteral("Device1"));
  for (int i = 1; i < 12; ++i)
    trigger("menuAddDev");
  ASSERT_EQ(window->slotCount(), 10);
  EXPECT_EQ(tabs()->count(), 10);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(tabs()->tabText(i), QStringLiteral("Device%1").arg(i + 1));
    EXPECT_EQ(tabs()->tabData(i).toString(), QStringLiteral("dev%1").arg(i + 1));
  }
  EXPECT_FALSE(enabled("menuAddDev"));
  tabs()->setCurrentIndex(6);
  EXPECT_EQ(window->SelectedSlot(), 6);
  EXPECT_TRUE(window->slot(6).frame()->isVisibleTo(window.get()));
  EXPECT_FALSE(window->slot(0).frame()->isVisibleTo(window.get()));
}

// The readouts of a slot whose tab is not selected draw nothing; selecting the tab shows the
// latest value at once, exactly as a readout that drew every value would.
TEST_F(MainWindow, HiddenSlotsReadoutShowsTheLatestValueWhenItsTabIsSelected) {
  trigger("menuAddDev");
  connectSlot(1, 3);
  window->show();
  QCoreApplication::processEvents();
  auto* lcd = window->slot(1).panel().findChild<LCDisp*>(QStringLiteral("lcdVol"));
  ASSERT_NE(lcd, nullptr);
  for (int volt : {4000, 3950, 3900}) {
    window->slot(1).receive(idle(model, volt).wire());
    QCoreApplication::processEvents();
  }
  EXPECT_TRUE(lcd->drawPending());
  EXPECT_EQ(lcd->Value(), QStringLiteral("3.900"));

  tabs()->setCurrentIndex(1);
  QCoreApplication::processEvents();
  EXPECT_FALSE(lcd->drawPending()); // painted because it was shown, not because it was asked
  LCDisp drawnAtOnce(LcdPreset::DevCtrlVol);
  drawnAtOnce.setConfig(lcd->config());
  EXPECT_EQ(lcd->surface(), drawnAtOnce.surface());
}

// A slot going idle must not unlock the entries while the selected slot's test runs.
TEST_F(MainWindow, LockedEntriesFollowTheSelectedSlot) {
  trigger("menuAddDev");
  feed(running(model, 4000, 100));
  ASSERT_TRUE(channel(0).ChnRunning);
  connectSlot(1, 3); // its idle buttons say "enabled"
  for (const char* name : {"menuOpenPara", "menuClear", "menuSoft", "menuSaveData", "menuRes"})
    EXPECT_FALSE(enabled(name)) << name;

  window->selectSlot(1);
  for (const char* name : {"menuOpenPara", "menuClear", "menuSoft", "menuSaveData"})
    EXPECT_TRUE(enabled(name)) << name;
  window->selectSlot(0);
  EXPECT_FALSE(enabled("menuOpenPara"));
  EXPECT_FALSE(enabled("menuClear"));

  feed(idle(model, 4000)); // the test ends on the device
  EXPECT_TRUE(enabled("menuOpenPara"));
  EXPECT_TRUE(enabled("menuClear"));
}

TEST_F(MainWindow, ClearCurveAsksFirst) {
  feed(running(model, 4000, 100));
  ++channel(0).CurveSec;
  feed(running(model, 4010, 100));
  CurveGraph& g = slot().graph();
  ASSERT_GT(g.DpCnt(0), 0);
  EXPECT_FALSE(enabled("menuClear")); // not while the test runs
  feed(idle(model, 4000));
  ASSERT_TRUE(enabled("menuClear"));

  answer = QMessageBox::Cancel;
  trigger("menuClear");
  EXPECT_EQ(messages.value(0), QStringLiteral("Clear Curve?"));
  EXPECT_GT(g.DpCnt(0), 0);
  EXPECT_EQ(channel(0).CurveSec, 1);

  answer = QMessageBox::Ok;
  trigger("menuClear");
  EXPECT_EQ(g.DpCnt(0), 0);
  EXPECT_EQ(channel(0).CurveSec, 0);
  EXPECT_EQ(channel(0).StartPoint, 0);
}

TEST_F(MainWindow, CurveTitleFromMenuAndDoubleClick) {
  trigger("menuAddDev");
  QStringList prompts;
  QString typed = QStringLiteral("Cell A");
  window->askText = [&](const QString& prompt, const QString& text) {
    prompts << prompt + QLatin1Char('|') + text;
    return typed;
  };
  trigger("menuTitle");
  EXPECT_EQ(slot().graph().TitleText(), QStringLiteral("Cell A"));
  typed.clear(); // cancelled or empty: kept
  trigger("menuTitle");
  EXPECT_EQ(slot().graph().TitleText(), QStringLiteral("Cell A"));
  EXPECT_EQ(prompts.value(1), QStringLiteral("Please input new title|Cell A"));

  typed = QStringLiteral("Cell B");
  emit window->slot(1).graph().DblClick(); // the graph clicked, not the selected one
  EXPECT_EQ(window->slot(1).graph().TitleText(), QStringLiteral("Cell B"));
  EXPECT_EQ(slot().graph().TitleText(), QStringLiteral("Cell A"));
}

// Only a channel's own row is a swatch: the heading row and the second row of a one-channel
// slot name no curve.
TEST_F(MainWindow, SwatchesActOnTheirChannelsRowOnly) {
  struct Case {
    int model, row, col;
    int curve;       // -1: nothing changes
    const char* key; // the preference written
  } cases[] = {
      {12, 1, 7, 0, "VCOL0"}, {12, 1, 8, 1, "CCOL0"}, {12, 0, 7, -1, ""},     {12, 2, 7, -1, ""},
      {12, 1, 3, -1, ""},     {17, 2, 7, 5, "VCOL1"}, {17, 2, 8, 6, "CCOL1"}, {17, 0, 8, -1, ""},
  };
  const quint32 chosen = 0x00123456;
  for (const Case& k : cases) {
    SCOPED_TRACE(::testing::Message() << k.model << " row " << k.row << " col " << k.col);
    window.reset();
    open(k.model);
    int asked = 0;
    window->chooseColour = [&] { return ++asked, qint64(chosen); };
    QTableWidget* g = grid();
    ASSERT_TRUE(g);
    const QRect cell = g->visualRect(g->model()->index(k.row, k.col));
    QTest::mousePress(g->viewport(), Qt::LeftButton, {}, cell.center());
    if (k.curve < 0) {
      EXPECT_EQ(asked, 0);
      continue;
    }
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(slot().graph().CurveLineColor(k.curve), chosen);
    EXPECT_EQ(fromQColor(g->item(k.row, k.col)->background().color()), chosen);
    EXPECT_EQ(IniRead(home.file(QStringLiteral("ondrel.ini")), QStringLiteral("DATA"),
                      QLatin1String(k.key), QString()),
              QString::number(chosen));
    if (k.curve == 0) {
      EXPECT_EQ(panel().VolColor(), chosen);
    }
  }
}

TEST_F(MainWindow, ColourChooserCancelChangesNothing) {
  window->chooseColour = [] { return qint64(-1); };
  const quint32 before = slot().graph().CurveLineColor(0);
  QTableWidget* g = grid();
  QTest::mousePress(g->viewport(), Qt::LeftButton, {},
                    g->visualRect(g->model()->index(1, 7)).center());
  EXPECT_EQ(slot().graph().CurveLineColor(0), before);
}

TEST_F(MainWindow, SavePictureNamesAndExtension) {
  window->show();
  dialogAnswer = home.file(QStringLiteral("shot"));
  trigger("menuSavePic");
  ASSERT_EQ(dialogs.size(), 1);
  EXPECT_TRUE(dialogs[0].save);
  EXPECT_EQ(dialogs[0].title, QStringLiteral("Save Picture--Device1"));
  EXPECT_TRUE(dialogs[0].name.endsWith(QStringLiteral("-1-1"))) << dialogs[0].name.toStdString();
  EXPECT_EQ(dialogs[0].filter, QStringLiteral("bmp file(*.bmp)|*.bmp"));
  EXPECT_EQ(dialogs[0].defaultExt, QStringLiteral("bmp"));
  const QImage saved(home.file(QStringLiteral("shot.bmp")), "BMP");
  ASSERT_FALSE(saved.isNull());
  const QWidget& g = slot().graph();
  EXPECT_EQ(saved.width(), qRound(g.width() * g.devicePixelRatioF()));
  EXPECT_GT(saved.height(), g.height()); // the grid below it

  dialogAnswer = home.file(QStringLiteral("curve.bmp"));
  trigger("menuSaveCurve");
  EXPECT_EQ(dialogs[1].title, QStringLiteral("Save Curve--Device1"));
  EXPECT_EQ(QImage(dialogAnswer).height(), qRound(g.height() * g.devicePixelRatioF()));
  EXPECT_FALSE(QFileInfo::exists(dialogAnswer + QStringLiteral(".bmp")));

  dialogAnswer.clear(); // cancelled: no file, no message
  trigger("menuSaveCurve");
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MainWindow, TwoChannelPictureNamesTheChannel) {
  window.reset();
  open(17);
  panel().findChild<QRadioButton*>(QStringLiteral("optChn1"))->setChecked(true);
  trigger("menuSaveCurve");
  ASSERT_EQ(dialogs.size(), 1);
  EXPECT_EQ(dialogs[0].title, QStringLiteral("Save Curve--Device1-Channel2"));
  EXPECT_TRUE(dialogs[0].name.endsWith(QStringLiteral("-1-2-2"))) << dialogs[0].name.toStdString();
}

// The picture comes from the widgets, not from the screen: a window over the graph is not in it.
TEST_F(MainWindow, CoveredWindowSavesTheGraph) {
  window->show();
  QWidget cover;
  cover.setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
  cover.setStyleSheet(QStringLiteral("background: #ff00ff"));
  cover.setGeometry(window->geometry());
  cover.show();
  QCoreApplication::processEvents();
  dialogAnswer = home.file(QStringLiteral("covered.bmp"));
  trigger("menuSaveCurve");
  const QImage saved(dialogAnswer);
  ASSERT_FALSE(saved.isNull());
  const QImage expected = slot().graph().grab().toImage().convertToFormat(saved.format());
  EXPECT_EQ(saved, expected);
  EXPECT_NE(saved.pixelColor(saved.width() / 2, saved.height() / 2), QColor(255, 0, 255));
}

TEST_F(MainWindow, ToolbarFailuresAreLoggedUnderTheirKey) {
  dialogAnswer = home.file(QStringLiteral("no such folder/picture.bmp"));
  window->action(QStringLiteral("savepic"))->trigger();
  EXPECT_TRUE(home.mainLog().contains(QStringLiteral("ErrTlb(savepic)")))
      << home.mainLog().toStdString();
  trigger("menuSaveCurve");
  EXPECT_TRUE(home.mainLog().contains(QStringLiteral("ErrSavePic")));
}

TEST_F(MainWindow, CloseCancelledKeepsEverything) {
  answer = QMessageBox::Cancel;
  EXPECT_FALSE(window->close());
  EXPECT_EQ(messages, QStringList{QStringLiteral("Close software?")});
  EXPECT_TRUE(slot().portOpen());
}

// "Stop running?" answered Cancel: nothing is stopped, and every slot is still disconnected.
TEST_F(MainWindow, ClosingDisconnectsEverySlot) {
  for (QMessageBox::StandardButton stop : {QMessageBox::Cancel, QMessageBox::Ok}) {
    SCOPED_TRACE(stop == QMessageBox::Ok ? "stop" : "keep running");
    window.reset();
    messages.clear();
    open(12);
    trigger("menuAddDev");
    trigger("menuAddDev");
    connectSlot(1, 3);
    feed(running(model, 4000, 100));
    window->ask = [&](QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons) {
      messages << text;
      return text == QStringLiteral("Stop running?") ? stop : QMessageBox::Ok;
    };
    EXPECT_TRUE(window->close());
    EXPECT_EQ(messages,
              (QStringList{QStringLiteral("Close software?"), QStringLiteral("Stop running?")}));
    EXPECT_EQ(heard(2, stopFrame(0)), stop == QMessageBox::Ok);
    EXPECT_TRUE(heard(2, disconnectFrame()));
    EXPECT_TRUE(heard(3, disconnectFrame()));
    EXPECT_EQ(ports->line(2)->writes.last(), bytesOf(disconnectFrame()));
    for (int s = 0; s < 3; ++s)
      EXPECT_FALSE(window->slot(s).portOpen());
    EXPECT_FALSE(window->slot(0).secondTimerRunning(0));
  }
}

} // namespace

namespace {

TEST_F(MainWindow, NoticeFadesInAndOutAndRefusesToClose) {
  window->ShowNotice(QStringLiteral("STOP"));
  EXPECT_EQ(window->noticeWindow(), nullptr); // "MSG" off

  window->prefs().MSG = true;
  window->ShowNotice(QStringLiteral("STOP"));
  frmMsg* msg = window->noticeWindow();
  ASSERT_TRUE(msg);
  EXPECT_EQ(msg->message(), QStringLiteral("STOP"));
  EXPECT_EQ(msg->windowTitle(), QStringLiteral("Prompt"));
  EXPECT_EQ(msg->opacity(), 0);
  for (int i = 0; i < 50; ++i)
    msg->fadeInTick();
  EXPECT_EQ(msg->opacity(), 200);

  EXPECT_FALSE(msg->close()); // turned into the fade-out
  EXPECT_TRUE(msg->isVisible());
  EXPECT_TRUE(msg->fadingOut());
  for (int i = 0; i < 40; ++i)
    msg->fadeOutTick();
  EXPECT_EQ(msg->opacity(), 0);
  EXPECT_TRUE(msg->isVisible());
  msg->fadeOutTick();
  EXPECT_FALSE(msg->isVisible());
}

TEST_F(MainWindow, ClickOnTheNoticeStopsTheFadeIn) {
  window->prefs().MSG = true;
  window->ShowNotice(QStringLiteral("STOP"));
  frmMsg* msg = window->noticeWindow();
  msg->fadeInTick();
  QTest::mouseClick(msg->findChild<QLabel*>(QStringLiteral("lblMsg")), Qt::LeftButton);
  EXPECT_FALSE(msg->fadingIn());
  EXPECT_TRUE(msg->fadingOut());
}

} // namespace

namespace {

TEST_F(MainWindow, MinimisedShowsTheBigReadoutOnlyForAConnectedPanel) {
  window->prefs().DISP = true;
  trigger("menuAddDev");
  window->selectSlot(1); // not connected
  window->setWindowState(Qt::WindowMinimized);
  EXPECT_FALSE(window->dispWindow() && window->dispWindow()->isVisible());
  window->setWindowState(Qt::WindowNoState);

  window->selectSlot(0);
  window->setWindowState(Qt::WindowMinimized);
  frmDisp* disp = window->dispWindow();
  ASSERT_TRUE(disp);
  EXPECT_TRUE(disp->isVisible());
  EXPECT_EQ(disp->title(), slot().gridText(1, 0));
  feed(idle(model, 3700));
  EXPECT_EQ(disp->readout(frmDisp::Vol), panel().tVol(0));
  EXPECT_EQ(disp->readout(frmDisp::Cap), QStringLiteral("0.000"));
  window->setWindowState(Qt::WindowNoState);
  EXPECT_FALSE(disp->isVisible());
}

TEST_F(MainWindow, HideMinimisesIntoTheNotificationArea) {
  window->show();
  window->prefs().HIDE = true;
  std::function<void()> click;
  QString tip;
  window->addTrayIcon = [&](const QString& t, std::function<void()> onClick) {
    tip = t;
    click = std::move(onClick);
    return true;
  };
  window->setWindowState(Qt::WindowMinimized);
  QCoreApplication::processEvents();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(tip, window->windowTitle());
  ASSERT_TRUE(click);
  click();
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isMinimized());
}

TEST_F(MainWindow, HideWithoutANotificationAreaKeepsTheWindowReachable) {
  window->show();
  window->prefs().HIDE = true;
  window->addTrayIcon = [](const QString&, std::function<void()>) { return false; };
  window->setWindowState(Qt::WindowMinimized);
  QCoreApplication::processEvents();
  EXPECT_TRUE(window->isVisible());
}

TEST(BigReadout, CapacityAndEnergyTexts) {
  const struct {
    float value;
    const char* text;
  } cases[] = {{0.0f, "0.000"}, {10.0f, "10.000"}, {10.5f, "10.50"}, {100.04f, "100.0"}};
  for (const auto& k : cases)
    EXPECT_EQ(bigReadoutText(k.value), QLatin1String(k.text)) << k.value;
}

} // namespace

namespace {

// A KL-10 meter of firmware `fw` identified on slot 0 with `infoReports` info reports behind it.
class MeterWindow : public MainWindow {
protected:
  void identifyMeter(int fw, int infoReports) {
    window.reset();
    open(26);
    for (int i = 0; i < infoReports; ++i)
      feed(infoReport(fw));
  }
  static Report infoReport(int fw) {
    Report info = idle(26, 5000);
    info.info = 1, info.set = fw, info.limit = 2100, info.time = 4000;
    return info;
  }
  static Report meterSample(int mode) {
    Report r = idle(26, 5100);
    r.mode = mode, r.state = 1, r.cur = 12345, r.cap = 600, r.temp = 2700;
    return r;
  }
};

TEST_F(MeterWindow, ShownFedAndUnloadedByTheLiveUpdate) {
  identifyMeter(320, 1);
  feed(meterSample(1));
  EXPECT_EQ(window->meterWindow(), nullptr); // one info report is not yet enough

  feed(infoReport(320));
  feed(meterSample(1));
  frmMeter* meter = window->meterWindow();
  ASSERT_TRUE(meter);
  EXPECT_TRUE(meter->isVisible());
  EXPECT_EQ(meter->windowTitle(), QStringLiteral("USB测量"));
  EXPECT_EQ(meter->readout(frmMeter::Cur), QStringLiteral("1.2345"));
  EXPECT_EQ(meter->readout(frmMeter::Vol), QStringLiteral("05.100"));
  EXPECT_EQ(meter->readout(frmMeter::Pwr), QStringLiteral("06.296"));
  EXPECT_EQ(meter->readout(frmMeter::DPlus), QStringLiteral("0.600"));
  EXPECT_EQ(meter->readout(frmMeter::DMinus), QStringLiteral("2.700"));

  channel(0).ModeNo = 0; // another mode chosen: the next sample unloads the window
  feed(meterSample(0));
  EXPECT_EQ(window->meterWindow(), nullptr);
}

// Another tester's reports leave the window alone; once hidden (the meter disconnected), the
// meter's own reports bring it back, and meanwhile it does not keep the big readout away.
TEST_F(MeterWindow, AnotherTesterLeavesItAloneAndTheMetersReportsShowItAgain) {
  identifyMeter(320, 2);
  feed(meterSample(1));
  frmMeter* meter = window->meterWindow();
  ASSERT_TRUE(meter);
  ASSERT_TRUE(meter->isVisible());

  ports->line(3);
  trigger("menuAddDev");
  DeviceSlot& load = window->slot(1);
  load.panel().setTPort(QStringLiteral("COM3"));
  emit load.panel().ConnClick();
  ASSERT_TRUE(load.portOpen());
  load.receive(running(12, 4000, 100).wire());
  load.receive(running(12, 3990, 100).wire());
  EXPECT_TRUE(meter->isVisible());

  emit panel().ConnClick(); // the meter goes: its window hides
  ASSERT_FALSE(slot().portOpen());
  EXPECT_EQ(window->meterWindow(), meter);
  EXPECT_FALSE(meter->isVisible());

  window->prefs().DISP = true;
  window->selectSlot(1);
  window->setWindowState(Qt::WindowMinimized);
  ASSERT_TRUE(window->dispWindow());
  EXPECT_TRUE(window->dispWindow()->isVisible());
  window->setWindowState(Qt::WindowNoState);
  EXPECT_FALSE(meter->isVisible()); // restoring shows only what minimising hid

  emit panel().ConnClick(); // back in meter mode: after its info reports it shows again
  Report meterIdle = idle(26, 5000);
  meterIdle.mode = 1;
  feed(meterIdle);
  feed(infoReport(320));
  feed(infoReport(320));
  feed(meterSample(1));
  EXPECT_EQ(window->meterWindow(), meter);
  EXPECT_TRUE(meter->isVisible());
  EXPECT_EQ(meter->readout(frmMeter::Vol), QStringLiteral("05.100"));
}

TEST_F(MeterWindow, NotForOlderFirmware) {
  identifyMeter(310, 3);
  feed(meterSample(1));
  EXPECT_EQ(window->meterWindow(), nullptr);
}

TEST_F(MainWindow, HelpOpensTheGuideBesideTheProgram) {
  QList<QUrl> opened;
  window->openUrl = [&](const QUrl& url) {
    opened << url;
    return true;
  };
  trigger("menuHelp");
  ASSERT_EQ(opened.size(), 1) << messages.join(QLatin1Char('|')).toStdString();
  const QString guide = opened[0].toLocalFile();
  EXPECT_TRUE(guide.endsWith(QStringLiteral("/ondrel-guide.html"))) << guide.toStdString();
  QFile page(guide);
  ASSERT_TRUE(page.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(page.readAll());
  for (const char* part : {"Connecting a tester", "Running a test", "Files", "Settings"})
    EXPECT_TRUE(html.contains(QLatin1String(part))) << part;
  EXPECT_TRUE(messages.isEmpty());

  // No browser: the user is told where the guide is, and the log says it.
  window->openUrl = [](const QUrl&) { return false; };
  trigger("menuHelp");
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QDir::toNativeSeparators(guide)));
  EXPECT_TRUE(home.mainLog().contains(QStringLiteral("ErrHelp")));
}

TEST_F(MainWindow, AboutBoxNamesVersionBuildAndLinksTheGuide) {
  int opened = 0;
  window->openUrl = [&](const QUrl&) { return ++opened, true; };
  window->action(QStringLiteral("about"))->trigger(); // the toolbar button
  frmAbout* about = window->aboutWindow();
  ASSERT_TRUE(about);
  EXPECT_TRUE(about->isVisible());
  EXPECT_EQ(about->windowTitle(), QStringLiteral("About Software"));
  auto label = [&](const char* name) {
    return about->findChild<QLabel*>(QLatin1String(name))->text();
  };
  EXPECT_EQ(label("lblTitle"), QStringLiteral("Ondrel Tester Software"));
  EXPECT_EQ(label("lblVersion"), QStringLiteral("Version: V") + QLatin1String(kVersionText));
  EXPECT_FALSE(label("lblBuild").isEmpty());
  emit about->findChild<QLabel*>(QStringLiteral("lblLink"))->linkActivated(QStringLiteral("guide"));
  EXPECT_EQ(opened, 1);
  QTest::mouseClick(about->findChild<QAbstractButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
  QCoreApplication::processEvents();
  EXPECT_FALSE(window->aboutWindow() && window->aboutWindow()->isVisible());
}

TEST(UserGuide, FoundBesideTheProgramOrInItsDocumentationFolder) {
  ondrel::testing::TempProgramFolder root{ondrel::testing::TempProgramFolder::Bare};
  const QString bin = root.file(QStringLiteral("bin"));
  QDir().mkpath(bin);
  EXPECT_EQ(findUserGuide(bin), QString());
  const QString docs = root.file(QStringLiteral("share/doc/ondrel"));
  QDir().mkpath(docs);
  QFile(docs + QStringLiteral("/ondrel-guide.html")).open(QIODevice::WriteOnly);
  EXPECT_EQ(findUserGuide(bin), QDir::cleanPath(docs + QStringLiteral("/ondrel-guide.html")));
  QFile(bin + QStringLiteral("/ondrel-guide.html")).open(QIODevice::WriteOnly);
  EXPECT_EQ(findUserGuide(bin), bin + QStringLiteral("/ondrel-guide.html"));
}

// The slot's parts by the design rule, at the size of a 1280 x 720 screen and on a window shrunk
// below the panel: nothing overlaps, nothing has a negative size.
TEST_F(MainWindow, SlotPartsFollowTheWindowSize) {
  for (const QSize size : {QSize(1280, 680), QSize(300, 200)}) {
    SCOPED_TRACE(size.width());
    window->resize(size);
    window->show();
    QCoreApplication::processEvents();
    QWidget* frame = slot().frame();
    const QRect graph = slot().graph().geometry();
    const QRect panelRect = panel().geometry();
    const QRect gridRect = grid()->geometry();
    // The auto test's full-size table takes the panel's place when it is shown.
    const auto* autoList = frame->findChild<QTableWidget*>(QStringLiteral("gridAutolist"));
    ASSERT_NE(autoList, nullptr);
    const QRect autoRect = autoList->geometry();
    EXPECT_EQ(autoRect.topLeft(), panelRect.topLeft());
    for (const QRect& r : {graph, panelRect, gridRect, autoRect}) {
      EXPECT_GE(r.width(), 0);
      EXPECT_GE(r.height(), 0);
    }
    EXPECT_LE(graph.right(), panelRect.left());
    EXPECT_GE(gridRect.top(), graph.bottom());
    if (size.width() > 1000) {
      EXPECT_LE(panelRect.right(), frame->width());
      EXPECT_GT(graph.width(), 500);
      EXPECT_EQ(gridRect.width(), graph.width());
      EXPECT_GE(autoRect.height(), panelRect.height());
    }
  }
}

} // namespace
