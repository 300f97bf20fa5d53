#include "data/ui/dqdvwindow.h"
#include "data/ui/frmdata.h"
#include "data/viewerfile.h"
#include "support/connectedwindow.h"
#include "widgets/curvegraph.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>

using namespace ondrel;
using ondrel::testing::ConnectedWindow;

namespace {

class DataViewer : public ConnectedWindow {
protected:
  frmData* viewer = nullptr;
  QStringList typed; // what the input boxes asked, "prompt|proposal"
  QString answerText;

  void openViewer(bool volCap = false) {
    window->chooseCurveType = [volCap] { return volCap; };
    window->askText = [this](const QString& prompt, const QString& text) {
      typed << prompt + QLatin1Char('|') + text;
      return answerText;
    };
    window->action(QStringLiteral("menuOpenData"))->trigger();
    viewer = window->dataViewer();
    ASSERT_TRUE(viewer);
    viewer->chooseCurveColours = [](const CurveColours& start) { return start; };
  }
  // A data file of `seconds` + 1 lines at `amps` falling from 4.2 V, with a Device line.
  QString dataFile(const QString& name, int seconds = 60, double amps = 1.0,
                   const QByteArray& device = "KL-F2") {
    const char sep = viewerSeparator(name);
    QByteArray b = "Device:" + device + "\r\nTitle:" + name.toUtf8() + "\r\nTime(S)" + sep +
                   "Cur(A)" + sep + "Vol(V)\r\n";
    for (int t = 0; t <= seconds; ++t)
      b += QByteArray::number(t) + sep + QByteArray::number(amps) + sep +
           QByteArray::number(4.2 - 1.2 * t / seconds, 'f', 3) + "\r\n";
    return home.write(name, b);
  }
  int gridRows() { return viewer->grid()->rowCount(); }
};

TEST_F(DataViewer, OpensWithTheCurveTypeAndTheMainWindowsLook) {
  slot().graph().setGridColor(0x123456);
  openViewer();
  EXPECT_EQ(viewer->windowTitle(), QStringLiteral("V--A--Second"));
  CurveGraph& g = viewer->graph();
  EXPECT_EQ(g.LegendText(0), QStringLiteral("Voltage1"));
  EXPECT_EQ(g.LegendText(2), QStringLiteral("Temp1"));
  EXPECT_EQ(g.GridColor(), 0x123456u);
  EXPECT_EQ(g.CurveLineColor(1), slot().graph().CurveLineColor(1));
  EXPECT_TRUE(g.Size());
  EXPECT_EQ(gridRows(), 2);
  EXPECT_EQ(viewer->cell(0, 7), QStringLiteral("Title"));
  viewer->close();
  openViewer(true);
  EXPECT_EQ(viewer->windowTitle(), QStringLiteral("V--A--mAh"));
}

TEST_F(DataViewer, FilesGrowTheGraphAndGridUpToTenThenTheEleventhIsRefused) {
  openViewer();
  const int startHeight = viewer->height();
  ASSERT_TRUE(viewer->LoadFile(dataFile(QStringLiteral("f1.csv"))));
  EXPECT_TRUE(viewer->graph().Size()); // the first file leaves mouse zoom on
  EXPECT_EQ(viewer->graph().CurveCount(), 5);
  EXPECT_EQ(viewer->cell(1, 0), QStringLiteral("KL-F2"));
  EXPECT_EQ(viewer->cell(1, 7), QStringLiteral("f1.csv"));
  EXPECT_NEAR(viewer->graph().MinY(0), 2.85, 1e-5); // 4.2 → 3.0 V
  EXPECT_NEAR(viewer->graph().MaxY(0), 4.35, 1e-5);
  EXPECT_EQ(viewer->graph().MaxX(), 60.0f);
  for (int i = 2; i <= 10; ++i)
    ASSERT_TRUE(viewer->LoadFile(dataFile(QStringLiteral("f%1.dat").arg(i)))) << i;
  EXPECT_FALSE(viewer->graph().Size());
  EXPECT_EQ(viewer->graph().CurveCount(), 50);
  EXPECT_EQ(gridRows(), 11);
  EXPECT_GE(viewer->height(), startHeight);
  EXPECT_EQ(viewer->graph().LegendText(45), QStringLiteral("Voltage10"));
  EXPECT_EQ(viewer->graph().DpCnt(46), 61);
  EXPECT_FALSE(viewer->LoadFile(dataFile(QStringLiteral("f11.csv"))));
  EXPECT_EQ(messages.value(0), QStringLiteral("Beyond the maximum display number!"));
  EXPECT_EQ(viewer->fileCount(), 10);

  answer = QMessageBox::Ok;
  viewer->findChild<QAction*>(QStringLiteral("menuClear"))->trigger();
  EXPECT_EQ(messages.value(1), QStringLiteral("Clear Curve?"));
  EXPECT_EQ(viewer->fileCount(), 0);
  EXPECT_EQ(viewer->graph().CurveCount(), 5);
  EXPECT_TRUE(viewer->graph().Size());
  EXPECT_EQ(viewer->cell(3, 0), QString());
  EXPECT_EQ(gridRows(), 11); // the grid keeps its rows
  ASSERT_TRUE(viewer->LoadFile(dataFile(QStringLiteral("again.csv"))));
  EXPECT_EQ(viewer->cell(1, 7), QStringLiteral("again.csv"));
}

// A file that cannot be shown leaves everything as it was and says why in the status line; the
// next file takes the next row and the next block of curves.
TEST_F(DataViewer, AFailedFileLeavesNoTrace) {
  openViewer();
  ASSERT_TRUE(viewer->LoadFile(dataFile(QStringLiteral("good.csv"))));
  const int height = viewer->height();
  const struct {
    const char* name;
    QByteArray bytes;
    const char* reason;
  } bad[] = {{"headers.csv", "Device:KL-F2\r\nTitle:x\r\n", "no data lines"},
             {"picture.csv", QByteArray("\x89PNG\0\0\0", 7), "not a text file"},
             {"commas.dat", "0\t1,5\t3,7\r\n", "no data lines"}};
  for (const auto& b : bad) {
    const QString path = home.write(QLatin1String(b.name), b.bytes);
    EXPECT_FALSE(viewer->LoadFile(path));
    EXPECT_TRUE(viewer->statusText().contains(QLatin1String(b.name)));
    EXPECT_TRUE(viewer->statusText().contains(QLatin1String(b.reason)))
        << viewer->statusText().toStdString();
  }
  EXPECT_FALSE(viewer->LoadFile(home.file(QStringLiteral("missing.csv"))));
  EXPECT_EQ(viewer->fileCount(), 1);
  EXPECT_EQ(viewer->graph().CurveCount(), 5);
  EXPECT_EQ(gridRows(), 2);
  EXPECT_EQ(viewer->height(), height);
  EXPECT_TRUE(viewer->graph().Size());
  ASSERT_TRUE(viewer->LoadFile(dataFile(QStringLiteral("second.csv"))));
  EXPECT_EQ(viewer->cell(2, 7), QStringLiteral("second.csv"));
  EXPECT_EQ(viewer->graph().DpCnt(5), 61);
  EXPECT_TRUE(messages.isEmpty()); // no modal box for a file that could not be read
}

TEST_F(DataViewer, CapacityOnTheXAxis) {
  openViewer(true);
  ASSERT_TRUE(viewer->LoadFile(dataFile(QStringLiteral("cap.csv"), 3600, 1.0)));
  const CurveGraph& g = viewer->graph();
  EXPECT_EQ(g.xBarType(), 1);
  EXPECT_FLOAT_EQ(g.DpX(0, 3600), 1000.0f);
  EXPECT_FLOAT_EQ(g.DpX(3, 3600), 3600.0f); // the hidden capacity curve keeps time
  EXPECT_EQ(viewer->cell(1, 4), QStringLiteral("1000mAh"));
}

TEST_F(DataViewer, CurrentAndLabelEntries) {
  openViewer();
  viewer->LoadFile(dataFile(QStringLiteral("a.csv")));
  viewer->LoadFile(dataFile(QStringLiteral("b.csv")));
  CurveGraph& g = viewer->graph();
  EXPECT_TRUE(g.ShowCurve(6));
  viewer->findChild<QAction*>(QStringLiteral("menuCurrent"))->trigger();
  EXPECT_FALSE(g.ShowAxesY1());
  EXPECT_FALSE(g.ShowCurve(1));
  EXPECT_FALSE(g.ShowCurve(6));
  EXPECT_FALSE(g.ShowLegend(6));
  EXPECT_TRUE(g.ShowLegend(5));
  viewer->findChild<QAction*>(QStringLiteral("menuLabel"))->trigger();
  EXPECT_FALSE(g.ShowLegend(0));
  EXPECT_FALSE(g.ShowLegend(5));
  viewer->findChild<QAction*>(QStringLiteral("menuCurrent"))->trigger();
  EXPECT_TRUE(g.ShowCurve(6));
  EXPECT_FALSE(g.ShowLegend(6)); // labels are off
}

TEST_F(DataViewer, TitlesAndLegendsEdited) {
  openViewer();
  viewer->LoadFile(dataFile(QStringLiteral("a.csv")));
  answerText = QStringLiteral("Cell 9");
  QTableWidget* grid = viewer->grid();
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                    grid->visualRect(grid->model()->index(1, 7)).center());
  EXPECT_EQ(typed.value(0), QStringLiteral("Please input new title|a.csv"));
  EXPECT_EQ(viewer->cell(1, 7), QStringLiteral("Cell 9"));
  EXPECT_NE(viewer->graph().TitleText(), QStringLiteral("Cell 9"));
  emit viewer->graph().LblClick(0);
  EXPECT_EQ(typed.value(1), QStringLiteral("Please input new label|Voltage1"));
  EXPECT_EQ(viewer->graph().LegendText(0), QStringLiteral("Cell 9"));
  answerText.clear(); // cancelled: kept
  viewer->findChild<QAction*>(QStringLiteral("menuTitle"))->trigger();
  EXPECT_EQ(viewer->graph().LegendText(0), QStringLiteral("Cell 9"));
}

TEST_F(DataViewer, PicturesNameTheDeviceCleanedAndGetBmp) {
  openViewer();
  viewer->show();
  viewer->LoadFile(dataFile(QStringLiteral("a.csv"), 60, 1.0, "KL/F2:x"));
  dialogAnswer = home.file(QStringLiteral("viewer"));
  viewer->findChild<QAction*>(QStringLiteral("menuSaveCurve"))->trigger();
  ASSERT_EQ(dialogs.size(), 1);
  EXPECT_EQ(dialogs[0].title, QStringLiteral("Save Curve"));
  EXPECT_TRUE(dialogs[0].name.endsWith(QStringLiteral("-KL_F2_x")))
      << dialogs[0].name.toStdString();
  const QImage curve(home.file(QStringLiteral("viewer.bmp")));
  ASSERT_FALSE(curve.isNull());
  dialogAnswer = home.file(QStringLiteral("all.bmp"));
  viewer->findChild<QAction*>(QStringLiteral("menuSavePic"))->trigger();
  EXPECT_EQ(dialogs[1].title, QStringLiteral("Save Picture"));
  EXPECT_FALSE(dialogs[1].name.contains(QStringLiteral("KL")));
  EXPECT_GT(QImage(dialogAnswer).height(), curve.height());
}

TEST_F(DataViewer, PicturesAsPngAndSvgAreWrittenAndReadable) {
  openViewer();
  viewer->show();
  viewer->LoadFile(dataFile(QStringLiteral("a.csv")));
  dialogAnswer = home.file(QStringLiteral("shot"));
  viewer->findChild<QAction*>(QStringLiteral("menuSavePng"))->trigger();
  ASSERT_EQ(dialogs.size(), 1);
  EXPECT_EQ(dialogs[0].title, QStringLiteral("Save Picture as PNG"));
  EXPECT_EQ(dialogs[0].defaultExt, QStringLiteral("png"));
  const QImage png(home.file(QStringLiteral("shot.png")), "PNG");
  ASSERT_FALSE(png.isNull());
  EXPECT_EQ(png.size(), viewer->picture(true).size());

  viewer->findChild<QAction*>(QStringLiteral("menuSaveSvg"))->trigger();
  ASSERT_EQ(dialogs.size(), 2);
  EXPECT_EQ(dialogs[1].title, QStringLiteral("Save Picture as SVG"));
  const QByteArray svg = home.read(QStringLiteral("shot.svg"));
  EXPECT_TRUE(svg.startsWith("<?xml")) << svg.left(40).toStdString();
  EXPECT_TRUE(svg.contains("<svg"));
  EXPECT_TRUE(svg.contains("</svg>"));

  // A folder that does not exist: the status line says so, nothing is written, no crash.
  dialogAnswer = home.file(QStringLiteral("missing/shot"));
  for (const char* entry : {"menuSavePng", "menuSaveSvg"}) {
    viewer->findChild<QAction*>(QLatin1String(entry))->trigger();
    EXPECT_TRUE(viewer->statusText().contains(QStringLiteral("could not be written"))) << entry;
  }
  EXPECT_FALSE(QFile::exists(home.file(QStringLiteral("missing"))));
}

TEST_F(DataViewer, DqDvFollowsSmoothingVoltagesAndLoadedFiles) {
  openViewer();
  ASSERT_TRUE(viewer->LoadFile(dataFile(QStringLiteral("one.csv"), 3600, 1.0)));
  ASSERT_TRUE(viewer->LoadFile(dataFile(QStringLiteral("two.csv"), 1800, 2.0)));
  viewer->findChild<QAction*>(QStringLiteral("menuDqDv"))->trigger();
  DqDvWindow* w = viewer->dqdvWindow();
  ASSERT_TRUE(w);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("dQ/dV"));
  EXPECT_EQ(w->smoothing()->value(), 5);
  ASSERT_EQ(w->plot()->curves().size(), 2u);
  for (const auto& curve : w->plot()->curves()) {
    ASSERT_FALSE(curve.empty());
    // 1 Ah over 1.2 V, linearly: about 0.83 Ah/V everywhere (capacity is read in whole mAh).
    EXPECT_NEAR(curve[curve.size() / 2].dqdv, 1.0 / 1.2, 0.05);
  }
  const auto before = w->plot()->curves()[0];
  w->smoothing()->setValue(1);
  EXPECT_NE(w->plot()->curves()[0].size(), 0u);
  EXPECT_FALSE(std::equal(before.begin(), before.end(), w->plot()->curves()[0].begin(),
                          [](const auto& a, const auto& b) { return a.dqdv == b.dqdv; }));

  QTableWidget* t = w->table();
  EXPECT_EQ(t->rowCount(), 2);
  EXPECT_EQ(t->columnCount(), 1);
  w->voltages()->setText(QStringLiteral("4.2 3.6 2.5 x"));
  ASSERT_EQ(t->columnCount(), 4);
  EXPECT_EQ(t->horizontalHeaderItem(2)->text(), QStringLiteral("3.6 V"));
  const char* expected[2][4] = {{"one.csv", "0.0", "500.0", "-"}, {"two.csv", "0.0", "500.0", "-"}};
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_EQ(t->item(r, c)->text(), QLatin1String(expected[r][c])) << r << "," << c;
  EXPECT_EQ(w->note(), QStringLiteral("Not a voltage: x"));

  // A third file joins the open window; "Clear" empties it.
  ASSERT_TRUE(viewer->LoadFile(dataFile(QStringLiteral("three.csv"), 600, 1.0)));
  EXPECT_EQ(t->rowCount(), 3);
  EXPECT_EQ(t->item(2, 2)->text(), QStringLiteral("83.0")); // 1/6 Ah at half way (rounded to mAh)
  viewer->ClearFiles();
  EXPECT_EQ(t->rowCount(), 0);
  EXPECT_TRUE(w->plot()->curves().empty());
}

TEST_F(DataViewer, CoordinateSettingsActOnTheViewerOnly) {
  openViewer();
  viewer->LoadFile(dataFile(QStringLiteral("a.csv")));
  const QByteArray ini = home.read(QStringLiteral("ondrel.ini"));
  viewer->findChild<QAction*>(QStringLiteral("menuCurve"))->trigger();
  auto* dialog = viewer->findChild<QWidget*>(QStringLiteral("frmCurve2"));
  ASSERT_TRUE(dialog);
  dialog->findChild<QLineEdit*>(QStringLiteral("txtVH"))->setText(QStringLiteral("5"));
  QMetaObject::invokeMethod(dialog, "close");
  // Cancel changed nothing; OK applies to the viewer's graph and writes nothing.
  EXPECT_NEAR(viewer->graph().MaxY(0), 4.35, 1e-5);
  viewer->findChild<QAction*>(QStringLiteral("menuCurve"))->trigger();
  QWidget* second = nullptr;
  for (QWidget* w : viewer->findChildren<QWidget*>(QStringLiteral("frmCurve2")))
    if (w->isVisible())
      second = w;
  ASSERT_TRUE(second);
  second->findChild<QLineEdit*>(QStringLiteral("txtVH"))->setText(QStringLiteral("5"));
  QTest::mouseClick(second->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
  EXPECT_FLOAT_EQ(viewer->graph().MaxY(0), 5.0f);
  EXPECT_NE(slot().graph().MaxY(0), 5.0f);
  EXPECT_EQ(home.read(QStringLiteral("ondrel.ini")), ini);
}

// A test ends on the device; its automatic data file, opened in the viewer, shows what the main
// window's grid showed.
TEST_F(DataViewer, ATestsAutomaticFileShowsTheGridsResults) {
  window->prefs().SAVE = true;
  typeParams(QStringLiteral("1.00"), QStringLiteral("3.00"), QStringLiteral("0"));
  emit panel().RunClick(0);
  feed(running(12, 4000, 100));
  for (int i = 1; i <= 30; ++i) {
    ++channel(0).CurveSec;
    ++channel(0).TestSec;
    feed(running(12, 4000 - 10 * i, 100));
  }
  feed(idle(12, 3000));
  const QStringList files = QDir(home.file(QStringLiteral("Data"))).entryList(QDir::Files);
  ASSERT_EQ(files.size(), 1);
  openViewer();
  ASSERT_TRUE(viewer->LoadFile(home.file(QStringLiteral("Data/") + files[0])));
  for (int col = 0; col < 7; ++col)
    EXPECT_EQ(viewer->cell(1, col), slot().gridText(gridRow(0), col)) << col;
}

} // namespace

namespace {

template <typename T> T* shownChild(QWidget* owner, const char* name) {
  for (auto* w : owner->findChildren<QWidget*>(QLatin1String(name)))
    if (w->isVisible())
      return qobject_cast<T*>(w);
  return nullptr;
}

// The real "Curve Type" and "Curve Color" dialogs, each waited for while events run.
TEST_F(DataViewer, CurveTypeAndCurveColourDialogs) {
  QTimer::singleShot(0, window.get(), [this] {
    QWidget* type = shownChild<QWidget>(window.get(), "frmType");
    ASSERT_TRUE(type);
    EXPECT_EQ(type->windowTitle(), QStringLiteral("Curve Type"));
    type->findChild<QRadioButton*>(QStringLiteral("optVC"))->setChecked(true);
    QTest::mouseClick(type->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
  });
  window->action(QStringLiteral("opendat"))->trigger(); // the toolbar button
  frmData* v = window->dataViewer();
  ASSERT_TRUE(v);
  EXPECT_TRUE(v->VolCap());

  window->chooseColour = [] { return qint64(0x00FF00); };
  QTimer::singleShot(0, v, [v] {
    QWidget* colours = shownChild<QWidget>(v, "frmColor");
    ASSERT_TRUE(colours);
    EXPECT_EQ(colours->windowTitle(), QStringLiteral("Curve Color"));
    auto* legend = colours->findChild<QLineEdit*>(QStringLiteral("txtVol"));
    EXPECT_EQ(legend->text(), QStringLiteral("Voltage1"));
    legend->setText(QStringLiteral("Cell A"));
    QTest::mousePress(colours->findChild<QWidget*>(QStringLiteral("lblVolColor")), Qt::LeftButton);
    QTest::mouseClick(colours->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
  });
  ASSERT_TRUE(v->LoadFile(dataFile(QStringLiteral("a.csv"))));
  EXPECT_EQ(v->graph().CurveLineColor(0), 0x00FF00u);
  EXPECT_EQ(v->graph().LegendText(0), QStringLiteral("Cell A"));
}

// While "Curve Color" waits, the program's events run: closing the viewer then ends the load
// without touching the deleted viewer, and a second load or "Clear" is refused. Both questions
// are modal to their owner only.
TEST_F(DataViewer, TheViewerMayCloseWhileCurveColorWaits) {
  window->chooseCurveType = [] { return false; };
  trigger("menuOpenData");
  QPointer<frmData> v = window->dataViewer();
  ASSERT_TRUE(v);
  v->show();
  QTimer::singleShot(0, v, [v] {
    QWidget* colours = shownChild<QWidget>(v, "frmColor");
    ASSERT_TRUE(colours);
    EXPECT_EQ(colours->windowModality(), Qt::WindowModal);
    v->close();
  });
  EXPECT_FALSE(v->LoadFile(dataFile(QStringLiteral("a.csv"))));
  EXPECT_TRUE(v.isNull());
  EXPECT_EQ(window->dataViewer(), nullptr);
  // The next "Open Data" starts anew.
  trigger("menuOpenData");
  ASSERT_TRUE(window->dataViewer());
  EXPECT_EQ(window->dataViewer()->fileCount(), 0);
}

TEST_F(DataViewer, OpenDataAndClearWaitWhileCurveColorWaits) {
  window->chooseCurveType = [] { return false; };
  trigger("menuOpenData");
  frmData* v = window->dataViewer();
  ASSERT_TRUE(v);
  const QString second = dataFile(QStringLiteral("b.csv"));
  dialogAnswer = second;
  QTimer::singleShot(0, v, [this, v, second] {
    QWidget* colours = shownChild<QWidget>(v, "frmColor");
    ASSERT_TRUE(colours);
    EXPECT_TRUE(v->busy());
    v->findChild<QAction*>(QStringLiteral("menuOpenData"))->trigger();
    EXPECT_FALSE(v->LoadFile(second));
    v->findChild<QAction*>(QStringLiteral("menuClear"))->trigger();
    v->ClearFiles();
    EXPECT_TRUE(dialogs.isEmpty());  // no open dialog
    EXPECT_TRUE(messages.isEmpty()); // no "Clear Curve?"
    QTest::mouseClick(colours->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
  });
  ASSERT_TRUE(v->LoadFile(dataFile(QStringLiteral("a.csv"))));
  EXPECT_FALSE(v->busy());
  EXPECT_EQ(v->fileCount(), 1);
  EXPECT_EQ(v->graph().CurveCount(), 5);
  EXPECT_EQ(v->grid()->rowCount(), 2);
  EXPECT_EQ(v->cell(1, 7), QStringLiteral("a.csv"));
  EXPECT_EQ(v->graph().DpCnt(0), 61);
}

// "Curve Type" waits once: a second "Open Data" meanwhile makes no second viewer, and closing the
// program meanwhile opens none after shutdown.
TEST_F(DataViewer, CurveTypeWaitsOnceAndNotPastShutdown) {
  auto okEveryQuestion = [this] {
    for (auto* type : window->findChildren<QWidget*>(QStringLiteral("frmType")))
      if (type->isVisible())
        QTest::mouseClick(type->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
  };
  QTimer::singleShot(0, window.get(), [this, okEveryQuestion] {
    QWidget* type = shownChild<QWidget>(window.get(), "frmType");
    ASSERT_TRUE(type);
    EXPECT_EQ(type->windowModality(), Qt::WindowModal);
    // Answers whatever is asked, should the second "Open Data" ask again.
    QTimer::singleShot(0, window.get(), okEveryQuestion);
    trigger("menuOpenData");
  });
  trigger("menuOpenData");
  EXPECT_EQ(window->findChildren<frmData*>().size(), 1);
  ASSERT_TRUE(window->dataViewer());
  window->dataViewer()->close();
  QTest::qWait(0);

  QTimer::singleShot(0, window.get(), [this] {
    ASSERT_TRUE(shownChild<QWidget>(window.get(), "frmType"));
    answer = QMessageBox::Ok; // "Close software?"
    window->close();
  });
  trigger("menuOpenData");
  EXPECT_EQ(window->dataViewer(), nullptr);
  for (auto* viewer : window->findChildren<frmData*>())
    EXPECT_FALSE(viewer->isVisible());
}

} // namespace
