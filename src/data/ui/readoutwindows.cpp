#include "data/ui/readoutwindows.h"

#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "widgets/colour.h"
#include "widgets/lcdisp.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QVBoxLayout>

namespace ondrel {

namespace {
void setTextColour(QWidget* w, quint32 colour) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, toQColor(colour));
  p.setColor(QPalette::Window, toQColor(colour));
  w->setPalette(p);
}
} // namespace

ReadoutWindow::ReadoutWindow(QWidget* owner, const QString& name, const QString& caption,
                             const std::array<Readout, 5>& readouts)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      m_caption(caption) {
  setObjectName(name);
  setWindowTitle(caption);
  setWindowOpacity(200 / 255.0);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(0xE0, 0xE0, 0xE0));
  setPalette(pal);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(16, 8, 16, 14);
  lblTitle = new QLabel(this);
  lblTitle->setObjectName(QStringLiteral("lblTitle"));
  lblTitle->setAlignment(Qt::AlignCenter);
  QFont big = lblTitle->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setBold(true);
  lblTitle->setFont(big);
  lblTitle->setCursor(Qt::SizeAllCursor);
  lblTitle->installEventFilter(this);
  for (auto*& rule : m_rules) {
    rule = new QWidget(this);
    rule->setFixedHeight(2);
    rule->setAutoFillBackground(true);
  }
  column->addWidget(m_rules[0]);
  column->addWidget(lblTitle);
  column->addWidget(m_rules[1]);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  for (size_t i = 0; i < readouts.size(); ++i) {
    m_lcd[i] = new LCDisp(readouts[i].preset, this);
    m_lcd[i]->setObjectName(QLatin1String(readouts[i].name));
    m_lcd[i]->setAccessibleName(LangText(QString::fromUtf8(readouts[i].spoken)));
    m_unit[i] = new QLabel(QString::fromUtf8(readouts[i].unit), this);
    m_unit[i]->setObjectName(QStringLiteral("lblUnit%1").arg(i));
    m_unit[i]->setFont(big);
    m_unit[i]->setBuddy(m_lcd[i]);
    m_unit[i]->installEventFilter(this);
    grid->addWidget(m_lcd[i], int(i), 0);
    grid->addWidget(m_unit[i], int(i), 1);
    setReadoutColour(int(i), m_lcd[i]->SegmentLitColor());
  }
  column->addLayout(grid);
  setTextColour(lblTitle, 0x000000);
  for (QWidget* rule : m_rules)
    setTextColour(rule, 0x000000);

  adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect s = screen->availableGeometry();
    move(s.left() + (s.width() - width()) / 2, s.top() + s.height() / 3);
  }
}

void ReadoutWindow::setTitle(const QString& title) {
  lblTitle->setText(title);
  setWindowTitle(title.isEmpty() ? m_caption : title);
}

QString ReadoutWindow::title() const {
  return lblTitle->text();
}

void ReadoutWindow::setReadout(int i, const QString& text) {
  m_lcd.at(size_t(i))->setValue(text);
}

QString ReadoutWindow::readout(int i) const {
  return m_lcd.at(size_t(i))->Value();
}

void ReadoutWindow::setReadoutColour(int i, quint32 colour) {
  m_lcd.at(size_t(i))->setSegmentLitColor(colour);
  m_lcd.at(size_t(i))->setSegmentLitColorNeg(colour);
  setTextColour(m_unit.at(size_t(i)), colour);
}

void ReadoutWindow::pickColour(int i) {
  const qint64 chosen = chooseColour ? chooseColour() : -1;
  if (chosen < 0)
    return;
  const auto colour = static_cast<quint32>(chosen);
  if (i >= 0) {
    setReadoutColour(i, colour);
    return;
  }
  setTextColour(lblTitle, colour);
  for (QWidget* rule : m_rules)
    setTextColour(rule, colour);
}

bool ReadoutWindow::eventFilter(QObject* watched, QEvent* event) {
  const auto* mouse = dynamic_cast<QMouseEvent*>(event);
  if (watched == lblTitle && mouse) {
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
      pickColour(-1);
      return true;
    case QEvent::MouseButtonPress:
      m_dragging = mouse->button() == Qt::LeftButton;
      m_dragOffset = mouse->globalPosition().toPoint() - pos();
      return true;
    case QEvent::MouseMove:
      if (m_dragging)
        move(mouse->globalPosition().toPoint() - m_dragOffset);
      return true;
    case QEvent::MouseButtonRelease:
      m_dragging = false;
      return true;
    default:
      break;
    }
  }
  if (event->type() == QEvent::MouseButtonDblClick)
    for (size_t i = 0; i < m_unit.size(); ++i)
      if (watched == m_unit[i]) {
        pickColour(int(i));
        return true;
      }
  return QWidget::eventFilter(watched, event);
}

void ReadoutWindow::resizeEvent(QResizeEvent* event) {
  // Rounded corners: an ellipse of 30 x 30 pixels at each corner.
  QPainterPath path;
  path.addRoundedRect(rect(), 15, 15);
  setMask(QRegion(path.toFillPolygon().toPolygon()));
  QWidget::resizeEvent(event);
}

frmDisp::frmDisp(QWidget* owner)
    : ReadoutWindow(owner, QStringLiteral("frmDisp"), LangText(QStringLiteral("Readouts")),
                    {{{"lcdCurM", "Current", LcdPreset::DispCur, " A"},
                      {"lcdVolM", "Voltage", LcdPreset::DispVol, " V"},
                      {"lcdPwrM", "Power", LcdPreset::DispPwr, " W"},
                      {"lcdD1M", "Capacity", LcdPreset::DispD1, "Ah"},
                      {"lcdD2M", "Energy", LcdPreset::DispD2, "Wh"}}}) {}

frmMeter::frmMeter(QWidget* owner)
    : ReadoutWindow(owner, QStringLiteral("frmMeter"), QStringLiteral("USB测量"),
                    {{{"lcdCurM", "Current", LcdPreset::MeterCur, " A"},
                      {"lcdVolM", "Voltage", LcdPreset::MeterVol, " V"},
                      {"lcdPwrM", "Power", LcdPreset::MeterPwr, " W"},
                      {"lcdD1M", "D+", LcdPreset::MeterD1, "D+"},
                      {"lcdD2M", "D-", LcdPreset::MeterD2, "D-"}}}) {
  setTitle(QStringLiteral("USB测量"));
}

QString bigReadoutText(float value) {
  const char* picture = value > 100 ? "000.0" : value > 10 ? "00.00" : "0.000";
  return Format(value, QString::fromLatin1(picture));
}

} // namespace ondrel
