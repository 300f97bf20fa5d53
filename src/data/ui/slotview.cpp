#include "data/ui/slotview.h"

#include "data/preferences.h"
#include "data/slotlayout.h"
#include "data/support/langtext.h"
#include "test/autostepper.h"
#include "test/ui/devctrl.h"
#include "test/ui/panelparts.h"
#include "widgets/colour.h"
#include "widgets/curvegraph.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ondrel {
namespace {

const char* const kGridHeadings[] = {"Device", "Mode",     "Begin Volt", "Cutoff Volt", "Capacity",
                                     "Energy", "Avg Volt", "Curve",      "Curve"};
const char* const kLegendWords[] = {"Voltage", "Current", "Temp"};

QTableWidget* makeResultGrid(QWidget* parent) {
  auto* grid = new QTableWidget(3, kGridColumns, parent);
  grid->setObjectName(QStringLiteral("gridRun"));
  grid->setAccessibleName(QStringLiteral("gridRun"));
  grid->horizontalHeader()->hide();
  grid->verticalHeader()->hide();
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionMode(QAbstractItemView::NoSelection);
  grid->setFocusPolicy(Qt::NoFocus);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < kGridColumns; ++c) {
      auto* item = new QTableWidgetItem;
      item->setTextAlignment(Qt::AlignCenter);
      grid->setItem(r, c, item);
    }
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
  // Widths in twips of the design, 15 twips to a pixel.
  grid->setColumnWidth(colDevice, 1300 / 15);
  grid->setColumnWidth(colVoltSwatch, 750 / 15);
  grid->setColumnWidth(colCurSwatch, 750 / 15);
  grid->horizontalHeader()->setStretchLastSection(false);
  for (int c = colMode; c <= colAvgVolt; ++c)
    grid->horizontalHeader()->setSectionResizeMode(c, QHeaderView::Stretch);
  const int rowHeight = grid->verticalHeader()->defaultSectionSize();
  grid->setFixedHeight(rowHeight * 3 + 2 * grid->frameWidth());
  grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  return grid;
}

} // namespace

SlotView::SlotView(QWidget* frame, const Preferences& prefs)
    : frmDev(frame), panel(new DevCtrl(frame)), graph(new CurveGraph(frame)),
      gridRun(makeResultGrid(frame)), lstInfo(new QListWidget(frame)),
      gridAutolist(new PanelGrid(4, 41, frame)) {
  graph->setObjectName(QStringLiteral("CurveGraph"));
  graph->setAccessibleName(QStringLiteral("CurveGraph"));
  lstInfo->setObjectName(QStringLiteral("lstInfo"));
  lstInfo->setAccessibleName(QStringLiteral("lstInfo"));
  lstInfo->setFocusPolicy(Qt::NoFocus);
  for (int i = 0; i < kInfoRows; ++i)
    lstInfo->addItem(QString());

  auto* left = new QVBoxLayout;
  left->addWidget(graph, 1);
  left->addWidget(gridRun);
  auto* right = new QVBoxLayout;
  right->addWidget(panel);
  right->addWidget(lstInfo, 1);
  right->addWidget(gridAutolist, 1);
  auto* row = new QHBoxLayout(frmDev);
  row->setContentsMargins(2, 2, 2, 2);
  row->addLayout(left, 1);
  row->addLayout(right);
  lstInfo->setMaximumWidth(panel->sizeHint().width());

  gridAutolist->setObjectName(QStringLiteral("gridAutolist"));
  gridAutolist->setAccessibleName(QStringLiteral("gridAutolist"));
  gridAutolist->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  gridAutolist->setMinimumWidth(panel->sizeHint().width());
  gridAutolist->hide();
  QObject::connect(gridAutolist, &PanelGrid::gridDoubleClicked, gridAutolist, [this] {
    gridAutolist->hide();
    panel->show();
    lstInfo->show();
  });

  panel->setDev2S(false);
  panel->setLedRecv(false);
  showNoDevice();

  // Graph: five curves of one channel; the third curve is hidden until chosen.
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
  panel->setVolColor(prefs.VCOL[0]);
  panel->setCurColor(prefs.CCOL[0]);
  gridRun->item(gridRow(0), colVoltSwatch)->setBackground(toQColor(prefs.VCOL[0]));
  gridRun->item(gridRow(0), colCurSwatch)->setBackground(toQColor(prefs.CCOL[0]));
  graph->ClearAll();
}

void SlotView::showFullAutoList(const std::vector<QStringList>& rows) {
  panel->hide();
  lstInfo->hide();
  gridAutolist->clearCells();
  gridAutolist->setRows(fullAutoListRows(static_cast<int>(rows.size())));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r)
    for (int c = 0; c < 4 && c < rows[r].size(); ++c)
      gridAutolist->setText(r, c, rows[r][c]);
  gridAutolist->show();
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
