#include "data/ui/dqdvwindow.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace ondrel {
namespace {

QColor fromBgr(quint32 bgr) {
  return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

} // namespace

DqDvPlot::DqDvPlot(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("picDqDv"));
  setAccessibleName(QStringLiteral("dQ/dV curves"));
  setMinimumSize(360, 220);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::white);
  setPalette(p);
}

void DqDvPlot::setCurves(std::vector<std::vector<DqDvPoint>> curves, std::vector<quint32> colours) {
  m_curves = std::move(curves);
  m_colours = std::move(colours);
  update();
}

void DqDvPlot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRect area = rect().adjusted(48, 10, -12, -28);
  p.setPen(Qt::black);
  p.drawRect(area);
  double x0 = 1e300, x1 = -1e300, y1 = 0.0;
  for (const auto& c : m_curves)
    for (const DqDvPoint& pt : c) {
      x0 = std::min(x0, pt.volt);
      x1 = std::max(x1, pt.volt);
      y1 = std::max(y1, pt.dqdv);
    }
  if (!(x1 > x0) || !(y1 > 0.0) || area.width() < 2 || area.height() < 2)
    return;
  const QFontMetrics fm(font());
  p.drawText(QRect(area.left(), area.bottom() + 4, area.width(), fm.height()), Qt::AlignLeft,
             QString::number(x0, 'f', 2));
  p.drawText(QRect(area.left(), area.bottom() + 4, area.width(), fm.height()), Qt::AlignCenter,
             QStringLiteral("V"));
  p.drawText(QRect(area.left(), area.bottom() + 4, area.width(), fm.height()), Qt::AlignRight,
             QString::number(x1, 'f', 2));
  p.drawText(QRect(0, area.top(), area.left() - 4, fm.height()), Qt::AlignRight,
             QString::number(y1, 'g', 3));
  p.drawText(QRect(0, area.bottom() - fm.height(), area.left() - 4, fm.height()), Qt::AlignRight,
             QStringLiteral("Ah/V"));
  for (size_t i = 0; i < m_curves.size(); ++i) {
    QPainterPath path;
    bool first = true;
    for (const DqDvPoint& pt : m_curves[i]) {
      const QPointF at(area.left() + (pt.volt - x0) / (x1 - x0) * area.width(),
                       area.bottom() - pt.dqdv / y1 * area.height());
      if (first)
        path.moveTo(at);
      else
        path.lineTo(at);
      first = false;
    }
    p.setPen(QPen(i < m_colours.size() ? fromBgr(m_colours[i]) : QColor(Qt::black), 1.5));
    p.drawPath(path);
  }
}

DqDvWindow::DqDvWindow(QWidget* owner, Source source)
    : QWidget(owner, Qt::Window), m_source(std::move(source)) {
  setObjectName(QStringLiteral("frmDqDv"));
  setWindowTitle(QStringLiteral("dQ/dV"));
  setAttribute(Qt::WA_DeleteOnClose);
  m_plot = new DqDvPlot(this);
  m_smoothing = new QSpinBox(this);
  m_smoothing->setObjectName(QStringLiteral("txtSmoothing"));
  m_smoothing->setRange(1, 51);
  m_smoothing->setSingleStep(2);
  m_smoothing->setValue(5);
  m_smoothing->setSuffix(QStringLiteral(" points"));
  m_smoothing->setAccessibleName(QStringLiteral("Smoothing"));
  m_voltages = new QLineEdit(this);
  m_voltages->setObjectName(QStringLiteral("txtVoltages"));
  m_voltages->setAccessibleName(QStringLiteral("Voltages"));
  m_note = new QLabel(this);
  m_note->setObjectName(QStringLiteral("lblVoltages"));
  m_note->hide();
  m_table = new QTableWidget(this);
  m_table->setObjectName(QStringLiteral("gridCapacity"));
  m_table->setAccessibleName(QStringLiteral("Capacity at voltage"));
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->verticalHeader()->hide();

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Smoothing:"), m_smoothing);
  form->addRow(QStringLiteral("Voltages:"), m_voltages);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_plot, 1);
  layout->addLayout(form);
  layout->addWidget(m_note);
  layout->addWidget(new QLabel(QStringLiteral("Capacity at voltage (mAh)"), this));
  layout->addWidget(m_table);

  connect(m_smoothing, &QSpinBox::valueChanged, this, &DqDvWindow::redrawCurves);
  connect(m_voltages, &QLineEdit::textChanged, this, &DqDvWindow::fillTable);
  resize(560, 520);
  refresh();
}

QString DqDvWindow::note() const {
  return m_note->isHidden() ? QString() : m_note->text();
}

void DqDvWindow::refresh() {
  m_files = m_source.files ? m_source.files() : std::vector<AnalysisFile>{};
  redrawCurves();
  fillTable();
}

void DqDvWindow::redrawCurves() {
  const int points = smoothingPoints(m_smoothing->value());
  m_plot->setCurves(dqdvCurves(m_files, points),
                    m_source.colours ? m_source.colours() : std::vector<quint32>{});
}

void DqDvWindow::fillTable() {
  const VoltageList list = parseVoltages(m_voltages->text());
  m_note->setText(list.rejected.isEmpty()
                      ? QString()
                      : QStringLiteral("Not a voltage: ") + list.rejected.join(QLatin1Char(' ')));
  m_note->setHidden(list.rejected.isEmpty());
  const AnalysisTable t = analysisTable(m_files, list.volts);
  m_table->clear();
  m_table->setColumnCount(int(t.headings.size()));
  m_table->setRowCount(int(t.rows.size()));
  m_table->setHorizontalHeaderLabels(t.headings);
  for (size_t r = 0; r < t.rows.size(); ++r)
    for (int c = 0; c < t.rows[r].size(); ++c)
      m_table->setItem(int(r), c, new QTableWidgetItem(t.rows[r][c]));
}

} // namespace ondrel
