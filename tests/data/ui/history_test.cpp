#include "data/support/ini.h"
#include "data/textfile.h"
#include "data/ui/frmdata.h"
#include "data/ui/frmhistory.h"
#include "history/historywriter.h"
#include "support/connectedwindow.h"
#include "support/loopbacklistener.h"
#include "widgets/curvegraph.h"

#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>


#include <chrono>

using namespace ondrel;
using ondrel::testing::ConnectedWindow;

namespace {

class History : public ConnectedWindow {
protected:
  void SetUp() override {
    ConnectedWindow::SetUp();
    window->prefs().SAVE = true;
  }
  std::vector<TestRecord> rows() {
    window->history().flush();
    Catalogue c(localStore(home.path()));
    c.open();
    return c.query({}, {QStringLiteral("id"), false});
  }
  void runTest(bool userStops) {
    typeParams(QStringLiteral("1.00"), QStringLiteral("3.00"), QStringLiteral("0"));
    feed(idle(12, 4100));
    emit panel().RunClick(0);
    feed(running(12, 4000, 100));
    ++channel(0).TestSec;
    feed(running(12, 3900, 100));
    if (userStops)
      emit panel().StopClick(0);
    feed(idle(12, 3000));
  }
  void selectAll(frmHistory& h) { h.view()->selectAll(); }
  // The window's catalogue work is back.
  static void settle(frmHistory& h) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !h.busy(); }, 20000));
  }
};

TEST_F(History, EveryEndedTestAddsOneRowWithItsFilesAndHowItEnded) {
  slot().graph().setTitleText(QStringLiteral("Cell 7"));
  runTest(false);
  runTest(true);
  const auto r = rows();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].kind, kind::Test);
  EXPECT_EQ(r[0].endReason, endreason::Device);
  EXPECT_EQ(r[1].endReason, endreason::Stopped);
  EXPECT_EQ(r[0].label, QStringLiteral("Cell 7"));
  EXPECT_EQ(r[0].model, QStringLiteral("KL-F2"));
  EXPECT_EQ(r[0].mode, QStringLiteral("D-CC"));
  EXPECT_NEAR(*r[0].setValue, 1.0, 1e-9);
  EXPECT_NEAR(*r[0].beginV, 4.1, 1e-6);
  EXPECT_NEAR(*r[0].endV, 3.0, 1e-6);
  EXPECT_TRUE(QFile::exists(r[0].dataFile)) << r[0].dataFile.toStdString();
  EXPECT_TRUE(r[0].recordingFile.endsWith(QStringLiteral(".bak")));
  EXPECT_NE(r[0].uid, r[1].uid);
}

TEST_F(History, TheWindowFiltersSumsExportsOpensAndDeletes) {
  const QString present =
      home.write(QStringLiteral("Data/a.csv"), "Device:KL-F2\r\n0,1,4.2\r\n1,1,4.1\r\n2,1,4.0\r\n");
  {
    Catalogue c(localStore(home.path()));
    c.open();
    std::vector<TestRecord> rs;
    for (int i = 0; i < 3; ++i) {
      TestRecord r;
      r.uid = QString::number(i);
      r.kind = kind::Test;
      r.startedUtc = QStringLiteral("2026-12-0%1T10:00:00Z").arg(i + 1);
      r.label = i == 2 ? QStringLiteral("other") : QStringLiteral("cell %1").arg(i);
      r.capacityAh = 2.0 + i;
      r.energyWh = 1.0;
      r.dataFile = i == 0 ? present : home.file(QStringLiteral("Data/gone.csv"));
      rs.push_back(r);
    }
    c.add(rs);
  }
  trigger("menuHistory");
  frmHistory* h = window->historyWindow();
  ASSERT_TRUE(h);
  settle(*h);
  EXPECT_EQ(h->table().rowCount(), 3);
  EXPECT_EQ(h->sumsText(), QStringLiteral("3 tests · 9.000 Ah · 3.000 Wh"));
  // A moved or deleted data file is shown as missing, not as an error.
  EXPECT_EQ(h->table()
                .data(h->table().index(1, int(HistoryColumn::DataFile)), Qt::DisplayRole)
                .toString(),
            QStringLiteral("gone.csv (missing)"));

  h->findChild<QLineEdit*>(QStringLiteral("txtLabel"))->setText(QStringLiteral("CELL"));
  h->applyFilter();
  settle(*h);
  EXPECT_EQ(h->table().rowCount(), 2);
  EXPECT_EQ(h->sumsText(), QStringLiteral("2 tests · 5.000 Ah · 2.000 Wh"));

  // Export by the "CSV" preference.
  selectAll(*h);
  window->prefs().CSV = true;
  dialogAnswer = home.file(QStringLiteral("out.csv"));
  h->exportSelected();
  const QStringList lines = textFileLines(home.read(QStringLiteral("out.csv")));
  ASSERT_EQ(lines.size(), 3);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("id,uid,kind,")));

  // Battery Data Format: one file for the test whose data file is there, the other named.
  const QString bdfFolder = home.file(QStringLiteral("bdf"));
  QDir().mkpath(bdfFolder);
  window->chooseFolder = [&](const QString&) { return bdfFolder; };
  messages.clear();
  h->exportBdf();
  const QStringList bdf = QDir(bdfFolder).entryList(QDir::Files);
  ASSERT_EQ(bdf.size(), 1);
  EXPECT_TRUE(bdf[0].endsWith(QStringLiteral(".bdf.csv")));
  EXPECT_EQ(messages.size(), 1);

  // Opening: the present file goes to the viewer, the missing one is said.
  window->chooseCurveType = [] { return false; };
  window->OpenData();
  ASSERT_TRUE(window->dataViewer());
  window->dataViewer()->chooseCurveColours = [](const CurveColours& start) { return start; };
  h->openSelected();
  EXPECT_EQ(window->dataViewer()->fileCount(), 1);
  EXPECT_TRUE(h->statusText().contains(QStringLiteral("1 of the selected")));
  window->dataViewer()->close();

  // Deleting asks first; No keeps everything, Yes removes the rows and leaves the files.
  answer = QMessageBox::No;
  h->deleteSelected();
  settle(*h);
  EXPECT_EQ(h->table().rowCount(), 2);
  answer = QMessageBox::Yes;
  selectAll(*h);
  h->deleteSelected();
  settle(*h);
  EXPECT_EQ(h->table().rowCount(), 0);
  EXPECT_TRUE(QFile::exists(present));
  h->findChild<QLineEdit*>(QStringLiteral("txtLabel"))->clear();
  h->applyFilter();
  settle(*h);
  EXPECT_EQ(h->table().rowCount(), 1);
  h->close();
}

TEST_F(History, MatchCellsGroupsTheSelection) {
  {
    Catalogue c(localStore(home.path()));
    c.open();
    std::vector<TestRecord> rs;
    const double caps[] = {1.0, 2.0, 3.0, 4.0, 0.5};
    for (int i = 0; i < 5; ++i) {
      TestRecord r;
      r.uid = QString::number(i);
      r.kind = kind::Test;
      r.label = QStringLiteral("c%1").arg(i);
      r.capacityAh = caps[i];
      rs.push_back(r);
    }
    c.add(rs);
  }
  frmHistory* h = window->showHistory();
  settle(*h);
  h->view()->selectAll();
  h->matchSelected();
  auto* m = h->findChild<frmMatch*>();
  ASSERT_TRUE(m);
  m->setPack(2, 2);
  m->match();
  EXPECT_NEAR(m->result().spreadMah, 0.0, 1e-9);
  EXPECT_TRUE(m->spreadText().contains(QStringLiteral("Left over: c4")))
      << m->spreadText().toStdString();
  dialogAnswer = home.file(QStringLiteral("pack.csv"));
  m->exportCsv();
  EXPECT_EQ(textFileLines(home.read(QStringLiteral("pack.csv"))).size(), 6);
  h->close();
}

TEST_F(History, PagesComeAsTheViewScrollsAndAPageOfAnEarlierFilterIsDropped) {
  {
    Catalogue c(localStore(home.path()));
    c.open();
    std::vector<TestRecord> rs;
    for (int i = 0; i < 450; ++i) {
      TestRecord r;
      r.uid = QString::number(i);
      r.kind = kind::Test;
      r.startedUtc = QStringLiteral("2026-12-01T10:00:00Z");
      r.label = i < 10 ? QStringLiteral("few %1").arg(i) : QStringLiteral("many %1").arg(i);
      rs.push_back(r);
    }
    c.add(rs);
  }
  frmHistory* h = window->showHistory();
  settle(*h);
  auto& t = h->table();
  EXPECT_EQ(t.rowCount(), 200);
  // Typed but not applied: the pages still follow the filter shown.
  h->findChild<QLineEdit*>(QStringLiteral("txtLabel"))->setText(QStringLiteral("few"));
  t.fetchMore({});
  EXPECT_FALSE(t.canFetchMore({})); // one page asked for at a time
  settle(*h);
  EXPECT_EQ(t.rowCount(), 400);
  t.fetchMore({});
  settle(*h);
  EXPECT_EQ(t.rowCount(), 450);
  EXPECT_FALSE(t.canFetchMore({}));

  // A page asked for under the old filter arrives after the new filter's first page is asked for.
  h->findChild<QLineEdit*>(QStringLiteral("txtLabel"))->clear();
  h->applyFilter();
  settle(*h);
  t.fetchMore({});
  h->findChild<QLineEdit*>(QStringLiteral("txtLabel"))->setText(QStringLiteral("few"));
  h->applyFilter();
  settle(*h);
  EXPECT_EQ(t.rowCount(), 10);
  EXPECT_EQ(h->sumsText(), QStringLiteral("10 tests · 0.000 Ah · 0.000 Wh"));
  h->close();
}

// A lab server that takes the connection and never answers: the client waits its whole connect
// time, the way a server behind a dead route does.
class SilentServer {
public:
  QString url() const {
    return QStringLiteral("postgresql://ondrel@127.0.0.1:%1/lab").arg(m_socket.port());
  }

private:
  ondrel::testing::LoopbackListener m_socket{4}; // never accepted
};

TEST_F(History, ALabServerThatDoesNotAnswerFreezesNothingAndTheLocalTestsAreShown) {
  // Kept here while the lab server was away.
  {
    Catalogue c(localStore(home.path()));
    c.open();
    TestRecord r;
    r.uid = QStringLiteral("kept");
    r.kind = kind::Test;
    r.label = QStringLiteral("not sent yet");
    r.unsent = true;
    c.add({r});
  }
  SilentServer lab;
  IniWrite(home.file(QStringLiteral("ondrel.ini")), QStringLiteral("ARCHIVE"), QStringLiteral("URL"),
           lab.url());

  const auto before = std::chrono::steady_clock::now();
  frmHistory* h = window->showHistory();
  const auto took = std::chrono::steady_clock::now() - before;
  ASSERT_TRUE(h);
  EXPECT_LT(took, std::chrono::milliseconds(1000));
  EXPECT_TRUE(h->statusText().contains(QStringLiteral("Connecting"))) << h->statusText().toStdString();

  // The window keeps answering while the connect waits: its events run.
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(20);
  QTest::qWait(300);
  EXPECT_GE(ticks, 5);
  EXPECT_TRUE(h->busy());

  settle(*h);
  ASSERT_EQ(h->table().rowCount(), 1);
  EXPECT_EQ(h->table().row(0).label, QStringLiteral("not sent yet"));
  EXPECT_TRUE(h->statusText().contains(QStringLiteral("lab server is not reachable")))
      << h->statusText().toStdString();
  delete h;

  // Closed while it still connects: gone at once, and nothing comes back to it later.
  const auto again = std::chrono::steady_clock::now();
  delete window->showHistory();
  EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::milliseconds(1000));
}

} // namespace
