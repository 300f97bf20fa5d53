#include "data/recording.h"
#include "data/textfile.h"
#include "support/connectedwindow.h"
#include "test/ui/panelparts.h"
#include "widgets/curvegraph.h"

#include <QListWidget>
#include <QRadioButton>

using namespace ondrel;
using ondrel::testing::ConnectedWindow;

namespace {

// The auto test of slot 0 on memory ports: the device's answers are fed by hand, the auto timer
// ticked by hand.
class AutoTest : public ConnectedWindow {
protected:
  void page(const char* from, const char* to, const char* step, const char* time) {
    panel().setTAutoC1(QLatin1String(from));
    panel().setTAutoC2(QLatin1String(to));
    panel().setTAutoStep(QLatin1String(step));
    panel().setTAutoTime(QLatin1String(time));
  }
  void choose(const char* channelButton) {
    panel().findChild<QRadioButton*>(QLatin1String(channelButton))->setChecked(true);
  }
  void tick() { emit panel().AutoTimer(); }
  // The set-value commands written since the last call: (channel, raw value).
  QList<QPair<int, int>> setCommands() {
    QList<QPair<int, int>> out;
    auto line = ports->line(2);
    for (const QByteArray& w : line->writes) {
      if (w.size() != 10 || (quint8(w[1]) & 0x0F) != 7 || quint8(w[1]) % 160 != 7)
        continue;
      out.append({quint8(w[1]) / 160, quint8(w[2]) * 240 + quint8(w[3])});
    }
    line->writes.clear();
    return out;
  }
  QStringList row(int r) {
    QStringList cells;
    for (int c = 0; c < 4; ++c)
      cells << panel().tAutoRun(r, c);
    return cells;
  }
};

TEST_F(AutoTest, IdentificationFillsThePage) {
  EXPECT_EQ(panel().tAutoMode(), QStringLiteral("D-CC"));
  EXPECT_EQ(panel().tAutoC1(), QStringLiteral("0.1"));
  EXPECT_EQ(panel().tAutoStep(), QStringLiteral("0.1"));
  EXPECT_EQ(panel().tAutoTime(), QStringLiteral("2"));
  EXPECT_EQ(panel().tAutoVol(), QStringLiteral("0.80"));
  EXPECT_EQ(panel().tAutoRun(0, 1), QStringLiteral("Curr(A)"));
}

TEST_F(AutoTest, RunsOnItsOwnChannelWithItsOwnScaleWhateverThePanelShowsLater) {
  open(17); // two channels, 1000 units per ampere
  choose("optChn1");
  page("0.1", "0.3", "0.1", "2");
  panel().setTAutoVol(QStringLiteral("2.50"));
  setCommands();
  emit panel().StartAutoClick();
  ASSERT_TRUE(slot().AutoRunning());
  EXPECT_EQ(panel().AutoCmd(), QStringLiteral("Stop"));
  EXPECT_TRUE(panel().AutoTmrEnable());
  EXPECT_TRUE(slot().graph().YStep());
  EXPECT_EQ(panel().tSval(1), QStringLiteral("0.10"));
  EXPECT_EQ(panel().tSlmt(1), QStringLiteral("2.50"));

  // The user looks at the other, idle channel: the test goes on with channel 2.
  choose("optChn0");
  for (int s = 0; s < 2; ++s) {
    feed(running(17, 3900, 100, 1));
    tick();
  }
  EXPECT_TRUE(slot().AutoRunning());
  EXPECT_EQ((setCommands()), (QList<QPair<int, int>>{{1, 200}}));
  EXPECT_EQ(panel().tSval(1), QStringLiteral("0.20"));
  EXPECT_EQ(row(1), (QStringList{"1", "0.10", "3.90", "0.4"}));

  // The device stops at its cutoff: the test ends with its rows, the channel's timers stop.
  feed(running(17, 3800, 200, 1));
  tick();
  feed(idle(17, 3700, 1));
  tick();
  EXPECT_FALSE(slot().AutoRunning());
  EXPECT_FALSE(panel().AutoTmrEnable());
  EXPECT_EQ(panel().AutoCmd(), QStringLiteral("Start"));
  EXPECT_EQ(row(2), (QStringList{"2", "0.20", "3.80", "0.8"}));
  EXPECT_FALSE(panel().TmrCurveEnable(1));
  EXPECT_FALSE(slot().secondTimerRunning(1));
}

TEST_F(AutoTest, ReachingTheStopCurrentStopsTheChannelAndKeepsTheLastRow) {
  page("0.1", "0.2", "0.1", "1");
  emit panel().StartAutoClick();
  feed(running(12, 4000, 10));
  tick(); // row 1 at 0.10, then 0.20
  feed(running(12, 3950, 20));
  ports->line(2)->writes.clear();
  tick(); // row 2 at 0.20, then 0.30 would pass 0.21: done
  EXPECT_FALSE(slot().AutoRunning());
  ASSERT_FALSE(ports->line(2)->writes.isEmpty());
  EXPECT_EQ(quint8(ports->line(2)->writes.last()[1]), 2) << "the stop command";
  EXPECT_EQ(row(2), (QStringList{"2", "0.20", "3.95", "0.8"}));
  EXPECT_TRUE(row(3)[1].isEmpty());
}

TEST_F(AutoTest, AChannelThatNeverReportsRunningIsStoppedAfterAFewTicks) {
  page("0.1", "0.3", "0.1", "2");
  emit panel().StartAutoClick();
  for (int i = 1; i < AutoStepper::kStartTicks; ++i) {
    tick();
    EXPECT_TRUE(slot().AutoRunning()) << i;
  }
  ports->line(2)->writes.clear();
  tick();
  EXPECT_FALSE(slot().AutoRunning());
  ASSERT_EQ(ports->line(2)->writes.size(), 1);
  EXPECT_EQ(quint8(ports->line(2)->writes.last()[1]), 2) << "the stop command";
  EXPECT_TRUE(panel().RunEnable());
}

TEST_F(AutoTest, StopButtonRestoresTheSetBoxAndStops) {
  page("0.5", "0.3", "0.1", "1");
  emit panel().StartAutoClick();
  feed(running(12, 4000, 50));
  tick();
  emit panel().StartAutoClick();
  EXPECT_FALSE(slot().AutoRunning());
  EXPECT_EQ(panel().tSval(0), QStringLiteral("0.40"));
  EXPECT_EQ(quint8(ports->line(2)->writes.last()[1]), 2);
  EXPECT_TRUE(panel().RunEnable());
}

TEST_F(AutoTest, DisconnectEndsTheAutoTestAndTheStepProgram) {
  page("0.1", "0.3", "0.1", "2");
  emit panel().StartAutoClick();
  feed(running(12, 4000, 10));
  tick();
  answer = QMessageBox::Cancel; // "Stop running?": the device goes on by itself
  emit panel().ConnClick();
  EXPECT_FALSE(slot().AutoRunning());
  EXPECT_FALSE(panel().AutoTmrEnable());
  EXPECT_EQ(panel().AutoCmd(), QStringLiteral("Start"));

  open(12);
  panel().setTStepSet(1, 1, QStringLiteral("Wait"));
  panel().setTStepSet(1, 4, QStringLiteral("5"));
  emit panel().StartStepClick();
  emit panel().StepTimer();
  ASSERT_TRUE(slot().StepRunning());
  emit panel().ConnClick();
  EXPECT_FALSE(slot().StepRunning());
  EXPECT_FALSE(panel().StepTmrEnable());
  EXPECT_EQ(panel().StepCmd(), QStringLiteral("Start"));
  EXPECT_TRUE(panel().StepEnable());
}

TEST_F(AutoTest, APageTheModelCannotRunStartsNothingAndSaysWhy) {
  const struct {
    const char *from, *to, *step, *message;
  } cases[] = {
      {"x", "0.3", "0.1", "Invalid value!"},
      {"50", "1", "1", "Setting value out of range!"}, // 50 A on a 10 A load
      {"0.1", "0.3", "0", "Setting value out of range!"},
  };
  for (const auto& c : cases) {
    page(c.from, c.to, c.step, "2");
    ports->line(2)->writes.clear();
    messages.clear();
    emit panel().StartAutoClick();
    EXPECT_FALSE(slot().AutoRunning()) << c.from;
    EXPECT_TRUE(ports->line(2)->writes.isEmpty()) << c.from;
    EXPECT_EQ(messages, QStringList{QLatin1String(c.message)}) << c.from;
    EXPECT_TRUE(panel().RunEnable()) << c.from;
  }
}

TEST_F(AutoTest, SavedResultFileAndFullSizeTable) {
  page("0.1", "0.3", "0.1", "1");
  emit panel().StartAutoClick();
  for (int cur : {10, 20}) {
    feed(running(12, 4000 - cur, cur));
    tick();
  }
  feed(idle(12, 3990));
  tick();
  ASSERT_FALSE(slot().AutoRunning());

  const QStringList expected = {
      "Device:KL-F2",          "Mode:Auto Test", QLatin1String(kBannerLine),
      "Index,Curr(A),Volt(V)", "1,0.10,3.99",    "2,0.20,3.98"};
  for (const char* typed : {"result", "result.csv"}) {
    dialogAnswer = home.file(QLatin1String(typed));
    emit panel().SaveClick();
    EXPECT_EQ(dialogs.last().title, QStringLiteral("Save Result"));
    EXPECT_EQ(dialogs.last().defaultExt, QStringLiteral("csv"));
    EXPECT_EQ(textFileLines(home.read(QStringLiteral("result.csv"))), expected) << typed;
  }
  EXPECT_FALSE(QFile::exists(home.file(QStringLiteral("result.csv.csv"))));
  window->prefs().CSV = false;
  dialogAnswer = home.file(QStringLiteral("result"));
  emit panel().SaveClick();
  EXPECT_EQ(textFileLines(home.read(QStringLiteral("result.dat"))).at(4),
            QStringLiteral("1\t0.10\t3.99"));

  // Full size over the panel, and back with a double click.
  auto* full = window->findChild<PanelGrid*>(QStringLiteral("gridAutolist"));
  ASSERT_NE(full, nullptr);
  EXPECT_TRUE(full->isHidden());
  emit panel().AutoRunDblClick();
  EXPECT_FALSE(full->isHidden());
  EXPECT_TRUE(panel().isHidden());
  EXPECT_EQ(full->Rows(), 41);
  EXPECT_EQ(full->text(0, 3), QStringLiteral("Pwr(W)"));
  EXPECT_EQ(full->text(2, 1), QStringLiteral("0.20"));
  emit full->gridDoubleClicked();
  EXPECT_TRUE(full->isHidden());
  EXPECT_FALSE(panel().isHidden());
}

} // namespace
