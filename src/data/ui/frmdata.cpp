#include "data/ui/frmdata.h"

#include "data/datafile.h"
#include "data/filenames.h"
#include "data/slotlayout.h"
#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/support/pendingevents.h"
#include "data/ui/dqdvwindow.h"
#include "data/ui/resulttable.h"
#include "data/ui/settingsdialogs.h"
#include "link/commands.h"
#include "widgets/curvegraph.h"
#include "widgets/keyboard.h"
#include "widgets/windowplacement.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QScreen>
#include <QStatusBar>
#include <QSvgGenerator>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace ondrel {
namespace {

constexpr int kTwips = 15; // twips to a device-independent pixel
int px(int twips) {
  return static_cast<int>(std::lround(double(twips) / kTwips));
}

// A question the caller waits for with events running; the wait ends when `w` is gone. It is
// modal to its owner only: the owner cannot be used or closed by the user meanwhile, while the
// program's timers, reports and other windows go on.
void showAndWait(QWidget* w) {
  bool closed = false;
  QObject::connect(w, &QObject::destroyed, [&closed] { closed = true; });
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->setWindowModality(Qt::WindowModal);
  makeKeyboardWindow(*w);
  w->adjustSize();
  centreOnScreen(*w);
  w->show();
  waitUntilClosed([&closed] { return closed; });
}

QPushButton* okButton(QWidget* parent) {
  auto* b = new QPushButton(QStringLiteral("OK"), parent);
  b->setObjectName(QStringLiteral("cmdOK"));
  b->setDefault(true);
  return b;
}

std::optional<CurveColours> curveColourDialog(QWidget* owner, const CurveColours& start,
                                              const std::function<qint64()>& chooseColour) {
  auto* w = new QWidget(owner, Qt::Dialog | Qt::WindowStaysOnTopHint);
  w->setObjectName(QStringLiteral("frmColor"));
  w->setWindowTitle(QStringLiteral("Curve Color"));
  auto* vol =
      new ColourSwatch(QStringLiteral("lblVolColor"), QStringLiteral("Voltage curve color"), w);
  auto* cur =
      new ColourSwatch(QStringLiteral("lblCurColor"), QStringLiteral("Current curve color"), w);
  vol->setColour(start.volt);
  cur->setColour(start.cur);
  if (chooseColour)
    vol->chooseColour = cur->chooseColour = chooseColour;
  auto* legend = new QLineEdit(start.legend, w);
  legend->setObjectName(QStringLiteral("txtVol"));
  auto* grid = new QGridLayout(w);
  const struct {
    const char* text;
    QWidget* box;
  } rows[] = {{"Volt:", vol}, {"Curr:", cur}, {"Legend:", legend}};
  int r = 0;
  for (const auto& row : rows) {
    auto* caption = new QLabel(QLatin1String(row.text), w);
    caption->setBuddy(row.box);
    grid->addWidget(caption, r, 0);
    grid->addWidget(row.box, r++, 1);
  }
  auto* ok = okButton(w);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), w);
  cancel->setObjectName(QStringLiteral("cmdCancel"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  grid->addLayout(buttons, r, 0, 1, 2);
  std::optional<CurveColours> chosen;
  QObject::connect(ok, &QPushButton::clicked, w, [&chosen, w, vol, cur, legend] {
    chosen = CurveColours{vol->colour(), cur->colour(), legend->text()};
    w->close();
  });
  QObject::connect(cancel, &QPushButton::clicked, w, &QWidget::close);
  showAndWait(w);
  return chosen;
}

} // namespace

// Other windows' events run while the viewer waits for a dialog, and one of them may close (and
// so delete) the viewer: the scope then leaves it alone.
class frmData::BusyScope {
public:
  explicit BusyScope(frmData* viewer) : m_viewer(viewer) { viewer->m_busy = true; }
  ~BusyScope() {
    if (m_viewer)
      m_viewer->m_busy = false;
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
  bool viewerAlive() const { return !m_viewer.isNull(); }

private:
  QPointer<frmData> m_viewer;
};

bool askCurveType(QWidget* owner) {
  auto* w = new QWidget(owner, Qt::Dialog);
  w->setObjectName(QStringLiteral("frmType"));
  w->setWindowTitle(QStringLiteral("Curve Type"));
  auto* optVC = new QRadioButton(QStringLiteral("V--A--mAh"), w);
  optVC->setObjectName(QStringLiteral("optVC"));
  auto* optVT = new QRadioButton(QStringLiteral("V--A--Second"), w);
  optVT->setObjectName(QStringLiteral("optVT"));
  optVT->setChecked(true);
  auto* ok = okButton(w);
  auto* layout = new QVBoxLayout(w);
  layout->addWidget(optVC);
  layout->addWidget(optVT);
  layout->addWidget(ok, 0, Qt::AlignRight);
  bool volCap = false;
  QObject::connect(ok, &QPushButton::clicked, w, [&volCap, optVC, w] {
    volCap = optVC->isChecked();
    w->close();
  });
  showAndWait(w);
  return volCap;
}

frmData::frmData(QWidget* owner, bool volCap, const CurveGraph& look, ViewerServices services)
    : QMainWindow(owner, Qt::Window), m_services(std::move(services)), m_volCap(volCap) {
  setObjectName(QStringLiteral("frmData"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(LangText(volCap ? QStringLiteral("V--A--mAh") : QStringLiteral("V--A--Second")));
  chooseCurveColours = [this](const CurveColours& start) {
    return curveColourDialog(this, start, m_services.chooseColour);
  };

  auto* central = new QWidget(this);
  setCentralWidget(central);
  m_graph = new CurveGraph(central);
  // The graph is named by its title.
  m_graph->setObjectName(QStringLiteral("CurveGraph"));
  gridRun = makeResultTable(2, kViewerColumns, central);
  for (int c = 0; c < kViewerColumns; ++c) {
    gridRun->item(0, c)->setText(LangText(QLatin1String(kViewerHeadings[size_t(c)])));
    gridRun->item(0, c)->setBackground(gridRun->palette().button());
  }
  connect(gridRun, &QTableWidget::cellClicked, this, &frmData::editTitleCell);
  onCellKeys(*gridRun, {Qt::Key_F2, Qt::Key_Return, Qt::Key_Enter}, [this](int row, int col) {
    if (col != kTitleColumn)
      return false;
    editTitleCell(row, col);
    return true;
  });
  statusBar()->setObjectName(QStringLiteral("staData"));

  // The graph: one file's five curves with the main window's look.
  CurveGraph& g = *m_graph;
  g.setCurveCount(kCurvesPerChannel);
  const char* words[] = {"Voltage", "Current", "Temp"};
  for (int k = 0; k < 3; ++k) {
    g.setLegendText(k, LangText(QLatin1String(words[k]) + QLatin1Char('1')));
    g.setCurveLineColor(k, look.CurveLineColor(k));
    g.setCurveAxesY(k, k);
  }
  for (int k = 0; k < kCurvesPerChannel; ++k)
    g.setShowCurve(k, false);
  g.setLine(look.Line());
  g.setGridType1(look.GridType1());
  g.setGridType2(look.GridType2());
  g.setGridColor(look.GridColor());
  g.setBackColor(look.BackColor());
  g.setAxesColor(look.AxesColor());
  g.setMinX(0);
  buildMenus();
  g.setShowAxesY1(menuCurrent->isChecked());
  g.setSize(true);
  connect(m_graph, &CurveGraph::DblClick, this, &frmData::editTitle);
  connect(m_graph, &CurveGraph::LblClick, this, &frmData::editLegend);

  resize(960, 640);
  placeOnScreen();
  layoutParts();
  g.ClearAll();
}

void frmData::buildMenus() {
  auto make = [this](QMenu* menu, const char* name, const char* text) {
    QAction* a = menu->addAction(QString::fromUtf8(text));
    a->setObjectName(QLatin1String(name));
    return a;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  connect(make(file, "menuOpenData", "&Open Data"), &QAction::triggered, this,
          &frmData::LoadDataFile);
  connect(make(file, "menuSaveCurve", "Save &Curve"), &QAction::triggered, this,
          [this] { logFailures(QStringLiteral("ErrSavePic"), [this] { savePicture(false); }); });
  connect(make(file, "menuSavePic", "Save &Picture"), &QAction::triggered, this,
          [this] { logFailures(QStringLiteral("ErrSavePic"), [this] { savePicture(true); }); });
  connect(make(file, "menuSavePng", "Save Picture as P&NG…"), &QAction::triggered, this, [this] {
    logFailures(QStringLiteral("ErrSavePic"), [this] { savePicture(true, PictureFormat::Png); });
  });
  connect(make(file, "menuSaveSvg", "Save Picture as S&VG…"), &QAction::triggered, this, [this] {
    logFailures(QStringLiteral("ErrSavePic"), [this] { savePicture(true, PictureFormat::Svg); });
  });
  for (const auto& [name, keys] :
       {std::pair{"menuOpenData", QKeySequence(QKeySequence::Open)},
        std::pair{"menuSavePic", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}})
    findChild<QAction*>(QLatin1String(name))->setShortcut(keys);
  QMenu* curve = menuBar()->addMenu(QStringLiteral("&Curve"));
  menuCurrent = make(curve, "menuCurrent", "C&urrent");
  menuCurrent->setCheckable(true);
  menuCurrent->setChecked(true);
  connect(menuCurrent, &QAction::triggered, this, &frmData::toggleCurrent);
  menuLabel = make(curve, "menuLabel", "&Label");
  menuLabel->setCheckable(true);
  menuLabel->setChecked(true);
  connect(menuLabel, &QAction::triggered, this, &frmData::toggleLabel);
  connect(make(curve, "menuTitle", "&Title"), &QAction::triggered, this, &frmData::editTitle);
  connect(make(curve, "menuCurve", "C&oordinate Settings"), &QAction::triggered, this,
          &frmData::coordinateSettings);
  connect(make(curve, "menuDqDv", "d&Q/dV…"), &QAction::triggered, this, &frmData::showDqDv);
  connect(make(curve, "menuClear", "Cl&ear"), &QAction::triggered, this, [this] {
    const auto ask = m_services.ask;
    if (!ask || m_busy)
      return;
    QMessageBox::StandardButton answer;
    {
      const BusyScope busy(this);
      answer = ask(QMessageBox::Information, LangText(QStringLiteral("Clear Curve?")),
                   QMessageBox::Ok | QMessageBox::Cancel);
      if (!busy.viewerAlive())
        return;
    }
    if (answer == QMessageBox::Ok)
      ClearFiles();
  });
}

QString frmData::statusText() const {
  return statusBar()->currentMessage();
}

QString frmData::cell(int row, int col) const {
  const QTableWidgetItem* item = gridRun->item(row, col);
  return item ? item->text() : QString();
}

int frmData::gridHeight() const {
  return gridRun->rowCount() * gridRun->verticalHeader()->defaultSectionSize() +
         2 * gridRun->frameWidth();
}

void frmData::placeOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen)
    return;
  const QRect free = screen->availableGeometry();
  const QSize size = this->size().boundedTo(free.size() - QSize(16, 48));
  resize(size);
  move(free.left() + (free.width() - width()) / 2,
       std::max(free.top(), free.top() + (free.height() - height()) / 2 - px(200)));
}

void frmData::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  layoutParts();
}

void frmData::layoutParts() {
  // The design's rule: the grid at the bottom, the graph above it, 100-twip margins.
  const QSize area = centralWidget()->size();
  const int margin = px(100);
  const int width = std::max(0, area.width() - 2 * margin);
  const int gridH = gridHeight();
  const int gridTop = std::max(margin, area.height() - gridH - margin);
  gridRun->setGeometry(margin, gridTop, width, gridH);
  m_graph->setGeometry(margin, margin, width, std::max(0, gridTop - 2 * margin));
  const int widths[] = {1100, 2200, 1000, 1000, 1100, 1100, 1000};
  for (int c = 0; c < 7; ++c)
    gridRun->setColumnWidth(c, px(widths[c]));
  gridRun->setColumnWidth(7, std::max(0, width - px(8500) - 2 * gridRun->frameWidth()));
}

void frmData::LoadDataFile() {
  // The copy outlives the viewer, which may be closed while the dialog waits.
  const auto chooseFile = m_services.chooseFile;
  if (!chooseFile || m_busy)
    return;
  QString path;
  {
    const BusyScope busy(this);
    path = chooseFile(false, LangText(QStringLiteral("Open Data")),
                      QStringLiteral("csv file(*.csv)|*.csv|data file(*.dat)|*.dat|"
                                     "text file(*.txt)|*.txt"),
                      QString(), QString());
    if (!busy.viewerAlive())
      return;
  }
  if (!path.isEmpty())
    LoadFile(path);
}

bool frmData::LoadFile(const QString& path) {
  // A second file or "Clear" while the first one waits for its colours would build on rows and
  // curves that are half made.
  if (m_busy)
    return false;
  const BusyScope busy(this);
  const QString name = QFileInfo(path).fileName();
  if (m_files >= kMaxFiles) {
    if (m_services.ask)
      m_services.ask(QMessageBox::Information,
                     LangText(QStringLiteral("Beyond the maximum display number!")),
                     QMessageBox::Ok);
    return false;
  }
  // The whole file is read and checked before anything shown changes: a file that cannot be
  // shown leaves no half-drawn curves, grid row or grown window behind.
  ViewerFile f;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    f.problem = file.errorString();
  } else {
    f = readViewerFile(file.readAll(), viewerSeparator(path), m_volCap);
    file.close();
  }
  if (!f.problem.isEmpty()) {
    statusBar()->showMessage(LangText(QStringLiteral("%1 was not loaded: ").arg(name)) + f.problem);
    return false;
  }

  CurveGraph& g = *m_graph;
  g.setMinX(0);
  const int k = m_files;
  if (k >= 1) {
    if (g.Large())
      g.setLarge(false);
    g.setSize(false); // mouse zoom stays off until "Clear"
    // A new count repaints curves 0 and 1 in the graph's own colours: theirs are kept.
    const quint32 kept[2] = {g.CurveLineColor(0), g.CurveLineColor(1)};
    g.setCurveCount(g.CurveCount() + kCurvesPerChannel);
    g.setCurveLineColor(0, kept[0]);
    g.setCurveLineColor(1, kept[1]);
    for (int i = curveIndex(k, Curve::Voltage); i < curveIndex(k + 1, Curve::Voltage); ++i)
      g.setShowCurve(i, false);
    addResultRow(gridRun);
    if (!isMaximized() && !isFullScreen()) {
      resize(width(), height() + gridRun->verticalHeader()->defaultSectionSize());
      placeOnScreen();
    }
    layoutParts();
  }
  const int v = curveIndex(k, Curve::Voltage), c = curveIndex(k, Curve::Current);
  g.setLegendText(v, LangText(QStringLiteral("Voltage%1").arg(k + 1)));
  g.setLegendText(c, LangText(QStringLiteral("Current%1").arg(k + 1)));
  g.setCurveAxesY(v, 0);
  g.setCurveAxesY(c, 1);
  // The viewer may be closed, and so deleted, while the colours are chosen: the load then ends
  // without touching it.
  if (const auto choose = chooseCurveColours) {
    const auto chosen = choose({g.CurveLineColor(v), g.CurveLineColor(c), g.LegendText(v)});
    if (!busy.viewerAlive())
      return false;
    if (chosen) {
      g.setCurveLineColor(v, chosen->volt);
      g.setCurveLineColor(c, chosen->cur);
      g.setLegendText(v, chosen->legend);
    }
  }

  const int row = k + 1;
  for (int col = 0; col < kViewerColumns; ++col)
    gridRun->item(row, col)->setText(f.cells[size_t(col)]);
  if (f.deviceSeen)
    m_smallCurrent = f.smallCurrent;
  if (m_volCap)
    g.setxBarType(1);
  const int capCurve = curveIndex(k, Curve::Capacity), enCurve = curveIndex(k, Curve::Energy);
  for (size_t i = 0; i < f.volt.size(); ++i) {
    addViewerPoint(m_ext, f.x[i], f.volt[i], f.cur[i]);
    g.AddXY(v, f.x[i], f.volt[i]);
    g.AddXY(c, f.x[i], f.cur[i]);
    g.AddXY(capCurve, f.t[i], f.capAh[i]);
    g.AddXY(enCurve, f.t[i], f.energyWh[i]);
  }
  g.setShowCurve(v, true);
  g.setShowCurve(c, menuCurrent->isChecked());
  m_analysis.push_back(analysisFile(f.cells[7].isEmpty() ? name : f.cells[7], f.volt, f.capAh));
  ++m_files;
  showLegends();
  const ViewerAxes a = fitViewerAxes(m_ext, m_smallCurrent);
  if (g.MaxX() != float(a.xMax))
    g.setMaxX(float(a.xMax));
  g.setMinY(0, float(a.vLow));
  g.setMaxY(0, float(a.vHigh));
  g.setMinY(1, float(a.cLow));
  g.setMaxY(1, float(a.cHigh));
  g.DrawCurve();
  statusBar()->showMessage(
      LangText(QStringLiteral("%1 loaded: %2 points").arg(name).arg(f.volt.size())));
  if (m_dqdv)
    m_dqdv->refresh();
  return true;
}

void frmData::showLegends() {
  const bool label = menuLabel->isChecked(), current = menuCurrent->isChecked();
  for (int j = 0; j < m_files; ++j) {
    m_graph->setShowLegend(curveIndex(j, Curve::Voltage), label);
    m_graph->setShowLegend(curveIndex(j, Curve::Current), label && current);
  }
  // The first file's third legend is never shown; setting it lays every shown legend out in one
  // column (a legend shown later would otherwise stay where it was made).
  m_graph->setShowLegend(curveIndex(0, Curve::Third), false);
}

void frmData::ClearFiles() {
  if (m_busy)
    return;
  m_graph->ClearAll();
  for (int r = 1; r <= m_files && r < gridRun->rowCount(); ++r)
    for (int c = 0; c < kViewerColumns; ++c)
      gridRun->item(r, c)->setText(QString());
  const quint32 kept[2] = {m_graph->CurveLineColor(0), m_graph->CurveLineColor(1)};
  m_graph->setCurveCount(kCurvesPerChannel);
  m_graph->setCurveLineColor(0, kept[0]);
  m_graph->setCurveLineColor(1, kept[1]);
  m_files = 0;
  m_analysis.clear();
  m_ext = {};
  m_graph->setSize(true);
  m_graph->DrawCurve();
  statusBar()->clearMessage();
  if (m_dqdv)
    m_dqdv->refresh();
}

std::vector<AnalysisFile> frmData::analysisFiles() const {
  std::vector<AnalysisFile> files = m_analysis;
  // A title edited in the grid names the file in the table too.
  for (size_t j = 0; j < files.size(); ++j)
    if (const QString title = cell(int(j) + 1, 7); !title.isEmpty())
      files[j].name = title;
  return files;
}

DqDvWindow* frmData::showDqDv() {
  if (!m_dqdv) {
    DqDvWindow::Source source;
    source.files = [this] { return analysisFiles(); };
    source.colours = [this] {
      std::vector<quint32> colours;
      for (int j = 0; j < m_files; ++j)
        colours.push_back(m_graph->CurveLineColor(curveIndex(j, Curve::Voltage)));
      return colours;
    };
    m_dqdv = new DqDvWindow(this, std::move(source));
  }
  m_dqdv->show();
  m_dqdv->raise();
  return m_dqdv;
}

void frmData::toggleCurrent() {
  const bool on = menuCurrent->isChecked();
  m_graph->setShowAxesY1(on);
  for (int j = 0; j < m_files; ++j)
    m_graph->setShowCurve(curveIndex(j, Curve::Current), on);
  showLegends();
  m_graph->DrawCurve();
}

void frmData::toggleLabel() {
  showLegends();
  m_graph->DrawCurve();
}

QString frmData::askText(const QString& prompt, const QString& text) {
  // The copy outlives the viewer, which may be closed while the input box waits; the answer is
  // then dropped.
  const auto ask = m_services.askText;
  if (!ask)
    return {};
  const QPointer<frmData> alive(this);
  const QString answer = ask(prompt, text);
  return alive ? answer : QString();
}

void frmData::editTitle() {
  const QString answer =
      askText(LangText(QStringLiteral("Please input new title")), m_graph->TitleText());
  if (!answer.isEmpty())
    m_graph->setTitleText(answer);
}

void frmData::editLegend(int index) {
  const QString answer =
      askText(LangText(QStringLiteral("Please input new label")), m_graph->LegendText(index));
  if (!answer.isEmpty()) {
    m_graph->setLegendText(index, answer);
    m_graph->DrawCurve();
  }
}

void frmData::editTitleCell(int row, int col) {
  if (col != kTitleColumn || row < 1 || row > m_files)
    return;
  logFailures(QStringLiteral("ErrTitle2"), [&] {
    const QString answer =
        askText(LangText(QStringLiteral("Please input new title")), cell(row, col));
    if (!answer.isEmpty())
      gridRun->item(row, col)->setText(answer);
  });
}

void frmData::coordinateSettings() {
  const CurveGraph& g = *m_graph;
  auto* dialog = new frmCurve(
      this, coordinateTexts(g.MinY(0), g.MaxY(0), g.MinY(1), g.MaxY(1), g.MinX(), g.MaxX()));
  dialog->setObjectName(QStringLiteral("frmCurve2"));
  if (m_services.tellCoordinateError)
    dialog->tellUser = m_services.tellCoordinateError;
  // The viewer's graph only; nothing goes to the settings file.
  connect(dialog, &frmCurve::accepted, this, [this](const CoordinateTexts& t) {
    auto n = [](const QString& text) { return float(boxNumber(text).value_or(0)); };
    m_graph->setMinY(0, n(t.voltLow));
    m_graph->setMaxY(0, n(t.voltHigh));
    m_graph->setMinY(1, n(t.curLow));
    m_graph->setMaxY(1, n(t.curHigh));
    m_graph->setMinX(n(t.timeLow));
    m_graph->setMaxX(n(t.timeHigh));
    m_graph->DrawCurve();
  });
  dialog->show();
}

QImage frmData::picture(bool withGrid) {
  const QRect g = m_graph->geometry();
  const QRect grid = gridRun->geometry();
  const int height = withGrid ? grid.bottom() + 1 - g.top() : g.height();
  return centralWidget()->grab(QRect(g.topLeft(), QSize(g.width(), height))).toImage();
}

bool frmData::writeSvg(const QString& path) {
  const QRect g = m_graph->geometry();
  const QRect area(g.topLeft(), QSize(g.width(), gridRun->geometry().bottom() + 1 - g.top()));
  QBuffer svg;
  svg.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&svg);
  generator.setSize(area.size());
  generator.setViewBox(QRect(QPoint(), area.size()));
  generator.setTitle(m_graph->TitleText().isEmpty() ? windowTitle() : m_graph->TitleText());
  {
    QPainter painter(&generator);
    if (!painter.isActive())
      return false;
    centralWidget()->render(&painter, QPoint(), QRegion(area));
  }
  // Written whole or not at all: a failed write leaves no half file behind.
  QSaveFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(svg.data()) == svg.data().size() &&
         file.commit();
}

void frmData::savePicture(bool withGrid, PictureFormat format) {
  const auto chooseFile = m_services.chooseFile;
  if (!chooseFile)
    return;
  QString name = dateTimeStem(QDateTime::currentDateTime());
  // "Save Curve" names the first file's device.
  if (!withGrid && !cell(1, 0).isEmpty())
    name += QLatin1Char('-') + fileNameSafe(cell(1, 0));
  const QString extension = format == PictureFormat::Png   ? QStringLiteral("png")
                            : format == PictureFormat::Svg ? QStringLiteral("svg")
                                                           : QStringLiteral("bmp");
  QString title = withGrid ? QStringLiteral("Save Picture") : QStringLiteral("Save Curve");
  if (format != PictureFormat::Bmp)
    title += QStringLiteral(" as ") + extension.toUpper();
  const QPointer<frmData> alive(this);
  const QString chosen = chooseFile(
      true, LangText(title), QStringLiteral("%1 file(*.%1)|*.%1").arg(extension), name, extension);
  if (!alive || chosen.isEmpty())
    return;
  const QString path = withExtension(chosen, extension);
  if (!letPendingEventsRunTwice(this))
    return;
  bool written = false;
  if (format == PictureFormat::Svg) {
    written = writeSvg(path);
  } else {
    const QImage image = picture(withGrid);
    written = !image.isNull() && image.save(path, format == PictureFormat::Png ? "PNG" : "BMP");
  }
  if (!written) {
    statusBar()->showMessage(LangText(QStringLiteral("The picture could not be written: ")) +
                             QDir::toNativeSeparators(path));
    throw Failure(QStringLiteral("cannot write ") + QDir::toNativeSeparators(path));
  }
}

void frmData::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  emit closed();
}

} // namespace ondrel
