#include "data/recording.h"
#include "data/textfile.h"
#include "support/connectedwindow.h"
#include "test/stepengine.h"
#include "test/stepfile.h"
#include "test/ui/frmstep.h"
#include "test/ui/panelparts.h"
#include "widgets/curvegraph.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTimer>

using namespace ondrel;
using ondrel::testing::ConnectedWindow;

namespace {

// The step program of slot 0 on memory ports: reports fed and the step timer ticked by hand.
class StepProgram : public ConnectedWindow {
protected:
  void row(int r, const char* mode, const char* set1, const char* set2, const char* cutoff) {
    const char* cells[] = {mode, set1, set2, cutoff};
    for (int c = 0; c < 4; ++c)
      panel().setTStepSet(r, c + 1, QLatin1String(cells[c]));
  }
  void tick() { emit panel().StepTimer(); }
  const StepEngine& engine() { return slot().stepTest().engine(); }
  // The start commands written since the last call, by their mode.
  QList<int> starts() {
    QList<int> modes;
    auto line = ports->line(2);
    for (const QByteArray& w : line->writes)
      if (w.size() == 10 && (quint8(w[1]) & 0x0F) == 1)
        modes << (quint8(w[1]) >> 4) % 10;
    line->writes.clear();
    return modes;
  }
  QStringList resultRow(int r) {
    QStringList cells;
    for (int c = 0; c < 4; ++c)
      cells << panel().tStepRun(r, c);
    return cells;
  }
  QStringList tableRow(int r) {
    QStringList cells;
    for (int c = 1; c < 5; ++c)
      cells << panel().tStepSet(r, c);
    return cells;
  }
};

TEST_F(StepProgram, ADischargeAndAWaitRunToTheEndAndLeaveTheProgramsDataFile) {
  window->prefs().SAVE = true;
  row(1, "D-CC", "1.00", "3.00", "0");
  row(2, "Wait", "0.00", "0.00", "0");
  starts();
  emit panel().StartStepClick();
  EXPECT_TRUE(panel().StepTmrEnable());
  EXPECT_EQ(panel().StepCmd(), QStringLiteral("Stop"));
  EXPECT_FALSE(panel().StepEnable());
  EXPECT_TRUE(slot().ch(0).StepCurves);

  tick(); // phase 0: step 1 set up and started
  EXPECT_EQ(starts(), QList<int>{0});
  EXPECT_TRUE(slot().StepRunning());
  EXPECT_EQ(panel().tMode(), QStringLiteral("D-CC"));
  EXPECT_EQ(panel().tSval(0), QStringLiteral("1.00"));
  EXPECT_EQ(panel().tSlmt(0), QStringLiteral("3.00"));
  EXPECT_EQ(resultRow(1).mid(0, 2), (QStringList{"1-1", "D-CC"}));
  for (int s = 0; s < 3; ++s) {
    feed(running(12, 3900 - s * 10, 100));
    tick();
  }
  EXPECT_FALSE(panel().ModeEnable()) << "the program keeps the mode list";
  feed(idle(12, 3000)); // the device's cutoff
  EXPECT_EQ(window->noticeWindow(), nullptr) << "no STOP notice inside a program";
  tick(); // phase 2: on to the wait
  EXPECT_EQ(resultRow(1)[2], stepResultText(slot().ch(0).Cap));
  tick(); // the wait set up
  EXPECT_EQ(resultRow(2), (QStringList{"2-1", "Wait", "0", "0"}));
  EXPECT_TRUE(starts().isEmpty());
  tick(); // the wait of 0 minutes has ended
  tick(); // the program's end
  EXPECT_FALSE(engine().StepOn());
  EXPECT_FALSE(slot().StepRunning());
  EXPECT_FALSE(panel().StepTmrEnable());
  EXPECT_EQ(panel().StepCmd(), QStringLiteral("Start"));
  EXPECT_TRUE(panel().StepEnable());
  EXPECT_TRUE(panel().ModeEnable());

  // Two files: the step's own at its end, then the whole program with its step lines.
  const QStringList files =
      QDir(home.file(QStringLiteral("Data"))).entryList(QDir::Files, QDir::Name);
  ASSERT_GE(files.size(), 1);
  bool stepLines = false;
  for (const QString& f : files) {
    const QStringList lines = textFileLines(home.read(QStringLiteral("Data/") + f));
    if (lines.contains(QStringLiteral("*2-1,Wait,0,0")))
      stepLines = lines.contains(QStringLiteral("*Step,Mode,Capacity,Energy"));
  }
  EXPECT_TRUE(stepLines) << files.join(u' ').toStdString();
}

TEST_F(StepProgram, AStepTheDeviceNeverStartsIsPressedFiveTimesThenSkipped) {
  row(1, "D-CC", "1.00", "3.00", "0");
  row(2, "D-CP", "10", "3.00", "0");
  starts();
  emit panel().StartStepClick();
  for (int t = 0; t < 1 + StepEngine::kRetryTicks; ++t)
    tick();
  EXPECT_EQ(starts(), (QList<int>{0, 0, 0, 0, 0}));
  tick(); // counted as ended
  tick(); // step 2
  EXPECT_EQ(starts(), QList<int>{1});
  EXPECT_EQ(panel().tSval(0), QStringLiteral("10"));
  emit panel().StartStepClick(); // the user's Stop
  EXPECT_FALSE(engine().StepOn());
  EXPECT_EQ(panel().StepCmd(), QStringLiteral("Start"));
  EXPECT_TRUE(panel().RunEnable());
}

TEST_F(StepProgram, ProgramsThatCannotRunAreRefusedAtStart) {
  emit panel().StartStepClick(); // empty: nothing
  EXPECT_FALSE(panel().StepTmrEnable());
  EXPECT_TRUE(messages.isEmpty());

  const struct {
    const char *mode, *set1, *message;
  } cases[] = {
      {"Cycle", "0.00", "Step1: a cycle needs a test step before it"},
      {"C-Liion", "1.00", "Step1: the device has no mode \"C-Liion\""},
      {"D-CC", "50", "Step1: Setting value out of range!"},
  };
  for (const auto& c : cases) {
    messages.clear();
    row(1, c.mode, c.set1, "3.00", "3");
    emit panel().StartStepClick();
    EXPECT_EQ(messages, QStringList{QLatin1String(c.message)});
    EXPECT_FALSE(panel().StepTmrEnable()) << c.mode;
    EXPECT_FALSE(engine().StepOn());
  }
}

TEST_F(StepProgram, AChannelThatRunsAnotherTestStartsNoProgramNorAutoTest) {
  row(1, "D-CC", "1.00", "3.00", "0");
  feed(running(12, 3900, 100)); // a test started on the device's keys
  ASSERT_TRUE(slot().ch(0).ChnRunning);
  emit panel().StartStepClick();
  emit panel().StartAutoClick();
  EXPECT_EQ(messages, QStringList(2, QStringLiteral("Please stop other test first")));
  EXPECT_FALSE(panel().StepTmrEnable());
  EXPECT_FALSE(slot().AutoRunning());

  feed(idle(12, 3900));
  messages.clear();
  emit panel().StartStepClick();
  ASSERT_TRUE(panel().StepTmrEnable());
  emit panel().StartAutoClick(); // a program is on
  EXPECT_EQ(messages, QStringList{QStringLiteral("Please stop other test first")});
  EXPECT_FALSE(slot().AutoRunning());
}

TEST_F(StepProgram, AFailingTickIsLoggedWithTheSlotRunStateAndPhase) {
  row(1, "D-CC", "1.00", "3.00", "0");
  emit panel().StartStepClick();
  row(1, "D-CC", "1.00", "3.00", "1e12"); // no time limit fits: the tick fails
  tick();
  EXPECT_TRUE(home.mainLog().contains(QStringLiteral("ErrStepTmrOn(0 False 0)")))
      << home.mainLog().toStdString();
  EXPECT_TRUE(engine().StepOn()) << "the program goes on with the next tick";
}

TEST_F(StepProgram, ClearEmptiesTheTableAtOnce) {
  row(1, "D-CC", "1.00", "3.00", "0");
  emit panel().ClearStepClick();
  EXPECT_EQ(tableRow(1), (QStringList{"", "", "", ""}));
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(StepProgram, StepFilesSaveAndOpenForTheSameModelOnly) {
  row(1, "D-CC", "1.00", "3.00", "0");
  row(2, "Wait", "0.00", "0.00", "1");
  for (const char* typed : {"prog", "prog.stp"}) {
    dialogAnswer = home.file(QLatin1String(typed));
    emit panel().SaveStepClick();
    EXPECT_EQ(dialogs.last().title, QStringLiteral("Save Step"));
    EXPECT_EQ(dialogs.last().filter, QStringLiteral("step file(*.stp)|*.stp"));
    EXPECT_EQ(dialogs.last().defaultExt, QStringLiteral("stp"));
  }
  EXPECT_FALSE(QFile::exists(home.file(QStringLiteral("prog.stp.stp"))));
  const QStringList saved = textFileLines(home.read(QStringLiteral("prog.stp")));
  EXPECT_EQ(saved.size(), 2 + 8);
  EXPECT_EQ(saved[1], QStringLiteral("DEV:12"));

  emit panel().ClearStepClick();
  dialogAnswer = home.file(QStringLiteral("prog.stp"));
  emit panel().OpenStepClick();
  EXPECT_EQ(dialogs.last().title, QStringLiteral("Open Step"));
  EXPECT_EQ(tableRow(1), (QStringList{"D-CC", "1.00", "3.00", "0"}));
  EXPECT_EQ(tableRow(2), (QStringList{"Wait", "0.00", "0.00", "1"}));

  // Another model's file: the table is cleared and nothing is loaded.
  writeTextFile(home.file(QStringLiteral("other.stp")),
                {QLatin1String(kBannerLine), "DEV:13", "011:0", "012:1.00", "013:3.00", "014:0"});
  dialogAnswer = home.file(QStringLiteral("other.stp"));
  messages.clear();
  emit panel().OpenStepClick();
  EXPECT_EQ(tableRow(1), (QStringList{"", "", "", ""}));
  EXPECT_TRUE(messages.isEmpty());

  // A name not ending in "stp" opens nothing.
  row(1, "D-CC", "1.00", "3.00", "0");
  dialogAnswer = home.file(QStringLiteral("prog.txt"));
  emit panel().OpenStepClick();
  EXPECT_EQ(tableRow(1)[0], QStringLiteral("D-CC"));
}

// A file goes in whole or not at all: the message names the first row the editor would refuse.
TEST_F(StepProgram, RowsOfAFileGoThroughTheEditorsChecks) {
  const struct {
    int model;
    QStringList lines;
    const char* refusal;
  } cases[] = {
      {12,
       {"011:0", "012:1.00", "013:3.00", "014:0", "021:0", "022:150", "023:3.00", "024:0", "031:5",
        "032:0", "033:0", "034:1"},
       "Step2: Setting value out of range!"},
      // KC-F1: Li-ion (mode 3) charges at most 3 cells, and a cell count is whole.
      {1,
       {"011:0", "012:1.00", "013:3.00", "014:0", "021:3", "022:1.00", "023:15", "024:0"},
       "Step2: Setting value out of range!"},
      {1, {"011:3", "012:1.00", "013:0.9", "014:0"}, "Step1: Setting value out of range!"},
      {1,
       {"011:0", "012:1.00", "013:3.00", "014:0", "021:1", "022:1.00", "023:0", "024:0"},
       "Step2: Setting value out of range!"},
  };
  for (const auto& c : cases) {
    if (c.model != model)
      open(c.model);
    QStringList file{QLatin1String(kBannerLine), QStringLiteral("DEV:%1").arg(c.model)};
    writeTextFile(home.file(QStringLiteral("prog.stp")), file + c.lines);
    dialogAnswer = home.file(QStringLiteral("prog.stp"));
    messages.clear();
    emit panel().OpenStepClick();
    ASSERT_EQ(messages.size(), 1) << c.refusal;
    EXPECT_EQ(messages[0],
              QLatin1String(c.refusal) + QStringLiteral("\nThe step file was not loaded."));
    for (int r = 1; r <= 3; ++r)
      EXPECT_EQ(tableRow(r), (QStringList{"", "", "", ""})) << c.refusal << " row " << r;
  }
  // A charge program within the model's counts goes in.
  writeTextFile(home.file(QStringLiteral("prog.stp")),
                {QLatin1String(kBannerLine), "DEV:1", "011:3", "012:1.00", "013:3", "014:0"});
  messages.clear();
  emit panel().OpenStepClick();
  EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
  EXPECT_EQ(tableRow(1), (QStringList{"C-Liion", "1.00", "3", "0"}));
}

TEST_F(StepProgram, ATableWithAModeTheDeviceLacksIsNotSaved) {
  row(1, "D-CC", "1.00", "3.00", "0");
  row(2, "C-Liion", "1.00", "1", "0");
  dialogAnswer = home.file(QStringLiteral("prog"));
  emit panel().SaveStepClick();
  EXPECT_FALSE(QFile::exists(home.file(QStringLiteral("prog.stp"))));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0], QStringLiteral("Step2: the device has no mode \"C-Liion\""));
}

// The editor opened from the panel; the main window waits for it with events running.
TEST_F(StepProgram, TheEditorAddsCheckedRowsAndOKCopiesThemToThePanel) {
  row(1, "D-CC", "2.00", "3.00", "0");
  bool ran = false;
  QTimer::singleShot(0, [&] {
    ran = true;
    frmStep* editor = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* e = qobject_cast<frmStep*>(w); e && e->isVisible())
        editor = e;
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Parameter Setting"));
    auto* flow = editor->findChild<QComboBox*>(QStringLiteral("cmbFlow"));
    auto* mode = editor->findChild<QComboBox*>(QStringLiteral("cmbMode"));
    auto* set = editor->findChild<PanelBox*>(QStringLiteral("txtSet"));
    auto* lmt = editor->findChild<PanelBox*>(QStringLiteral("txtLmt"));
    auto* lmt2 = editor->findChild<PanelBox*>(QStringLiteral("txtLmt2"));
    // Step 1 and the next free step; the modes up to the charge modes, then Wait and Cycle.
    EXPECT_EQ(flow->count(), 2);
    EXPECT_EQ(mode->itemText(mode->count() - 2), QStringLiteral("Wait"));
    EXPECT_EQ(mode->itemText(mode->count() - 1), QStringLiteral("Cycle"));
    EXPECT_EQ(set->text(), QStringLiteral("2.00")) << "step 1 shown";
    EXPECT_EQ(editor->cell(0, 2), QStringLiteral("Current/Power"));

    flow->setCurrentIndex(1);
    editor->FlowClick();
    mode->setCurrentIndex(0);
    editor->ModeClick();
    set->setText(QStringLiteral("abc"));
    editor->BoxLeft(0);
    EXPECT_EQ(messages.value(0), QStringLiteral("Invalid value!"));
    EXPECT_EQ(set->text(), QStringLiteral("0.10"));
    set->setText(QStringLiteral("12"));
    editor->SetClick(); // out of range: not written
    EXPECT_EQ(messages.value(1), QStringLiteral("Setting value out of range!"));
    EXPECT_TRUE(editor->cell(2, 1).isEmpty());
    set->setText(QStringLiteral("1.5"));
    editor->BoxLeft(0);
    EXPECT_EQ(set->text(), QStringLiteral("1.50"));
    lmt->setText(QStringLiteral("2.8"));
    editor->SetClick();
    EXPECT_EQ(editor->cell(2, 1), QStringLiteral("D-CC"));
    EXPECT_EQ(editor->cell(2, 2), QStringLiteral("1.50"));
    EXPECT_EQ(flow->count(), 3);
    EXPECT_EQ(flow->currentIndex(), 2) << "the next step selected";

    mode->setCurrentIndex(mode->count() - 1); // Cycle
    editor->ModeClick();
    EXPECT_FALSE(set->isEnabled());
    lmt2->setText(QStringLiteral("2"));
    editor->SetClick();
    editor->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
  });
  emit panel().SetStepClick();
  EXPECT_TRUE(ran);
  EXPECT_EQ(tableRow(1), (QStringList{"D-CC", "2.00", "3.00", "0"}));
  EXPECT_EQ(tableRow(2), (QStringList{"D-CC", "1.50", "2.8", "0"}));
  EXPECT_EQ(tableRow(3), (QStringList{"Cycle", "0.00", "0.00", "2"}));
}

TEST_F(StepProgram, TheEditorsCancelAndClearLeaveThePanelAsItWas) {
  row(1, "D-CC", "2.00", "3.00", "0");
  QTimer::singleShot(0, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* e = qobject_cast<frmStep*>(w); e && e->isVisible()) {
        e->ClearClick();
        EXPECT_TRUE(e->cell(1, 1).isEmpty());
        EXPECT_EQ(e->findChild<QComboBox*>(QStringLiteral("cmbFlow"))->count(), 1);
        e->close(); // as "Cancel"
      }
  });
  emit panel().SetStepClick();
  EXPECT_EQ(tableRow(1), (QStringList{"D-CC", "2.00", "3.00", "0"}));
}

TEST_F(StepProgram, ClosingTheMainWindowClosesTheEditorAndEndsTheWait) {
  window->show();
  QTimer::singleShot(0, [&] { window->close(); });
  emit panel().SetStepClick();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(window->findChild<frmStep*>(), nullptr);
  EXPECT_TRUE(messages.contains(QStringLiteral("Close software?")));
}

} // namespace
