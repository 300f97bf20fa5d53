#include "test/ui/panelparts.h"

#include "widgets/colour.h"
#include "widgets/componenterror.h"

#include <QAccessible>
#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFrame>

namespace ondrel {

namespace {

int twipsToPixels(int twips) {
  return qRound(twips / 15.0);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// PanelGrid

PanelGrid::PanelGrid(int cols, int naturalRows, QWidget* parent)
    : QTableWidget(naturalRows - 1, cols, parent), m_naturalRows(naturalRows),
      m_widthsTwips(cols, 900) {
  verticalHeader()->hide();
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // Tab leaves the table for the next control; the arrow keys move between cells.
  setTabKeyNavigation(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setWordWrap(false);
  for (int c = 0; c < cols; ++c)
    setHorizontalHeaderItem(c, new QTableWidgetItem);
  fillItems(0);
  applyMetrics();
}

void PanelGrid::setRows(int rows) {
  if (rows < 1)
    throw ComponentError::invalidValue();
  const int old = rowCount();
  setRowCount(rows - 1);
  fillItems(old);
}

void PanelGrid::check(int row, int col) const {
  if (row < 0 || row >= Rows() || col < 0 || col >= Cols())
    throw ComponentError::subscriptOutOfRange();
}

QTableWidgetItem* PanelGrid::cell(int row, int col) const {
  return item(row - 1, col);
}

QString PanelGrid::text(int row, int col) const {
  check(row, col);
  if (row == 0)
    return horizontalHeaderItem(col)->text();
  return cell(row, col)->text();
}

void PanelGrid::setText(int row, int col, const QString& text) {
  check(row, col);
  if (row == 0)
    horizontalHeaderItem(col)->setText(text);
  else
    cell(row, col)->setText(text);
}

void PanelGrid::clearCells() {
  for (int r = 0; r < rowCount(); ++r)
    for (int c = 0; c < columnCount(); ++c) {
      QTableWidgetItem* it = item(r, c);
      it->setText(QString());
      it->setData(Qt::BackgroundRole, QVariant());
    }
  fillItems(0);
}

// Every cell gets an item, so that centring and the fixed column's face show on empty rows too.
void PanelGrid::fillItems(int fromRow) {
  const QColor face = palette().color(QPalette::Button);
  for (int r = fromRow; r < rowCount(); ++r)
    for (int c = 0; c < columnCount(); ++c) {
      QTableWidgetItem* it = item(r, c);
      if (!it) {
        it = new QTableWidgetItem;
        it->setTextAlignment(Qt::AlignCenter);
        it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setItem(r, c, it);
      }
      if (c == 0 && !it->data(Qt::BackgroundRole).isValid())
        it->setBackground(face);
    }
}

int PanelGrid::colWidthTwips(int col) const {
  check(0, col);
  return m_widthsTwips[col];
}

void PanelGrid::setColWidthTwips(int col, int twips) {
  check(0, col);
  m_widthsTwips[col] = std::max(0, twips);
  setColumnWidth(col, twipsToPixels(m_widthsTwips[col]));
}

void PanelGrid::setCellBackground(int row, int col, quint32 colour) {
  check(row, col);
  if (row == 0)
    return; // the heading keeps the header's look
  cell(row, col)->setBackground(toQColor(colour, palette()));
}

QColor PanelGrid::cellBackground(int row, int col) const {
  check(row, col);
  if (row == 0)
    return palette().color(QPalette::Button);
  return cell(row, col)->background().color();
}

// Row height follows the font, as the grid's text does.
void PanelGrid::applyMetrics() {
  const int h = fontMetrics().height() + 4;
  verticalHeader()->setMinimumSectionSize(h);
  verticalHeader()->setDefaultSectionSize(h);
  horizontalHeader()->setMinimumHeight(h);
  horizontalHeader()->setMaximumHeight(h + 2);
  updateGeometry();
}

QSize PanelGrid::sizeHint() const {
  const int frame = 2 * frameWidth();
  const int h = horizontalHeader()->sizeHint().height() +
                (m_naturalRows - 1) * verticalHeader()->defaultSectionSize();
  return {twipsToPixels(m_naturalWidthTwips) + frame, h + frame};
}

QSize PanelGrid::minimumSizeHint() const {
  const int frame = 2 * frameWidth();
  return {twipsToPixels(m_widthsTwips.value(0)) + frame,
          horizontalHeader()->sizeHint().height() + 3 * verticalHeader()->defaultSectionSize() +
              frame};
}

void PanelGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableWidget::mouseDoubleClickEvent(event);
  emit gridDoubleClicked();
}

void PanelGrid::resizeEvent(QResizeEvent* event) {
  QTableWidget::resizeEvent(event);
  emit resized();
}

void PanelGrid::changeEvent(QEvent* event) {
  QTableWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange)
    applyMetrics();
}

// ---------------------------------------------------------------------------------------------
// PanelBox

PanelBox::PanelBox(int chars, QWidget* parent) : QLineEdit(parent), m_chars(chars) {
  setAlignment(Qt::AlignCenter);
}

QSize PanelBox::sizeHint() const {
  QSize s = QLineEdit::sizeHint();
  QStyleOptionFrame opt;
  initStyleOption(&opt);
  const QSize text(fontMetrics().horizontalAdvance(QString(m_chars, QLatin1Char('0'))) + 8,
                   s.height());
  s.setWidth(style()->sizeFromContents(QStyle::CT_LineEdit, &opt, text, this).width());
  return s;
}

QSize PanelBox::minimumSizeHint() const {
  return sizeHint();
}

void PanelBox::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
    emit left();
}

// ---------------------------------------------------------------------------------------------
// RecvLamp

RecvLamp::RecvLamp(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  setAccessibleDescription(QStringLiteral("off"));
}

void RecvLamp::setLit(bool lit) {
  if (lit == m_lit)
    return;
  m_lit = lit;
  setAccessibleDescription(lit ? QStringLiteral("on") : QStringLiteral("off"));
  update();
}

QSize RecvLamp::sizeHint() const {
  const int d = fontMetrics().height();
  return {d, d};
}

void RecvLamp::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const int d = std::min(width(), height()) - 2;
  const QRectF r((width() - d) / 2.0, (height() - d) / 2.0, d, d);
  p.setPen(QPen(palette().color(QPalette::WindowText), 1));
  p.setBrush(m_lit ? QBrush(QColor(0, 200, 0)) : Qt::NoBrush);
  p.drawEllipse(r);
}

} // namespace ondrel
