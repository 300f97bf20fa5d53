#include "test/ui/frmusb.h"

#include "data/support/errorlog.h"
#include "widgets/componenterror.h"
#include "widgets/keyboard.h"
#include "widgets/lcdisp.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace ondrel {

namespace {

template <typename W> W* named(W* w, const char* name) {
  w->setObjectName(QLatin1String(name));
  return w;
}

QRadioButton* option(const char* caption, const char* name, QButtonGroup* group) {
  auto* o = named(new QRadioButton(QLatin1String(caption)), name);
  group->addButton(o);
  return o;
}

QPushButton* stepButton(const char* caption, const char* name, const char* description) {
  auto* b = named(new QPushButton(QLatin1String(caption)), name);
  // Both frames have a "+" and a "-": the description tells a screen reader which is which.
  b->setAccessibleDescription(QLatin1String(description));
  b->setAutoDefault(false);
  b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("MM")) + 16);
  return b;
}

} // namespace

// Topmost from the start: it would become so at its first activation anyway.
frmUSB::frmUSB(UsbTriggerSlot& slot, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), m_slot(slot),
      m_trigger(*this, Timer2, openingLevel(slot.voltageText(0))) {
  setObjectName(QStringLiteral("frmUSB"));
  setWindowTitle(QStringLiteral("USB Quick Charge"));
  setAttribute(Qt::WA_DeleteOnClose);
  build();
  showState();
  makeKeyboardWindow(*this);

  m_slot.showVoltageSteps();

  Timer1.setParent(this);
  Timer1.setObjectName(QStringLiteral("Timer1"));
  Timer2.timer.setParent(this);
  Timer2.timer.setObjectName(QStringLiteral("Timer2"));
  Timer1.setInterval(1000);
  connect(&Timer1, &QTimer::timeout, this, &frmUSB::Timer1Timer);
  Timer1.start();
  Timer1Timer();
  connect(&Timer2.timer, &QTimer::timeout, this, &frmUSB::Timer2Timer);

  setFixedSize(sizeHint());
  const QScreen* s = parent ? parent->screen() : screen();
  if (s)
    move(s->availableGeometry().center() - rect().center());
}

frmUSB::~frmUSB() = default;

void frmUSB::build() {
  auto* fraQC = named(new QGroupBox(QStringLiteral("QC2.0/3.0")), "frmQC");
  auto* protocols = new QButtonGroup(this);
  optQc2 = option("QC2.0", "optQc2", protocols);
  optQc3 = option("QC3.0", "optQc3", protocols);
  auto* levels = new QButtonGroup(this);
  optLevel = {option("5V", "opt5V", levels), option("9V", "opt9V", levels),
              option("12V", "opt12V", levels), option("20V", "opt20V", levels)};
  auto* steppings = new QButtonGroup(this);
  optManual = option("Manual", "optManual", steppings);
  optAuto = option("Auto", "optAuto", steppings);
  cmdQCDec = stepButton("-", "cmdQCDec", "QC down");
  cmdQCInc = stepButton("+", "cmdQCInc", "QC up");

  auto* qcGrid = new QGridLayout(fraQC);
  qcGrid->addWidget(optQc2, 0, 0);
  qcGrid->addWidget(optQc3, 0, 1);
  for (int i = 0; i < 4; ++i)
    qcGrid->addWidget(optLevel[i], 1, i);
  qcGrid->addWidget(optManual, 2, 0);
  qcGrid->addWidget(optAuto, 2, 1);
  qcGrid->addWidget(cmdQCDec, 2, 2, Qt::AlignRight);
  qcGrid->addWidget(cmdQCInc, 2, 3, Qt::AlignLeft);

  auto* fraPE = named(new QGroupBox(QStringLiteral("MTK-PE")), "frmPE");
  cmdPEDec = stepButton("-", "cmdPEDec", "MTK-PE down");
  cmdPEInc = stepButton("+", "cmdPEInc", "MTK-PE up");
  auto* peRow = new QHBoxLayout(fraPE);
  peRow->addWidget(cmdPEDec);
  peRow->addWidget(cmdPEInc);

  lcdVol = named(new LCDisp(LcdPreset::UsbVol), "lcdVol");
  // The readout has no caption: it shows the voltage the charger gives.
  lcdVol->setAccessibleName(QStringLiteral("Voltage"));
  lblVolt = named(new QLabel(QStringLiteral(" V")), "lblVolt");

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(fraPE);
  bottom->addStretch(1);
  bottom->addWidget(lcdVol, 0, Qt::AlignVCenter);
  bottom->addWidget(lblVolt, 0, Qt::AlignVCenter);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fraQC);
  layout->addLayout(bottom);

  // `clicked` comes from the user only: options the window sets itself send nothing.
  connect(optQc2, &QRadioButton::clicked, this, [this] {
    m_trigger.chooseProtocol(QcProtocol::Qc2);
    showState();
  });
  connect(optQc3, &QRadioButton::clicked, this, [this] {
    m_trigger.chooseProtocol(QcProtocol::Qc3);
    showState();
  });
  for (int level = 0; level < 4; ++level)
    connect(optLevel[level], &QRadioButton::clicked, this, [this, level] {
      m_trigger.chooseLevel(level);
      showState();
    });
  connect(optManual, &QRadioButton::clicked, this, [this] {
    m_trigger.chooseStepping(QcStepping::Manual);
    showState();
  });
  connect(optAuto, &QRadioButton::clicked, this, [this] {
    m_trigger.chooseStepping(QcStepping::Auto);
    showState();
  });
  connect(cmdQCInc, &QPushButton::clicked, this, [this] {
    m_trigger.increase();
    showState();
  });
  connect(cmdQCDec, &QPushButton::clicked, this, [this] {
    m_trigger.decrease();
    showState();
  });
  connect(cmdPEInc, &QPushButton::clicked, this, [this] { m_trigger.pumpExpressUp(); });
  connect(cmdPEDec, &QPushButton::clicked, this, [this] { m_trigger.pumpExpressDown(); });
}

void frmUSB::showState() {
  (m_trigger.protocol() == QcProtocol::Qc2 ? optQc2 : optQc3)->setChecked(true);
  optLevel[static_cast<size_t>(m_trigger.QcLevel())]->setChecked(true);
  (m_trigger.stepping() == QcStepping::Manual ? optManual : optAuto)->setChecked(true);
  const bool changeable = !m_trigger.rampRunning();
  optManual->setEnabled(changeable);
  optAuto->setEnabled(changeable);
}

void frmUSB::RemoteQC(int code) {
  m_slot.RemoteQC(m_slot.panelChannel(), code);
}

void frmUSB::RemotePE(int code) {
  m_slot.RemotePE(m_slot.panelChannel(), code);
}

void frmUSB::Timer1Timer() {
  const QString text = m_slot.voltageText(m_slot.panelChannel());
  try {
    lcdVol->setValue(text);
    m_refusedText.clear();
  } catch (const ComponentError& e) {
    // Said once, not every second while the text stays.
    if (text != m_refusedText)
      ErrLog(QStringLiteral("ErrDisp"),
             QStringLiteral("lcdVol cannot show \"%1\": %2").arg(text, e.description()));
    m_refusedText = text;
  }
}

void frmUSB::Timer2Timer() {
  m_trigger.rampTick();
}

void frmUSB::deviceDisconnected() {
  m_trigger.stopRamp();
  showState();
}

void frmUSB::closeEvent(QCloseEvent* event) {
  Timer1.stop();
  m_trigger.stopRamp();
  event->accept();
  emit closed();
}

} // namespace ondrel
