#include "link/ui/frmadj.h"

#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "widgets/keyboard.h"
#include "widgets/windowplacement.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ondrel {

frmAdj::frmAdj(int slot, int channel, bool twoChannels, const ModelParams& model, AdjChannel link,
               Asker ask, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint),
      m_model(model), m_link(std::move(link)), m_ask(std::move(ask)),
      m_currentScale(calibrationCurrentScale(model)),
      m_currentPicture(calibCurrentPicture(m_currentScale)) {
  setObjectName(QStringLiteral("frmAdj"));
  QString title = LangText(QStringLiteral("Calibration--Device")) + QString::number(slot + 1);
  if (twoChannels)
    title += QLatin1Char('-') + LangText(QStringLiteral("Channel")) + QString::number(channel + 1);
  setWindowTitle(title);
  // Escape leaves as "Cancel" does: nothing more is sent.
  makeKeyboardWindow(*this);

  auto row = [this](QGridLayout* grid, int r, const char* caption, const char* boxName,
                    const char* buttonName, const char* spoken, QLineEdit*& box,
                    QPushButton*& button) {
    box = new QLineEdit(this);
    box->setObjectName(QLatin1String(boxName));
    box->installEventFilter(this);
    auto* label = new QLabel(LangText(QLatin1String(caption)), this);
    label->setBuddy(box);
    button = new QPushButton(LangText(QStringLiteral("Calibration")), this);
    button->setObjectName(QLatin1String(buttonName));
    // Four buttons share one caption: the accessible name tells them apart.
    button->setAccessibleName(LangText(QLatin1String(spoken)));
    grid->addWidget(label, r, 0);
    grid->addWidget(box, r, 1);
    grid->addWidget(button, r, 2);
  };
  auto* volts = new QGroupBox(LangText(QStringLiteral("Voltage Calibration")), this);
  auto* vg = new QGridLayout(volts);
  row(vg, 0, "Low Volt:", "txtVL", "cmdVL", "Calibrate low voltage", txtVL, cmdVL);
  row(vg, 1, "High Volt:", "txtVH", "cmdVH", "Calibrate high voltage", txtVH, cmdVH);
  auto* amps = new QGroupBox(LangText(QStringLiteral("Current Calibration")), this);
  auto* cg = new QGridLayout(amps);
  row(cg, 0, "Low Curr:", "txtCL", "cmdCL", "Calibrate low current", txtCL, cmdCL);
  row(cg, 1, "High Curr:", "txtCH", "cmdCH", "Calibrate high current", txtCH, cmdCH);
  cmdOK = new QPushButton(LangText(QStringLiteral("OK")), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdCancel = new QPushButton(LangText(QStringLiteral("Cancel")), this);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  cmdReset = new QPushButton(LangText(QStringLiteral("Reset")), this);
  cmdReset->setObjectName(QStringLiteral("cmdReset"));

  auto* grid = new QGridLayout(this);
  grid->addWidget(volts, 0, 0, 1, 3);
  grid->addWidget(amps, 1, 0, 1, 3);
  grid->addWidget(cmdOK, 2, 0);
  grid->addWidget(cmdCancel, 2, 1);
  grid->addWidget(cmdReset, 2, 2);
  grid->setSizeConstraint(QLayout::SetFixedSize);

  for (CalibPoint p :
       {CalibPoint::LowVolt, CalibPoint::HighVolt, CalibPoint::LowCurr, CalibPoint::HighCurr})
    box(p)->setText(Format(0.0, picture(p)));
  cmdOK->setEnabled(false);

  connect(cmdVL, &QPushButton::clicked, this, [this] { calibrate(CalibPoint::LowVolt); });
  connect(cmdVH, &QPushButton::clicked, this, [this] { calibrate(CalibPoint::HighVolt); });
  connect(cmdCL, &QPushButton::clicked, this, [this] { calibrate(CalibPoint::LowCurr); });
  connect(cmdCH, &QPushButton::clicked, this, [this] { calibrate(CalibPoint::HighCurr); });
  connect(cmdOK, &QPushButton::clicked, this, &frmAdj::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmAdj::cmdCancel_Click);
  connect(cmdReset, &QPushButton::clicked, this, &frmAdj::cmdReset_Click);

  adjustSize();
  centreOnScreen(*this);
}

frmAdj::~frmAdj() = default;

QLineEdit* frmAdj::box(CalibPoint p) const {
  switch (p) {
  case CalibPoint::LowVolt:
    return txtVL;
  case CalibPoint::HighVolt:
    return txtVH;
  case CalibPoint::LowCurr:
    return txtCL;
  default:
    return txtCH;
  }
}

QString frmAdj::picture(CalibPoint p) const {
  return isVoltagePoint(p) ? kCalibVoltPicture.toString() : m_currentPicture;
}

float frmAdj::most(CalibPoint p) const {
  return isVoltagePoint(p) ? m_model.MaxVoltage : m_model.MaxCurrent;
}

void frmAdj::SetCalibButtons(bool idle) {
  cmdVL->setEnabled(idle);
  cmdVH->setEnabled(idle);
  cmdCL->setEnabled(!idle);
  cmdCH->setEnabled(!idle);
}

void frmAdj::leaveBox(CalibPoint p) {
  const CalibBoxCheck check = checkCalibBox(box(p)->text(), most(p), picture(p));
  if (check.message) {
    m_ask(QMessageBox::Critical, *check.message, QMessageBox::Ok);
    box(p)->setFocus();
    return;
  }
  box(p)->setText(check.text);
}

void frmAdj::calibrate(CalibPoint p) {
  const bool volt = isVoltagePoint(p);
  const CalibValue v =
      calibrationValue(box(p)->text(), most(p), volt ? m_link.shownVolt() : m_link.shownCur(),
                       volt ? 1000.0f : m_currentScale);
  if (v.message) {
    m_ask(QMessageBox::Critical, *v.message, QMessageBox::Ok);
    return;
  }
  m_link.send(static_cast<int>(p), v.value);
  cmdOK->setEnabled(true);
}

void frmAdj::cmdOK_Click() {
  m_link.send(static_cast<int>(CalibPoint::Keep), 0);
  close();
}

void frmAdj::cmdReset_Click() {
  m_link.send(static_cast<int>(CalibPoint::Reset), 0);
  cmdOK->setEnabled(true);
}

void frmAdj::cmdCancel_Click() {
  close();
}

bool frmAdj::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    // A message box or popup taking the focus is not the user leaving the box.
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      for (CalibPoint p :
           {CalibPoint::LowVolt, CalibPoint::HighVolt, CalibPoint::LowCurr, CalibPoint::HighCurr})
        if (watched == box(p))
          leaveBox(p);
    }
  }
  return QWidget::eventFilter(watched, event);
}

void frmAdj::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (!m_closed) {
    m_closed = true;
    emit closed();
  }
}

} // namespace ondrel
