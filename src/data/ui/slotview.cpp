#include "data/ui/slotview.h"

#include "data/preferences.h"
#include "data/settings.h"
#include "data/slotgeometry.h"
#include "data/slotlayout.h"
#include "data/support/langtext.h"
#include "data/ui/resulttable.h"
#include "test/autostepper.h"
#include "test/ui/devctrl.h"
#include "test/ui/panelparts.h"
#include "widgets/colour.h"
#include "widgets/curvegraph.h"
#include "widgets/keyboard.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QListWidget>
#include <QTableWidget>

namespace ondrel {
namespace {

const char* const kGridHeadings[] = {"Device", "Mode",     "Begin Volt", "Cutoff Volt", "Capacity",
                                     "Energy", "Avg Volt", "Curve",      "Curve"};
const char* const kLegendWords[] = {"Voltage", "Current", "Temp"};

QTableWidget* makeResultGrid(QWidget* parent) {
  QTableWidget* grid = makeResultTable(3, kGridColumns, parent);
  // Reached by Tab, read cell by cell with the arrow keys; a click does not take the focus from
  // the box being typed in.
  grid->setFocusPolicy(Qt::TabFocus);
  for (int c = 0; c < kGridColumns; ++c) {
    QTableWidgetItem* h = grid->item(0, c);
    const bool swatch = c >= colVoltSwatch;
    h->setText(!swatch
                   ? LangText(QString::fromLatin1(kGridHeadings[c]))
                   : QLatin1String(kGridHeadings[c]) + QLatin1Char(c == colVoltSwatch ? 'V' : 'A'));
    h->setBackground(grid->palette().button());
    if (swatch) {
      // The swatch columns are 50 pixels wide: a size smaller keeps "CurveV" whole.
      QFont small = grid->font();
      small.setPointSizeF(small.pointSizeF() * 0.85);
      h->setFont(small);
      h->setToolTip(h->text());
    }
  }
  // Column widths follow the grid's width (SlotView::LayoutSlots).
  grid->horizontalHeader()->setStretchLastSection(false);
  const int rowHeight = grid->verticalHeader()->defaultSectionSize();
  grid->setFixedHeight(rowHeight * 3 + 2 * grid->frameWidth());
  return grid;
}

// Lays the slot out again when its frame is resized or a part asks for another size (the panel
// switching to two channels).
class SlotResizeWatch : public QObject {
public:
  SlotResizeWatch(SlotView* view, QObject* parent) : QObject(parent), m_view(view) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)
      m_view->LayoutSlots();
    return QObject::eventFilter(watched, event);
  }

private:
  SlotView* m_view;
};

} // namespace

SlotView::SlotView(QWidget* frame, const Preferences& prefs)
    : frmDev(frame), panel(new DevCtrl(frame)), graph(new CurveGraph(frame)),
      gridRun(makeResultGrid(frame)), lstInfo(new QListWidget(frame)),
      gridAutolist(new PanelGrid(4, 41, frame)) {
  // The graph is named by its title.
  graph->setObjectName(QStringLiteral("CurveGraph"));
  lstInfo->setObjectName(QStringLiteral("lstInfo"));
  lstInfo->setAccessibleName(LangText(QStringLiteral("Information")));
  lstInfo->setFocusPolicy(Qt::TabFocus);
  for (int i = 0; i < kInfoRows; ++i)
    lstInfo->addItem(QString());

  // The parts follow the frame's size by the design rule (LayoutSlots), not by a Qt layout.
  m_resizeWatch = new SlotResizeWatch(this, frmDev);
  frmDev->installEventFilter(m_resizeWatch);

  gridAutolist->setObjectName(QStringLiteral("gridAutolist"));
  gridAutolist->setAccessibleName(LangText(QStringLiteral("All auto test results")));
  gridAutolist->hide();
  QObject::connect(gridAutolist, &PanelGrid::gridDoubleClicked, gridAutolist,
                   [this] { hideFullAutoList(); });
  onCellKeys(*gridAutolist, {Qt::Key_Return, Qt::Key_Enter}, [this](int, int) {
    hideFullAutoList();
    return true;
  });

  panel->setDev2S(false);
  panel->setLedRecv(false);
  showNoDevice();

  applyLook(prefs, {});
}

void SlotView::applyLook(const Preferences& prefs, const AxisRanges& ranges) {
  // Five curves of one channel; the third curve is hidden until chosen.
  graph->setCurveCount(kCurvesPerChannel);
  for (int k = 0; k < 3; ++k) {
    graph->setLegendText(k, LangText(QString::fromLatin1(kLegendWords[k])));
    graph->setCurveAxesY(k, k);
  }
  graph->setCurveLineColor(curveIndex(0, Curve::Voltage), prefs.VCOL[0]);
  graph->setCurveLineColor(curveIndex(0, Curve::Current), prefs.CCOL[0]);
  graph->setCurveLineColor(curveIndex(0, Curve::Third), prefs.CCOL[0]);
  graph->setLine(prefs.LINE);
  graph->setShowCurve(curveIndex(0, Curve::Voltage), true);
  graph->setShowCurve(curveIndex(0, Curve::Current), true);
  graph->setShowCurve(curveIndex(0, Curve::Third), false);
  graph->setShowLegend(curveIndex(0, Curve::Voltage), prefs.SLA != 0);
  graph->setShowLegend(curveIndex(0, Curve::Current), prefs.SLA != 0);
  graph->setGridType1(prefs.MDOT != 0 ? 2 : 0);
  graph->setGridType2(prefs.SDOT != 0 ? 2 : 0);
  graph->setBackColor(prefs.BCOL);
  graph->setGridColor(prefs.GCOL);
  graph->setAxesColor(prefs.ACOL);
  panel->setPwrColor(prefs.PCOL);
  panel->setTimeColor(prefs.TCOL);
  applyRanges(ranges);
  showCurveColours();
  graph->ClearAll();
}

void SlotView::showFullAutoList(const std::vector<QStringList>& rows) {
  // The list covers the panel: a focus inside the panel would be lost under it.
  QWidget* had = QApplication::focusWidget();
  const bool inPanel = had && (had == panel || panel->isAncestorOf(had));
  panel->hide();
  lstInfo->hide();
  gridAutolist->clearCells();
  gridAutolist->setRows(fullAutoListRows(static_cast<int>(rows.size())));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r)
    for (int c = 0; c < 4 && c < rows[r].size(); ++c)
      gridAutolist->setText(r, c, rows[r][c]);
  gridAutolist->show();
  if (inPanel) {
    m_focusBeforeAutoList = had;
    gridAutolist->setFocus(Qt::OtherFocusReason);
  }
}

void SlotView::hideFullAutoList() {
  gridAutolist->hide();
  panel->show();
  lstInfo->show();
  if (QWidget* back = m_focusBeforeAutoList; back && back->isVisible())
    back->setFocus(Qt::OtherFocusReason);
  m_focusBeforeAutoList = nullptr;
}

void SlotView::copyLook(const SlotView& from, const Preferences& prefs, const AxisRanges& ranges) {
  applyLook(prefs, ranges);
  const CurveGraph& g0 = *from.graph;
  for (int k = 0; k < 3; ++k) {
    graph->setCurveAxesY(k, g0.CurveAxesY(k));
    graph->setShowCurve(k, g0.ShowCurve(k));
  }
  graph->setGridType1(g0.GridType1());
  graph->setGridType2(g0.GridType2());
  graph->setBackColor(g0.BackColor());
  graph->setGridColor(g0.GridColor());
  // Beyond the copies the design names: the axes colour, the third curve's axis and
  // the panel's power and time colours, so that a new slot looks like every other one after the
  // display and coordinate dialogs.
  graph->setAxesColor(g0.AxesColor());
  graph->setLine(g0.Line());
  graph->setShowAxesY2(g0.ShowAxesY2());
  graph->setAxesY2Txt(g0.AxesY2Txt());
  graph->setLegendText(2, g0.LegendText(2));
  graph->setShowLegend(2, g0.ShowLegend(2));
  graph->setCurveLineColor(2, g0.CurveLineColor(2));
  panel->setPwrColor(from.panel->PwrColor());
  panel->setTimeColor(from.panel->TimeColor());
  graph->ClearAll();
}

void SlotView::applyRanges(const AxisRanges& ranges) {
  if (ranges.volt) {
    graph->setMinY(0, float(ranges.volt->low));
    graph->setMaxY(0, float(ranges.volt->high));
  }
  if (ranges.cur) {
    graph->setMinY(1, float(ranges.cur->low));
    graph->setMaxY(1, float(ranges.cur->high));
  }
  if (ranges.time) {
    graph->setMinX(float(ranges.time->low));
    graph->setMaxX(float(ranges.time->high));
  }
}

void SlotView::showCurveColours() {
  const quint32 volt = graph->CurveLineColor(curveIndex(0, Curve::Voltage));
  const quint32 cur = graph->CurveLineColor(curveIndex(0, Curve::Current));
  panel->setVolColor(volt);
  panel->setCurColor(cur);
  gridRun->item(gridRow(0), colVoltSwatch)->setBackground(toQColor(volt));
  gridRun->item(gridRow(0), colCurSwatch)->setBackground(toQColor(cur));
}

SlotView::~SlotView() {
  // The frame may outlive the view; its resizes must no longer reach it.
  delete m_resizeWatch.data();
}

void SlotView::LayoutSlots() {
  const int infoRows = lstInfo->sizeHintForRow(0) * kInfoRows + 2 * lstInfo->frameWidth();
  const SlotGeometry g = layoutSlot(frmDev->size(), {panel->sizeHint(), panel->minimumSizeHint(),
                                                     gridRun->minimumHeight(), infoRows});
  graph->setGeometry(g.graph);
  gridRun->setGeometry(g.grid);
  panel->setGeometry(g.panel);
  lstInfo->setGeometry(g.info);
  gridAutolist->setGeometry(g.autoList);
  for (int c = 0; c < 4; ++c)
    gridAutolist->setColumnWidth(c, g.autoColumns[size_t(c)]);
  for (int c = 0; c < kGridColumns; ++c)
    gridRun->setColumnWidth(c, g.gridColumns[size_t(c)]);
}

QString SlotView::gridText(int row, int col) const {
  const QTableWidgetItem* item = gridRun->item(row, col);
  return item ? item->text() : QString();
}

void SlotView::setGridText(int row, int col, const QString& text) {
  if (QTableWidgetItem* item = gridRun->item(row, col))
    item->setText(text);
}

QString SlotView::infoRow(int row) const {
  const QListWidgetItem* item = lstInfo->item(row);
  return item ? item->text() : QString();
}

void SlotView::setInfoRow(int row, const QString& text) {
  if (QListWidgetItem* item = lstInfo->item(row))
    item->setText(text);
}

void SlotView::setDeviceName(const QString& name) {
  setGridText(gridRow(0), colDevice, name);
  // Both rows name the device: the second channel's recording and data files take their name
  // and heading from row 2.
  if (panel->Dev2S())
    setGridText(gridRow(1), colDevice, name);
}

void SlotView::showNoDeviceModes() {
  panel->ModeClr();
  panel->ModeAdd(QStringLiteral("No Device"));
  panel->setTMode(QStringLiteral("No Device"));
  for (int c = 0; c < 2; ++c) {
    panel->setTSval(c, QStringLiteral("00.00"));
    panel->setTSlmt(c, QStringLiteral("00.00"));
    panel->setTStim(c, QStringLiteral("0"));
  }
}

void SlotView::showNoDevice() {
  for (int row = infoRunState1; row < kInfoRows; ++row)
    setInfoRow(row, QString());
  setDeviceName(LangText(QStringLiteral("No Device")));
  for (int c = 0; c < 2; ++c)
    for (int col = colMode; col <= colAvgVolt; ++col)
      setGridText(gridRow(c), col, QString());

  // No device, no test to start or stop until identification sets the buttons.
  panel->setRunEnable(false);
  panel->setContEnable(false);
  panel->setSetEnable(false);
  panel->setMonitorEnable(false);
  panel->setStopEnable(false);
  showNoDeviceModes();
  panel->TabClear();
  panel->TabAdd(1, QStringLiteral("key1"));
}

void SlotView::SetTwoChannelLayout(const Preferences& prefs) {
  // Setting the count paints curves 0 and 1 in the graph's own blue and red; channel 1 keeps the
  // colours its grid swatches and panel readouts show.
  const quint32 kept[3] = {graph->CurveLineColor(0), graph->CurveLineColor(1),
                           graph->CurveLineColor(2)};
  graph->setCurveCount(2 * kCurvesPerChannel);
  for (int k = 0; k < 3; ++k)
    graph->setCurveLineColor(k, kept[k]);
  for (int k = 0; k < 3; ++k) {
    graph->setLegendText(k, LangText(QString::fromLatin1(kLegendWords[k]) + QLatin1Char('1')));
    graph->setLegendText(curveIndex(1, Curve(k)),
                         LangText(QString::fromLatin1(kLegendWords[k]) + QLatin1Char('2')));
  }
  const int v2 = curveIndex(1, Curve::Voltage), c2 = curveIndex(1, Curve::Current),
            t2 = curveIndex(1, Curve::Third);
  graph->setCurveLineColor(v2, prefs.VCOL[1]);
  graph->setCurveLineColor(c2, prefs.CCOL[1]);
  graph->setCurveLineColor(t2, graph->CurveLineColor(c2));
  for (int k = 0; k < 3; ++k) {
    if (k < 2)
      graph->setCurveAxesY(curveIndex(1, Curve(k)), graph->CurveAxesY(k));
    graph->setShowCurve(curveIndex(1, Curve(k)), graph->ShowCurve(k));
  }
  graph->setCurveAxesY(t2, graph->CurveAxesY(curveIndex(0, Curve::Third)));
  for (int i : {curveIndex(0, Curve::Voltage), curveIndex(0, Curve::Current), v2, c2})
    graph->setShowLegend(i, prefs.SLA != 0);
  setGridText(gridRow(1), colDevice, LangText(QStringLiteral("No Device")));
  gridRun->item(gridRow(1), colVoltSwatch)->setBackground(toQColor(graph->CurveLineColor(v2)));
  gridRun->item(gridRow(1), colCurSwatch)->setBackground(toQColor(graph->CurveLineColor(c2)));
}

} // namespace ondrel
