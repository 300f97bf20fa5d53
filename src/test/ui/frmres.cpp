#include "test/ui/frmres.h"

#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "test/ui/panelparts.h"
#include "widgets/keyboard.h"
#include "widgets/windowplacement.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace ondrel {

frmRes::frmRes(int slot, int channel, bool twoChannels, ResChannel link, MessageAsker ask,
               QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint),
      m_channel(channel), m_link(std::move(link)), m_ask(std::move(ask)) {
  setObjectName(QStringLiteral("frmRes"));
  QString title = LangText(QStringLiteral("Resistance Test-Device%1").arg(slot + 1));
  if (twoChannels)
    title += QLatin1Char('-') + LangText(QStringLiteral("Channel")) + QString::number(channel + 1);
  setWindowTitle(title);

  txtCap = new PanelBox(8, this);
  txtCap->setObjectName(QStringLiteral("txtCap"));
  txtCap->setText(QStringLiteral("1000"));
  lblCap = new QLabel(LangText(QStringLiteral("Test Curr:")), this);
  lblCap->setObjectName(QStringLiteral("lblCap"));
  lblCap->setBuddy(txtCap);
  auto* capUnit = new QLabel(QStringLiteral("mA"), this);
  txtRes = new PanelBox(8, this);
  txtRes->setObjectName(QStringLiteral("txtRes"));
  txtRes->setReadOnly(true);
  lblRes = new QLabel(LangText(QStringLiteral("Resistance:")), this);
  lblRes->setObjectName(QStringLiteral("lblRes"));
  lblRes->setBuddy(txtRes);
  auto* resUnit = new QLabel(QStringLiteral("mΩ"), this);
  cmdTest = new QPushButton(LangText(QStringLiteral("Test")), this);
  cmdTest->setObjectName(QStringLiteral("cmdTest"));

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(12, 12, 12, 12);
  grid->addWidget(lblCap, 0, 0);
  grid->addWidget(txtCap, 0, 1);
  grid->addWidget(capUnit, 0, 2);
  grid->addWidget(lblRes, 1, 0);
  grid->addWidget(txtRes, 1, 1);
  grid->addWidget(resUnit, 1, 2);
  grid->addWidget(cmdTest, 2, 0, 1, 3);
  grid->setSizeConstraint(QLayout::SetFixedSize);

  Timer1.setObjectName(QStringLiteral("Timer1"));
  Timer1.setInterval(1000);
  connect(&Timer1, &QTimer::timeout, this, &frmRes::Timer1_Timer);
  connect(cmdTest, &QPushButton::clicked, this, &frmRes::cmdTest_Click);
  connect(txtCap, &PanelBox::left, this, &frmRes::txtCap_Leave);

  makeKeyboardWindow(*this);
  adjustSize();
  centreOnScreen(*this);
}

frmRes::~frmRes() = default;

void frmRes::dropSeen(int channel, float drop) {
  if (channel == m_channel)
    m_wait.dropSeen(drop);
}

void frmRes::txtCap_Leave() {
  const ResBoxCheck check = checkResCurrent(txtCap->text());
  if (check.message) {
    // The text stays for the user to mend, and the box keeps the focus until it is mended.
    m_ask(QMessageBox::Critical, *check.message, QMessageBox::Ok);
    txtCap->setFocus();
    return;
  }
  txtCap->setText(*check.text);
}

void frmRes::cmdTest_Click() {
  if (const auto refusal = resistanceStartRefusal(m_link.running(), m_link.volt())) {
    m_ask(QMessageBox::Critical, *refusal, QMessageBox::Ok);
    return;
  }
  const ResCurrent current = resistanceCurrent(m_link.model(), txtCap->text());
  if (!current.mA) {
    m_ask(QMessageBox::Critical, current.refusal, QMessageBox::Ok);
    return;
  }
  logFailures(QStringLiteral("ErrRes"), [&] { m_link.send(QString::number(*current.mA)); });
  m_wait.start(*current.mA);
  Timer1.start();
  cmdTest->setEnabled(false);
}

void frmRes::Timer1_Timer() {
  const ResistanceWait::Tick t = m_wait.tick();
  if (t == ResistanceWait::Tick::Waiting)
    return;
  if (t == ResistanceWait::Tick::Measured) {
    txtRes->setText(m_wait.resultText());
    bool ok = false;
    const double mohm = m_wait.resultText().toDouble(&ok);
    if (ok)
      emit measured(mohm, m_wait.currentMa());
  }
  Timer1.stop();
  cmdTest->setEnabled(true);
}

void frmRes::closeEvent(QCloseEvent* event) {
  Timer1.stop();
  m_wait = ResistanceWait{};
  QWidget::closeEvent(event);
  if (!m_closed) {
    m_closed = true;
    emit closed();
  }
}

} // namespace ondrel
