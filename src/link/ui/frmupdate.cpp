#include "link/ui/frmupdate.h"

#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "link/firmwareimages.h"
#include "link/portnames.h"
#include "widgets/keyboard.h"
#include "widgets/progressmath.h"
#include "widgets/ucprogressbar.h"
#include "widgets/windowplacement.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

namespace ondrel {

namespace {

// How often the port is read while a reply is awaited: a byte takes about 1.1 ms at 9600 baud.
constexpr int kPollMs = 10;
// Write time per byte allowed beyond the usual 100 ms: a byte of 11 bits at 9600 baud, with room.
constexpr quint32 kWriteMsPerByte = 2;

// The empty bar: the frame of the filled picture without its segments.
QImage emptyBarPicture(const QImage& fore) {
  QImage back = fore.copy();
  QPainter p(&back);
  p.fillRect(back.rect().adjusted(2, 2, -2, -2), QColor(0xF0, 0xF0, 0xF0));
  return back;
}

} // namespace

frmUpdate::frmUpdate(int slot, QString portText, PortProvider& ports, Asker ask, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint),
      m_slot(slot), m_portText(std::move(portText)), m_ports(ports), m_ask(std::move(ask)) {
  setObjectName(QStringLiteral("frmUpdate"));
  setWindowTitle(LangText(QStringLiteral("Firmware Update--Device%1").arg(m_slot + 1)));
  // Escape is a close like the title bar's, so it is refused while a job runs.
  makeKeyboardWindow(*this);

  cmbDev = new QComboBox(this);
  cmbDev->setObjectName(QStringLiteral("cmbDev"));
  cmbDev->setMinimumContentsLength(10);
  lblDev = new QLabel(LangText(QStringLiteral("Type:")), this);
  lblDev->setObjectName(QStringLiteral("lblDev"));
  lblDev->setBuddy(cmbDev);
  cmdOpen = new QPushButton(LangText(QStringLiteral("Identify")), this);
  cmdOpen->setObjectName(QStringLiteral("cmdOpen"));
  cmdUpdate = new QPushButton(LangText(QStringLiteral("Update")), this);
  cmdUpdate->setObjectName(QStringLiteral("cmdUpdate"));
  pbFw = new ucProgressBar(this);
  pbFw->setObjectName(QStringLiteral("pbFw"));
  const QImage fore = firmwareBarPicture();
  pbFw->setBarPictureFore(fore);
  pbFw->setBarPictureBack(emptyBarPicture(fore));
  lblProg = new QLabel(LangText(QStringLiteral("Prog:")), this);
  lblProg->setObjectName(QStringLiteral("lblProg"));
  lblProg->setBuddy(pbFw);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(12, 12, 12, 12);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(10);
  grid->addWidget(lblDev, 0, 0);
  grid->addWidget(cmbDev, 0, 1);
  grid->addWidget(cmdOpen, 0, 2);
  grid->addWidget(lblProg, 1, 0);
  grid->addWidget(pbFw, 1, 1);
  grid->addWidget(cmdUpdate, 1, 2);
  grid->setSizeConstraint(QLayout::SetFixedSize);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setSingleShot(true);
  Timer1->setInterval(kLoaderReplyMs);
  Timer2 = new QTimer(this);
  Timer2->setObjectName(QStringLiteral("Timer2"));
  Timer2->setSingleShot(true);
  Timer2->setInterval(kLoaderPauseMs);
  tmrPoll = new QTimer(this);
  tmrPoll->setObjectName(QStringLiteral("tmrPoll"));
  tmrPoll->setInterval(kPollMs);
  connect(Timer1, &QTimer::timeout, this, &frmUpdate::replyTimeUp);
  connect(Timer2, &QTimer::timeout, this, [this] { m_session.pauseOver(); });
  connect(tmrPoll, &QTimer::timeout, this, &frmUpdate::pollPort);

  connect(cmdOpen, &QPushButton::clicked, this, &frmUpdate::cmdOpen_Click);
  connect(cmdUpdate, &QPushButton::clicked, this, &frmUpdate::cmdUpdate_Click);
  m_session.identifyFinished = [this](BootSession::IdentifyResult r) { identifyFinished(r); };
  m_session.updateFinished = [this](bool ok) { updateFinished(ok); };
  m_session.progressed = [this](int sent) { pbFw->setValue(sent); };

  pbFw->setMin(0);
  pbFw->setValue(0);
  fillTypeList();
  showBusy();

  adjustSize();
  centreOnScreen(*this);
}

frmUpdate::~frmUpdate() {
  closePort();
}

void frmUpdate::fillTypeList() {
  cmbDev->clear();
  for (const NamedImage& image : namedImages())
    if (firmwareImagePresent(image.id))
      cmbDev->addItem(image.name);
}

void frmUpdate::showBusy() {
  const bool idle = !m_session.busy();
  cmdOpen->setEnabled(idle);
  cmdUpdate->setEnabled(idle && m_updateAllowed);
  cmbDev->setEnabled(idle);
}

// ---- the port -----------------------------------------------------------------------------------

bool frmUpdate::openPort() {
  const QString text = m_portText.trimmed();
  const std::optional<int> n = portNumber(text);
  if (!n) {
    ErrLog(QStringLiteral("ErrUPD"), QStringLiteral("Not a port: \"%1\"").arg(text));
    m_ask(QMessageBox::Critical, LangText(QStringLiteral("Wrong Port!")), QMessageBox::Ok);
    return false;
  }
  m_port = m_ports.port(*n);
  PortOpenFailure failure;
  if (!m_port->open(failure)) {
    m_port.reset();
    const QString reason = describeOpenFailure(*n, failure);
    ErrLog(QStringLiteral("ErrUPD"), reason);
    m_ask(QMessageBox::Critical, LangText(reason), QMessageBox::Ok);
    return false;
  }
  // A pseudo-terminal refuses even parity and takes the rest.
  m_port->setLineSettings(LineSettings{9600, 8, StopBits::One, Parity::Even});
  // A block write of 131 bytes needs about 150 ms on the line, more than the 100 ms that a
  // command frame is given: each byte adds its time.
  PortTimeouts timeouts;
  timeouts.writeTotalMultiplier = kWriteMsPerByte;
  m_port->setTimeouts(timeouts);
  return true;
}

void frmUpdate::closePort() {
  Timer1->stop();
  Timer2->stop();
  tmrPoll->stop();
  if (m_port)
    m_port->close();
  m_port.reset();
}

bool frmUpdate::write(const QByteArray& bytes) {
  return portOpen() && m_port->write(bytes) == bytes.size();
}

void frmUpdate::startReplyTimer() {
  Timer1->start();
  tmrPoll->start();
}

void frmUpdate::stopReplyTimer() {
  Timer1->stop();
  tmrPoll->stop();
}

void frmUpdate::startPause() {
  Timer2->start();
}

void frmUpdate::pollPort() {
  if (!portOpen())
    return;
  const QByteArray bytes = m_port->read(4096);
  if (!bytes.isEmpty())
    m_session.feed(bytes);
}

void frmUpdate::replyTimeUp() {
  // What came in since the last poll still counts; if it completed the reply, the next exchange
  // has started its own reply time.
  pollPort();
  if (!Timer1->isActive())
    m_session.replyTimedOut();
}

// ---- "Identify" ---------------------------------------------------------------------------------

void frmUpdate::cmdOpen_Click() {
  if (m_session.busy())
    return;
  if (!portOpen() && !openPort())
    return;
  m_updateAllowed = false;
  fillTypeList();
  m_session.Identify();
  showBusy();
}

void frmUpdate::identifyFinished(BootSession::IdentifyResult result) {
  showBusy();
  switch (result) {
  case BootSession::IdentifyResult::NoSync:
    m_ask(QMessageBox::Critical, LangText(QStringLiteral("Failed! Please check TTL cable")),
          QMessageBox::Ok);
    close();
    return;
  case BootSession::IdentifyResult::NoInfo:
    return; // logged by the session
  case BootSession::IdentifyResult::Identified:
    break;
  }
  const int type = m_session.DeviceType();
  const std::optional<QString> offered = offeredImage(type, m_session.LoaderVersion());
  if (!offered) {
    m_ask(QMessageBox::Information, LangText(QStringLiteral("Firmware is the latest:%1").arg(type)),
          QMessageBox::Ok);
    return;
  }
  // Offered whether its image is there or not: "Update" then says it failed and the log names
  // the missing file.
  int at = cmbDev->findText(*offered);
  if (at < 0) {
    cmbDev->addItem(*offered);
    at = cmbDev->count() - 1;
  }
  cmbDev->setCurrentIndex(at);
  m_ask(QMessageBox::Information, LangText(QStringLiteral("Success! Please select device type")),
        QMessageBox::Ok);
  m_updateAllowed = true;
  showBusy();
}

// ---- "Update" -----------------------------------------------------------------------------------

void frmUpdate::cmdUpdate_Click() {
  if (m_session.busy() || !m_updateAllowed || !m_session.identifiedType())
    return;
  const int type = *m_session.identifiedType();
  QByteArray image;
  try {
    image = readFirmwareImage(imageId(cmbDev->currentText(), type));
  } catch (...) {
    ErrLog(QStringLiteral("ErrUPD"), describeCurrentException());
    finish(QMessageBox::Critical, QStringLiteral("Update failed"));
    return;
  }
  const QString problem = imageProblem(image.size(), type);
  if (!problem.isEmpty()) {
    ErrLog(QStringLiteral("ErrUPD"), problem);
    finish(QMessageBox::Critical, QStringLiteral("Update failed"));
    return;
  }
  pbFw->setMax(static_cast<qint32>(image.size()));
  m_updateAllowed = false;
  m_session.Update(image);
  showBusy();
}

void frmUpdate::updateFinished(bool ok) {
  showBusy();
  if (ok) {
    closePort();
    finish(QMessageBox::Information, QStringLiteral("Update OK"));
  } else {
    finish(QMessageBox::Critical, QStringLiteral("Update failed"));
  }
}

void frmUpdate::finish(QMessageBox::Icon icon, const QString& text) {
  hide();
  m_ask(icon, LangText(text), QMessageBox::Ok);
  close();
}

void frmUpdate::closeEvent(QCloseEvent* event) {
  // A close in the middle of a job would take the port from under the session.
  if (m_session.busy()) {
    event->ignore();
    return;
  }
  closePort();
  event->accept();
  emit closed();
}

} // namespace ondrel
