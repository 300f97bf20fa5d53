#include "data/ui/frmmsg.h"

#include "data/support/langtext.h"
#include "widgets/windowplacement.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace ondrel {

namespace {
constexpr int kStep = 5;
constexpr int kShownOpacity = 200;
} // namespace

frmMsg::frmMsg(QWidget* owner) : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("frmMsg"));
  setWindowTitle(LangText(QStringLiteral("Prompt")));
  lblMsg = new QLabel(this);
  lblMsg->setObjectName(QStringLiteral("lblMsg"));
  lblMsg->setAlignment(Qt::AlignCenter);
  lblMsg->setWordWrap(true);
  QFont big = lblMsg->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  lblMsg->setFont(big);
  lblMsg->installEventFilter(this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblMsg);
  resize(320, 140);
  tmrIn.setInterval(25);
  tmrOut.setInterval(25);
  connect(&tmrIn, &QTimer::timeout, this, &frmMsg::fadeInTick);
  connect(&tmrOut, &QTimer::timeout, this, &frmMsg::fadeOutTick);
}

void frmMsg::showMessage(const QString& text) {
  lblMsg->setText(text);
  lblMsg->setAccessibleName(text);
  tmrOut.stop();
  m_unloading = false;
  m_opacity = 0;
  applyOpacity();
  centreOnScreen(*this);
  show();
  raise();
  tmrIn.start();
}

QString frmMsg::message() const {
  return lblMsg->text();
}

void frmMsg::applyOpacity() {
  setWindowOpacity(m_opacity / 255.0);
}

void frmMsg::fadeInTick() {
  m_opacity = std::min(m_opacity + kStep, kShownOpacity);
  applyOpacity();
  if (m_opacity >= kShownOpacity)
    tmrIn.stop();
}

void frmMsg::startFadeOut() {
  tmrIn.stop();
  if (!tmrOut.isActive())
    tmrOut.start();
}

void frmMsg::fadeOutTick() {
  if (m_opacity - kStep < 0) {
    tmrOut.stop();
    m_unloading = true;
    close();
    return;
  }
  m_opacity -= kStep;
  applyOpacity();
}

void frmMsg::closeEvent(QCloseEvent* event) {
  if (m_unloading || !isVisible()) {
    event->accept();
    return;
  }
  event->ignore();
  startFadeOut();
}

void frmMsg::mousePressEvent(QMouseEvent*) {
  startFadeOut();
}

bool frmMsg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lblMsg && event->type() == QEvent::MouseButtonPress)
    startFadeOut();
  return QWidget::eventFilter(watched, event);
}

} // namespace ondrel
