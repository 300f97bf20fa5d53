#include "data/slotlayout.h"
#include "data/ui/frmdata.h"
#include "data/ui/rescalcommands.h"
#include "data/ui/settingsdialogs.h"
#include "support/connectedwindow.h"
#include "test/ui/devctrl.h"
#include "test/ui/panelparts.h"
#include "widgets/curvegraph.h"
#include "widgets/keyboard.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace ondrel;
using ondrel::testing::ConnectedWindow;
using ondrel::testing::Report;

namespace {

class Keyboard : public ConnectedWindow {
protected:
  // The main window shown and active, as a person at the keyboard has it.
  void showActive() {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  QTableWidget* mainGrid() { return window->findChild<QTableWidget*>(QStringLiteral("gridRun")); }
  void focus(QWidget* w) {
    w->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([w] { return QApplication::focusWidget() == w; }));
  }

  struct Escaped {
    bool shown = false;    // the window appeared
    bool hadFocus = false; // the focus went into it
    bool closed = false;   // Escape closed it
  };
  // Opens a window with `open` (which may wait until it closes) and presses Escape on the control
  // of the window that has the focus.
  Escaped escapeFrom(const char* name, const std::function<void()>& open) {
    Escaped r;
    QPointer<QWidget> seen;
    QObject scope; // the timer goes with the scope should the window never come
    QTimer::singleShot(0, &scope, [&] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == QLatin1String(name))
          seen = w;
      if (!seen)
        return;
      r.shown = true;
      r.hadFocus = QTest::qWaitFor([&] {
        const QWidget* f = QApplication::focusWidget();
        return f && seen && f->window() == seen;
      });
      QWidget* f = QApplication::focusWidget();
      QTest::keyClick(f ? f : seen.data(), Qt::Key_Escape);
    });
    open();
    (void)QTest::qWaitFor([&] { return r.shown; });
    r.closed = r.shown && QTest::qWaitFor([&] { return !seen || !seen->isVisible(); });
    return r;
  }
  // Escape closes window `name` and the focus comes back to `back`.
  void expectEscapeCloses(const char* name, QWidget* back, const std::function<void()>& open) {
    focus(back);
    const Escaped r = escapeFrom(name, open);
    EXPECT_TRUE(r.shown) << name;
    EXPECT_TRUE(r.hadFocus) << name << " did not take the focus";
    EXPECT_TRUE(r.closed) << name << " stayed open";
    EXPECT_TRUE(QTest::qWaitFor([back] { return QApplication::focusWidget() == back; }))
        << name << ": the focus did not come back";
  }
};

TEST_F(Keyboard, TabLeavesEveryTableAndArrowsMoveBetweenItsCells) {
  window.reset();
  open(7); // a load with the auto test and step program pages
  showActive();
  auto* pages = panel().findChild<QTabBar*>(QStringLiteral("tabDev"));
  ASSERT_TRUE(pages);
  QStringList reached;
  for (const char* name : {"gridAutoRun", "gridStepSet", "gridStepRun"}) {
    auto* table = panel().findChild<PanelGrid*>(QLatin1String(name));
    ASSERT_TRUE(table) << name;
    for (int i = 0; i < pages->count() && !table->isVisible(); ++i)
      pages->setCurrentIndex(i);
    ASSERT_TRUE(table->isVisible()) << name;
    for (const auto mods : {Qt::KeyboardModifiers{}, Qt::KeyboardModifiers{Qt::ShiftModifier}}) {
      focus(table);
      table->setCurrentCell(0, 0);
      QTest::keyClick(table, Qt::Key_Down);
      EXPECT_EQ(table->currentRow(), 1) << name;
      QTest::keyClick(table, Qt::Key_Right);
      EXPECT_EQ(table->currentColumn(), 1) << name;
      QTest::keyClick(table, Qt::Key_Tab, mods);
      EXPECT_NE(QApplication::focusWidget(), table) << name << " kept Tab " << int(mods);
      EXPECT_EQ(table->currentRow(), 1) << name; // Tab moved no cell
    }
  }

  // The step editor's table (the editor is waited for), and the result grid, which Tab reaches
  // and leaves.
  bool editorSeen = false;
  QTimer::singleShot(0, window.get(), [&] {
    auto* editor = window->findChild<QWidget*>(QStringLiteral("frmStep"));
    if (!editor)
      return;
    editorSeen = true;
    auto* steps = editor->findChild<PanelGrid*>(QStringLiteral("gridSet"));
    EXPECT_TRUE(QTest::qWaitForWindowActive(editor));
    steps->setFocus(Qt::OtherFocusReason);
    EXPECT_TRUE(QTest::qWaitFor([steps] { return QApplication::focusWidget() == steps; }));
    QTest::keyClick(steps, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), steps);
    editor->close();
  });
  emit panel().SetStepClick();
  EXPECT_TRUE(editorSeen);

  QTableWidget* grid = mainGrid();
  EXPECT_TRUE(grid->focusPolicy() & Qt::TabFocus);
  EXPECT_TRUE(slot().graph().focusPolicy() & Qt::TabFocus);
  focus(grid);
  QTest::keyClick(grid, Qt::Key_Tab);
  EXPECT_NE(QApplication::focusWidget(), grid);
}

TEST_F(Keyboard, EscapeClosesEachSubWindowAndTheFocusComesBack) {
  window.reset();
  open(17); // a two-channel load: resistance test and calibration
  showActive();
  QWidget* grid = mainGrid();
  const struct {
    const char* name;
    std::function<void()> open;
  } windows[] = {
      {"frmSw", [this] { trigger("menuSoft"); }},
      {"frmShow", [this] { trigger("menuDisp"); }},
      {"frmCurve", [this] { trigger("menuCurve"); }},
      {"frmRes", [this] { ResistanceTest(*window); }},
      {"frmAdj", [this] { ParameterCalibration(*window); }},
      {"frmStep", [this] { emit panel().SetStepClick(); }},
      {"frmType", [this] { EXPECT_FALSE(askCurveType(window.get())); }},
  };
  for (const auto& w : windows)
    expectEscapeCloses(w.name, grid, w.open);
  // Only the calibration's opening question: Escape ran no box's check on leaving it.
  EXPECT_EQ(messages, QStringList{"Calibrate Parameter?"});

  emit panel().ConnClick(); // the firmware update wants a disconnected slot
  expectEscapeCloses("frmUpdate", grid, [this] { trigger("menuUpdate"); });

  // The viewer's own dialogs give the focus back to the viewer.
  window->chooseCurveType = [] { return false; };
  trigger("menuOpenData");
  frmData* viewer = window->dataViewer();
  ASSERT_TRUE(viewer);
  viewer->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(viewer));
  const QString file =
      home.write(QStringLiteral("a.csv"), "Device:KL-F2\r\n0,1,4.2\r\n1,1,4.1\r\n");
  expectEscapeCloses("frmColor", viewer->grid(), [&] { viewer->LoadFile(file); });
  expectEscapeCloses("frmCurve2", viewer->grid(),
                     [&] { viewer->findChild<QAction*>(QStringLiteral("menuCurve"))->trigger(); });
  viewer->close();

  // A USB meter's quick-charge window.
  window.reset();
  open(26);
  Report info = idle(26, 5000);
  info.info = 1, info.set = 320, info.limit = 2100, info.time = 4000;
  feed(info);
  feed(info);
  showActive();
  expectEscapeCloses("frmUSB", mainGrid(), [this] { trigger("menuUsb"); });
}

TEST_F(Keyboard, SpaceAndEnterOnASwatchOpenTheColourChooser) {
  showActive();
  // The dialog's swatches.
  int asked = 0;
  auto* show = new frmShow(window.get(), DisplayLoad{}, window->prefs());
  show->setColourChooser([&asked] { return ++asked == 1 ? qint64(0x0000FF) : qint64(-1); });
  show->show();
  auto* axes = show->findChild<ColourSwatch*>(QStringLiteral("lblAxesColor"));
  ASSERT_TRUE(QTest::qWaitForWindowActive(show));
  focus(axes);
  QTest::keyClick(axes, Qt::Key_Space);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(axes->colour(), 0x0000FFu);
  QTest::keyClick(axes, Qt::Key_Return); // cancelled: the colour stays
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(axes->colour(), 0x0000FFu);
  QTest::keyClick(axes, Qt::Key_A); // other keys choose nothing
  EXPECT_EQ(asked, 2);
  show->close();

  // The result grid's swatch cells; other cells leave Space and Enter to the grid.
  window->chooseColour = [&asked] {
    ++asked;
    return qint64(0x00FF00);
  };
  asked = 0;
  QTableWidget* grid = mainGrid();
  focus(grid);
  grid->setCurrentCell(gridRow(0), colMode);
  QTest::keyClick(grid, Qt::Key_Space);
  EXPECT_EQ(asked, 0);
  grid->setCurrentCell(gridRow(0), colVoltSwatch);
  QTest::keyClick(grid, Qt::Key_Space);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(slot().graph().CurveLineColor(curveIndex(0, Curve::Voltage)), 0x00FF00u);
  grid->setCurrentCell(gridRow(0), colCurSwatch);
  QTest::keyClick(grid, Qt::Key_Enter);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(slot().graph().CurveLineColor(curveIndex(0, Curve::Current)), 0x00FF00u);
}

TEST_F(Keyboard, EnterOpensAndClosesTheFullAutoListAndEditsAViewerTitle) {
  showActive();
  auto* pages = panel().findChild<QTabBar*>(QStringLiteral("tabDev"));
  auto* autoRun = panel().findChild<PanelGrid*>(QStringLiteral("gridAutoRun"));
  auto* full = window->findChild<PanelGrid*>(QStringLiteral("gridAutolist"));
  for (int i = 0; i < pages->count() && !autoRun->isVisible(); ++i)
    pages->setCurrentIndex(i);
  focus(autoRun);
  QTest::keyClick(autoRun, Qt::Key_Return);
  ASSERT_TRUE(full->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), full);
  QTest::keyClick(full, Qt::Key_Enter);
  EXPECT_FALSE(full->isVisible());
  EXPECT_TRUE(panel().isVisible());
  EXPECT_EQ(QApplication::focusWidget(), autoRun);

  // The viewer's "Title" cell: F2 or Enter, as a click.
  QStringList asked;
  window->askText = [&asked](const QString& prompt, const QString&) {
    asked << prompt;
    return QStringLiteral("Cell %1").arg(asked.size());
  };
  window->chooseCurveType = [] { return false; };
  trigger("menuOpenData");
  frmData* viewer = window->dataViewer();
  ASSERT_TRUE(viewer);
  viewer->chooseCurveColours = [](const CurveColours& start) { return start; };
  ASSERT_TRUE(viewer->LoadFile(
      home.write(QStringLiteral("a.csv"), "Device:KL-F2\r\n0,1,4.2\r\n1,1,4.1\r\n")));
  viewer->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(viewer));
  QTableWidget* cells = viewer->grid();
  focus(cells);
  cells->setCurrentCell(1, 0); // not the title: nothing asked
  QTest::keyClick(cells, Qt::Key_F2);
  EXPECT_TRUE(asked.isEmpty());
  cells->setCurrentCell(1, kTitleColumn);
  QTest::keyClick(cells, Qt::Key_F2);
  EXPECT_EQ(viewer->cell(1, kTitleColumn), QStringLiteral("Cell 1"));
  QTest::keyClick(cells, Qt::Key_Return);
  EXPECT_EQ(viewer->cell(1, kTitleColumn), QStringLiteral("Cell 2"));
  viewer->close();
}

// Every menu title and entry has an underlined letter of its own within its menu, and the
// captions without it are the words the program has always shown.
TEST_F(Keyboard, EveryMenuEntryHasAMnemonicAndKeepsItsWords) {
  const auto readMenus = [](QMenuBar* bar) {
    QStringList words;
    QSet<QKeySequence> titles;
    for (QAction* m : bar->actions()) {
      const QKeySequence title = QKeySequence::mnemonic(m->text());
      EXPECT_FALSE(title.isEmpty()) << m->text().toStdString();
      EXPECT_FALSE(titles.contains(title)) << m->text().toStdString() << " shares its letter";
      titles.insert(title);
      QStringList entries;
      QSet<QKeySequence> letters;
      for (QAction* a : m->menu()->actions()) {
        if (a->isSeparator())
          continue;
        const QKeySequence letter = QKeySequence::mnemonic(a->text());
        EXPECT_FALSE(letter.isEmpty()) << a->text().toStdString();
        EXPECT_FALSE(letters.contains(letter)) << a->text().toStdString() << " shares its letter";
        letters.insert(letter);
        entries << withoutMnemonic(a->text());
      }
      words << withoutMnemonic(m->text()) + QStringLiteral(": ") +
                   entries.join(QStringLiteral(", "));
    }
    return words;
  };
  EXPECT_EQ(
      readMenus(window->menuBar()),
      (QStringList{"File: Open Parameter, Save Parameter, Open Data, Save Data, Save Curve, "
                   "Save Picture, Export Data…, Test History, Import Data Folder…, Exit",
                   "System: Add Device, Parameter Calibration, Firmware Update",
                   "Tools: Clear Curve, Search Comm Port, Resistance Test, Quick Charger Test, "
                   "Match Cells",
                   "Setting: Curve Title, Coordinate Settings, Display Setting, Temprature "
                   "Data, Software Setting, Network Setting",
                   "Help: Help, About"}));

  window->chooseCurveType = [] { return false; };
  trigger("menuOpenData");
  ASSERT_TRUE(window->dataViewer());
  EXPECT_EQ(readMenus(window->dataViewer()->menuBar()),
            (QStringList{"File: Open Data, Save Curve, Save Picture, Save Picture as PNG…, Save "
                         "Picture as SVG…",
                         "Curve: Current, Label, Title, Coordinate Settings, dQ/dV…, Clear"}));
  window->dataViewer()->close();

  EXPECT_EQ(withoutMnemonic(QStringLiteral("Sa&ve && Load&")), QStringLiteral("Save & Load&"));
}

TEST_F(Keyboard, TheCommonEntriesHaveTheirShortcuts) {
  window->chooseCurveType = [] { return false; };
  window->openUrl = [](const QUrl&) { return true; };
  answer = QMessageBox::Cancel; // "Close software?" is answered Cancel
  showActive();
  const struct {
    const char* action;
    QKeySequence keys;
  } cases[] = {
      {"menuSaveData", QKeySequence(Qt::CTRL | Qt::Key_S)},
      {"menuSavePic", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
      {"menuAddDev", QKeySequence(Qt::CTRL | Qt::Key_N)},
      {"menuSearch", QKeySequence(Qt::Key_F5)},
      {"menuHelp", QKeySequence(Qt::Key_F1)},
      {"menuExit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
      {"menuOpenData", QKeySequence(Qt::CTRL | Qt::Key_O)}, // last: the viewer takes the focus
  };
  for (const auto& c : cases) {
    QAction* a = window->action(QLatin1String(c.action));
    ASSERT_TRUE(a) << c.action;
    QSignalSpy spy(a, &QAction::triggered);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keySequence(window.get(), c.keys);
    EXPECT_EQ(spy.count(), 1) << c.action;
  }
  EXPECT_EQ(window->slotCount(), 2); // Ctrl+N added a device
  EXPECT_TRUE(messages.contains(QStringLiteral("Close software?")));
  EXPECT_TRUE(window->isVisible()); // Ctrl+Q asked as the close button does
  ASSERT_TRUE(window->dataViewer());
  window->dataViewer()->close();
}

} // namespace
