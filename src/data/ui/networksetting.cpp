#include "data/ui/networksetting.h"

#include "data/support/errorlog.h"
#include "data/support/ini.h"
#include "widgets/keyboard.h"
#include "widgets/windowplacement.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QPushButton>
#include <QSysInfo>
#include <QVBoxLayout>

namespace ondrel {
namespace {

QLineEdit* box(const QString& text, const char* name, QWidget* parent) {
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(QLatin1String(name));
  e->setMinimumWidth(280);
  return e;
}

QPushButton* button(const QString& text, const char* name, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QLatin1String(name));
  return b;
}

} // namespace

frmNet::frmNet(QWidget* owner, const MqttConfig& c, const QString& iniFile)
    : QWidget(owner), m_ini(iniFile) {
  setObjectName(QStringLiteral("frmNet"));
  setWindowFlags(Qt::Dialog);
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Network Setting"));
  makeKeyboardWindow(*this);

  txtUrl = box(c.url, "txtUrl", this);
  txtUrl->setPlaceholderText(QStringLiteral("mqtt://host:1883 or mqtts://host:8883 (empty: off)"));
  txtUser = box(c.user, "txtUser", this);
  txtPass = box(c.passFile, "txtPass", this);
  txtPass->setPlaceholderText(QStringLiteral("a file holding the password"));
  txtCa = box(c.caFile, "txtCa", this);
  txtCa->setPlaceholderText(QStringLiteral("for mqtts; empty: the system's certificates"));
  txtPrefix = box(c.prefix, "txtPrefix", this);
  spnRate = new QSpinBox(this);
  spnRate->setObjectName(QStringLiteral("spnRate"));
  spnRate->setRange(1, 3600);
  spnRate->setValue(c.rate);
  spnRate->setSuffix(QStringLiteral(" s"));
  chkStop = new QCheckBox(QStringLiteral("Allow a stop from the broker"), this);
  chkStop->setObjectName(QStringLiteral("chkStop"));
  chkStop->setChecked(c.allowStop);
  lblTest = new QLabel(this);
  lblTest->setObjectName(QStringLiteral("lblTest"));
  lblTest->setWordWrap(true);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Broker:"), txtUrl);
  form->addRow(QStringLiteral("&User:"), txtUser);
  form->addRow(QStringLiteral("&Password file:"), txtPass);
  form->addRow(QStringLiteral("C&A file:"), txtCa);
  form->addRow(QStringLiteral("Topic p&refix:"), txtPrefix);
  form->addRow(QStringLiteral("State e&very:"), spnRate);
  form->addRow(QString(), chkStop);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(lblTest);
  auto* row = new QHBoxLayout;
  QPushButton* cmdTest = button(QStringLiteral("&Test"), "cmdTest", this);
  QPushButton* cmdForget = button(QStringLiteral("&Forget Devices"), "cmdForget", this);
  QPushButton* cmdOK = button(QStringLiteral("OK"), "cmdOK", this);
  QPushButton* cmdCancel = button(QStringLiteral("Cancel"), "cmdCancel", this);
  cmdOK->setDefault(true);
  row->addWidget(cmdTest);
  row->addWidget(cmdForget);
  row->addStretch(1);
  row->addWidget(cmdOK);
  row->addWidget(cmdCancel);
  layout->addLayout(row);
  connect(cmdTest, &QPushButton::clicked, this, &frmNet::testClicked);
  connect(cmdForget, &QPushButton::clicked, this, [this] { emit forgetRequested(config()); });
  connect(cmdOK, &QPushButton::clicked, this, &frmNet::okClicked);
  connect(cmdCancel, &QPushButton::clicked, this, &QWidget::close);
  m_testTimer.setSingleShot(true);
  connect(&m_testTimer, &QTimer::timeout, this,
          [this] { testFinished(false, QStringLiteral("no answer within 10 s")); });
  adjustSize();
  centreOnScreen(*this);
}

frmNet::~frmNet() = default;

MqttConfig frmNet::config() const {
  MqttConfig c;
  c.url = txtUrl->text().trimmed();
  c.user = txtUser->text().trimmed();
  c.passFile = txtPass->text().trimmed();
  c.caFile = txtCa->text().trimmed();
  c.prefix = txtPrefix->text().trimmed().isEmpty() ? QStringLiteral("ondrel")
                                                    : txtPrefix->text().trimmed();
  c.rate = spnRate->value();
  c.allowStop = chkStop->isChecked();
  return c;
}

void frmNet::okClicked() {
  const MqttConfig c = config();
  if (c.enabled()) {
    QString error;
    if (!parseBrokerUrl(c.url, &error)) {
      lblTest->setText(error);
      txtUrl->setFocus();
      return;
    }
  }
  // Written the moment OK is pressed, as every setting is.
  const QString section = QStringLiteral("MQTT");
  IniWrite(m_ini, section, QStringLiteral("URL"), c.url);
  IniWrite(m_ini, section, QStringLiteral("USER"), c.user);
  IniWrite(m_ini, section, QStringLiteral("PASSFILE"), c.passFile);
  IniWrite(m_ini, section, QStringLiteral("CAFILE"), c.caFile);
  IniWrite(m_ini, section, QStringLiteral("PREFIX"), c.prefix);
  IniWrite(m_ini, section, QStringLiteral("RATE"), QString::number(c.rate));
  IniWrite(m_ini, section, QStringLiteral("ALLOWSTOP"),
           c.allowStop ? QStringLiteral("True") : QStringLiteral("False"));
  emit applied(c);
  close();
}

void frmNet::testClicked() {
  const MqttConfig c = config();
  QString error;
  const std::optional<BrokerAddress> broker = parseBrokerUrl(c.url, &error);
  if (!broker) {
    lblTest->setText(error);
    return;
  }
  MqttConnectOptions o;
  o.broker = *broker;
  o.user = c.user;
  if (!c.passFile.isEmpty()) {
    o.password = readPasswordFile(c.passFile, &error);
    if (!o.password) {
      lblTest->setText(error);
      return;
    }
  }
  o.caFile = c.caFile;
  o.clientId = QStringLiteral("ondrel-test-%1").arg(telemetryHostId(QSysInfo::machineHostName()));
  m_test = makeMosquittoClient(o);
  // The answer comes on the client's thread; it is shown here.
  m_test->onStatus = [this](bool up, const QString& reason) {
    QMetaObject::invokeMethod(this, [this, up, reason] { testFinished(up, reason); },
                              Qt::QueuedConnection);
  };
  lblTest->setText(QStringLiteral("Connecting to %1 ...").arg(c.url));
  m_testTimer.start(10000);
  m_test->start();
}

void frmNet::testFinished(bool up, const QString& reason) {
  if (!m_test)
    return;
  m_testTimer.stop();
  lblTest->setText(up ? QStringLiteral("Connected to the broker.")
                      : QStringLiteral("Not connected: %1").arg(reason));
  // Stopped off this call: the client's own thread may still be handing over.
  QTimer::singleShot(0, this, [this] { m_test.reset(); });
}

void frmNet::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit closed();
}

} // namespace ondrel
