#include "test/ui/devctrl.h"

#include "data/support/errorlog.h"
#include "data/support/langtext.h"
#include "data/support/pendingevents.h"
#include "test/slotmodel.h"
#include "test/ui/panelparts.h"
#include "widgets/colour.h"
#include "widgets/componenterror.h"
#include "widgets/keyboard.h"
#include "widgets/lcdisp.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

namespace ondrel {

namespace {

QString indexed(const char* name, int i) {
  return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

// `spoken`: the accessible name of a control without a caption of its own (a readout, a table);
// a box with a caption label is named by that label.
template <typename W> W* named(W* w, const QString& name, const QString& spoken = {}) {
  w->setObjectName(name);
  if (!spoken.isEmpty())
    w->setAccessibleName(LangText(spoken));
  return w;
}

QLabel* caption(const QString& text, const QString& name, QWidget* buddy = nullptr) {
  auto* l = named(new QLabel(text), name);
  if (buddy)
    l->setBuddy(buddy);
  return l;
}

QComboBox* list(const QString& name, bool editable, int chars, const QString& spoken = {}) {
  auto* c = named(new QComboBox, name, spoken);
  c->setEditable(editable);
  c->setMinimumContentsLength(chars);
  c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  c->setInsertPolicy(QComboBox::NoInsert);
  return c;
}

// A list without an edit field can still show a text that is not one of its entries (the main
// window shows "No Device" that way before a model is known): it is shown as the placeholder.
void setListText(QComboBox* c, const QString& text) {
  const int i = c->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (c->isEditable()) {
    if (i >= 0)
      c->setCurrentIndex(i);
    c->setEditText(text);
    return;
  }
  c->setPlaceholderText(i < 0 ? text : QString());
  c->setCurrentIndex(i);
}

QString listText(const QComboBox* c) {
  if (!c->isEditable() && c->currentIndex() < 0)
    return c->placeholderText();
  return c->currentText();
}

void clearList(QComboBox* c) {
  c->clear();
  c->setPlaceholderText(QString());
  if (c->isEditable())
    c->clearEditText();
}

QLineEdit* readout(const QString& name, const QString& text) {
  auto* e = named(new PanelBox(8), name);
  e->setReadOnly(true);
  e->setFocusPolicy(Qt::NoFocus);
  e->setText(text);
  return e;
}

QPushButton* button(const QString& text, const QString& name) {
  return named(new QPushButton(text), name);
}

QGroupBox* frame(const QString& title, const QString& name) {
  return named(new QGroupBox(title), name);
}

int pageOfKey(const QString& key) {
  if (key == QLatin1String("key1"))
    return 0;
  if (key == QLatin1String("key2"))
    return 1;
  return 2;
}

} // namespace

DevCtrl::DevCtrl(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("DevCtrl"));

  tabDev = named(new QTabBar, QStringLiteral("tabDev"), QStringLiteral("Tests"));
  tabDev->setExpanding(false);
  tabDev->setDrawBase(false);
  m_pages = new QStackedWidget;
  m_pages->setObjectName(QStringLiteral("frmDevPages"));
  m_pages->addWidget(frmDev[0] = buildSinglePage());
  m_pages->addWidget(frmDev[1] = buildAutoPage());
  m_pages->addWidget(frmDev[2] = buildCyclePage());
  for (int i = 0; i < 3; ++i)
    frmDev[i]->setObjectName(indexed("frmDev", i));

  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(0, 0, 0, 0);
  top->setSpacing(0);
  top->addWidget(tabDev);
  top->addWidget(m_pages, 1);

  connect(tabDev, &QTabBar::currentChanged, this, [this](int i) {
    if (i >= 0)
      pageForKey(tabDev->tabData(i).toString());
  });

  auto timer = [this](const QString& name) {
    auto* t = new QTimer(this);
    t->setObjectName(name);
    t->setInterval(1000);
    return t;
  };
  for (int c = 0; c < 2; ++c) {
    tmrCurve[c] = timer(indexed("tmrCurve", c));
    tmrShow[c] = timer(indexed("tmrShow", c));
    connect(tmrCurve[c], &QTimer::timeout, this, [this, c] { emit CurveTimer(c); });
    connect(tmrShow[c], &QTimer::timeout, this, [this, c] { emit ShowTimer(c); });
  }
  tmrAuto = timer(QStringLiteral("tmrAuto"));
  tmrStep = timer(QStringLiteral("tmrStep"));
  connect(tmrAuto, &QTimer::timeout, this, &DevCtrl::AutoTimer);
  connect(tmrStep, &QTimer::timeout, this, &DevCtrl::StepTimer);

  m_volColor = lcdVol->SegmentLitColor();
  m_curColor = lcdCur->SegmentLitColor();
  m_pwrColor = lcdPwr->SegmentLitColor();
  m_timeColor = lcdTime->SegmentLitColor();
  applyColour(nullptr, lblVolt, m_volColor);
  applyColour(nullptr, lblCurt, m_curColor);
  applyColour(nullptr, lblPwrt, m_pwrColor);

  setDev2S(false);
  m_pages->setCurrentIndex(0);
  AutoListClr();
  StepListClr();
  StepSetClr();
}

DevCtrl::~DevCtrl() = default;

// ---- construction ----------------------------------------------------------------------------

QWidget* DevCtrl::buildSinglePage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  v->addWidget(buildComm());
  v->addWidget(frmRun = buildRun());
  v->addWidget(frmRun2S = buildRun2S());
  v->addWidget(frmCtrl = buildCtrl());
  v->addWidget(frmCtrl2S = buildCtrl2S());
  v->addStretch(1);
  return page;
}

QGroupBox* DevCtrl::buildComm() {
  frmCom = frame(QStringLiteral("Comm Setting"), QStringLiteral("frmCom"));
  cmbPort = list(QStringLiteral("cmbPort"), true, 6, QStringLiteral("Port"));
  cmdConn = button(QStringLiteral("Connect"), QStringLiteral("cmdConn"));
  shpRecv = named(new RecvLamp, QStringLiteral("shpRecv"), QStringLiteral("Receiving"));
  auto* h = new QHBoxLayout(frmCom);
  h->addWidget(cmbPort, 1);
  h->addWidget(cmdConn);
  h->addWidget(shpRecv);
  connect(cmdConn, &QPushButton::clicked, this, &DevCtrl::ConnClick);
  return frmCom;
}

QGroupBox* DevCtrl::buildRun() {
  auto* f = frame(QStringLiteral("Run Data"), QStringLiteral("frmRun"));
  lcdVol =
      named(new LCDisp(LcdPreset::DevCtrlVol), QStringLiteral("lcdVol"), QStringLiteral("Voltage"));
  lcdCur =
      named(new LCDisp(LcdPreset::DevCtrlCur), QStringLiteral("lcdCur"), QStringLiteral("Current"));
  lcdPwr =
      named(new LCDisp(LcdPreset::DevCtrlPwr), QStringLiteral("lcdPwr"), QStringLiteral("Power"));
  lcdTime =
      named(new LCDisp(LcdPreset::DevCtrlTime), QStringLiteral("lcdTime"), QStringLiteral("Time"));
  lblVolt = caption(QStringLiteral("V"), QStringLiteral("lblVolt"));
  lblCurt = caption(QStringLiteral("A"), QStringLiteral("lblCurt"));
  lblPwrt = caption(QStringLiteral("W"), QStringLiteral("lblPwrt"));
  imgLogo = named(new QLabel, QStringLiteral("imgLogo"), QStringLiteral("Logo"));
  imgLogo->setAlignment(Qt::AlignCenter);

  auto* g = new QGridLayout(f);
  g->setHorizontalSpacing(4);
  g->addWidget(lcdVol, 0, 0);
  g->addWidget(lblVolt, 0, 1);
  g->addWidget(lcdCur, 0, 3);
  g->addWidget(lblCurt, 0, 4);
  g->addWidget(lcdPwr, 1, 0);
  g->addWidget(lblPwrt, 1, 1);
  g->addWidget(lcdTime, 1, 3, 1, 2);
  g->addWidget(imgLogo, 0, 5, 2, 1);
  g->setColumnMinimumWidth(2, 8);
  g->setColumnStretch(5, 1);
  return f;
}

QGroupBox* DevCtrl::buildRun2S() {
  auto* f = frame(QStringLiteral("Run Data"), QStringLiteral("frmRun2S"));
  auto* g = new QGridLayout(f);
  g->setHorizontalSpacing(4);
  auto* chn1 = caption(QStringLiteral("Channel1"), QStringLiteral("lblChn1"));
  auto* chn2 = caption(QStringLiteral("Channel2"), QStringLiteral("lblChn2"));
  g->addWidget(chn1, 0, 0, 1, 3, Qt::AlignCenter);
  g->addWidget(chn2, 0, 4, 1, 3, Qt::AlignCenter);
  for (int c = 0; c < 2; ++c) {
    const int col = c * 4;
    txtTime2S[c] = readout(indexed("txtTime2S", c), QStringLiteral("00:00:00"));
    txtVol2S[c] = readout(indexed("txtVol2S", c), QStringLiteral("00.00"));
    txtCur2S[c] = readout(indexed("txtCur2S", c), QStringLiteral("00.00"));
    txtPwr2S[c] = readout(indexed("txtPwr2S", c), QStringLiteral("0.0"));
    const std::array<std::pair<QLineEdit*, QLabel*>, 4> rows = {{
        {txtTime2S[c], caption(QStringLiteral("Time:"), indexed("lblTime2S", c), txtTime2S[c])},
        {txtVol2S[c], caption(QStringLiteral("Volt:"), indexed("lblVol2S", c), txtVol2S[c])},
        {txtCur2S[c], caption(QStringLiteral("Curr:"), indexed("lblCur2S", c), txtCur2S[c])},
        {txtPwr2S[c], caption(QStringLiteral("Pwr:"), indexed("lblPwr2S", c), txtPwr2S[c])},
    }};
    const std::array<QLabel*, 4> units = {nullptr,
                                          caption(QStringLiteral("V"), indexed("lblVol2St", c)),
                                          caption(QStringLiteral("A"), indexed("lblCur2St", c)),
                                          caption(QStringLiteral("W"), indexed("lblPwr2St", c))};
    for (int r = 0; r < 4; ++r) {
      // Both channels' readouts share their captions: the description says whose it is.
      rows[r].first->setAccessibleDescription(LangText(QStringLiteral("Channel%1").arg(c + 1)));
      g->addWidget(rows[r].second, r + 1, col, Qt::AlignRight);
      g->addWidget(rows[r].first, r + 1, col + 1);
      if (units[r])
        g->addWidget(units[r], r + 1, col + 2);
    }
  }
  g->setColumnMinimumWidth(3, 8);
  g->setColumnStretch(3, 1);
  return f;
}

QGroupBox* DevCtrl::buildCtrl() {
  auto* f = frame(QStringLiteral("Parameter Setting"), QStringLiteral("frmCtrl"));
  cmbMode = list(QStringLiteral("cmbMode"), false, 9);
  txtSval = named(new PanelBox(7), QStringLiteral("txtSval"));
  txtSlmt = named(new PanelBox(7), QStringLiteral("txtSlmt"));
  txtStim = named(new PanelBox(7), QStringLiteral("txtStim"));
  auto* lblMode = caption(QStringLiteral("Mode:"), QStringLiteral("lblMode"), cmbMode);
  lblSval = caption(QStringLiteral("Test Val:"), QStringLiteral("lblSval"), txtSval);
  lblSlmt = caption(QStringLiteral("Cutoff Volt:"), QStringLiteral("lblSlmt"), txtSlmt);
  lblStim = caption(QStringLiteral("Max Time:"), QStringLiteral("lblStim"), txtStim);
  lblSvalt = caption(QStringLiteral("A"), QStringLiteral("lblSvalt"));
  lblSlmtt = caption(QStringLiteral("V"), QStringLiteral("lblSlmtt"));
  lblStimt = caption(QStringLiteral("M"), QStringLiteral("lblStimt"));
  cmdRun = button(QStringLiteral("Start"), QStringLiteral("cmdRun"));
  cmdStop = button(QStringLiteral("Stop"), QStringLiteral("cmdStop"));
  cmdCont = button(QStringLiteral("Continue"), QStringLiteral("cmdCont"));
  cmdSet = button(QStringLiteral("Adjust"), QStringLiteral("cmdSet"));
  cmdMonitor = button(QStringLiteral("Monitor"), QStringLiteral("cmdMonitor"));

  auto* g = new QGridLayout(f);
  g->addWidget(lblMode, 0, 0, Qt::AlignRight);
  g->addWidget(cmbMode, 0, 1, 1, 2);
  const std::array<std::array<QWidget*, 3>, 3> rows = {
      {{lblSval, txtSval, lblSvalt}, {lblSlmt, txtSlmt, lblSlmtt}, {lblStim, txtStim, lblStimt}}};
  for (int r = 0; r < 3; ++r) {
    g->addWidget(rows[r][0], r + 1, 0, Qt::AlignRight);
    g->addWidget(rows[r][1], r + 1, 1);
    g->addWidget(rows[r][2], r + 1, 2);
  }
  g->setColumnStretch(3, 1);
  auto* buttons = new QGridLayout;
  buttons->addWidget(cmdRun, 0, 0);
  buttons->addWidget(cmdStop, 0, 1);
  buttons->addWidget(cmdCont, 0, 2);
  buttons->addWidget(cmdSet, 1, 0);
  buttons->addWidget(cmdMonitor, 1, 1);
  g->addLayout(buttons, 4, 0, 1, 4);

  connect(cmbMode, &QComboBox::activated, this, [this] { emit ModeClick(); });
  connect(txtSval, &PanelBox::left, this, [this] { emit SvalChange(0); });
  connect(txtSlmt, &PanelBox::left, this, [this] { emit SlmtChange(0); });
  connect(txtStim, &PanelBox::left, this, [this] { emit StimChange(0); });
  connect(cmdRun, &QPushButton::clicked, this, [this] { emit RunClick(0); });
  connect(cmdStop, &QPushButton::clicked, this, [this] { emit StopClick(0); });
  connect(cmdCont, &QPushButton::clicked, this, [this] { emit ContClick(0); });
  connect(cmdSet, &QPushButton::clicked, this, [this] { emit SetClick(0); });
  connect(cmdMonitor, &QPushButton::clicked, this, [this] { emit MonitorClick(0); });
  return f;
}

QGroupBox* DevCtrl::buildCtrl2S() {
  auto* f = frame(QStringLiteral("Parameter Setting"), QStringLiteral("frmCtrl2S"));
  cmbMode2S = list(QStringLiteral("cmbMode2S"), false, 9);
  auto* lblMode2S = caption(QStringLiteral("Mode:"), QStringLiteral("lblMode2S"), cmbMode2S);
  auto* g = new QGridLayout(f);
  g->setHorizontalSpacing(4);
  g->addWidget(lblMode2S, 0, 0, Qt::AlignRight);
  g->addWidget(cmbMode2S, 0, 1, 1, 3);
  for (int c = 0; c < 2; ++c) {
    const int col = c * 4;
    txtSval2S[c] = named(new PanelBox(6), indexed("txtSval2S", c));
    txtSlmt2S[c] = named(new PanelBox(6), indexed("txtSlmt2S", c));
    txtStim2S[c] = named(new PanelBox(6), indexed("txtStim2S", c));
    lblSval2S[c] = caption(QStringLiteral("Test Val:"), indexed("lblSval2S", c), txtSval2S[c]);
    lblSlmt2S[c] = caption(QStringLiteral("Cutoff V:"), indexed("lblSlmt2S", c), txtSlmt2S[c]);
    lblStim2S[c] = caption(QStringLiteral("Time:"), indexed("lblStim2S", c), txtStim2S[c]);
    lblSval2St[c] = caption(QStringLiteral("A"), indexed("lblSval2St", c));
    lblSlmt2St[c] = caption(QStringLiteral("V"), indexed("lblSlmt2St", c));
    lblStim2St[c] = caption(QStringLiteral("M"), indexed("lblStim2St", c));
    const std::array<std::array<QWidget*, 3>, 3> rows = {
        {{lblSval2S[c], txtSval2S[c], lblSval2St[c]},
         {lblSlmt2S[c], txtSlmt2S[c], lblSlmt2St[c]},
         {lblStim2S[c], txtStim2S[c], lblStim2St[c]}}};
    for (int r = 0; r < 3; ++r) {
      rows[r][1]->setAccessibleDescription(LangText(QStringLiteral("Channel%1").arg(c + 1)));
      g->addWidget(rows[r][0], r + 1, col, Qt::AlignRight);
      g->addWidget(rows[r][1], r + 1, col + 1);
      g->addWidget(rows[r][2], r + 1, col + 2);
    }
    connect(txtSval2S[c], &PanelBox::left, this, [this, c] { emit SvalChange(c); });
    connect(txtSlmt2S[c], &PanelBox::left, this, [this, c] { emit SlmtChange(c); });
    connect(txtStim2S[c], &PanelBox::left, this, [this, c] { emit StimChange(c); });
  }
  g->setColumnMinimumWidth(3, 8);
  g->setColumnStretch(3, 1);

  optChn0 = named(new QRadioButton(QStringLiteral("Chn1")), QStringLiteral("optChn0"));
  optChn1 = named(new QRadioButton(QStringLiteral("Chn2")), QStringLiteral("optChn1"));
  optChn2 = named(new QRadioButton(QStringLiteral("All Channel")), QStringLiteral("optChn2"));
  optChn0->setChecked(true);
  auto* group = new QButtonGroup(f);
  group->addButton(optChn0);
  group->addButton(optChn1);
  group->addButton(optChn2);
  auto* opts = new QHBoxLayout;
  opts->addWidget(optChn0);
  opts->addWidget(optChn1);
  opts->addWidget(optChn2);
  opts->addStretch(1);
  g->addLayout(opts, 4, 0, 1, 7);

  cmdRun2S = button(QStringLiteral("Start"), QStringLiteral("cmdRun2S"));
  cmdStop2S = button(QStringLiteral("Stop"), QStringLiteral("cmdStop2S"));
  cmdCont2S = button(QStringLiteral("Continue"), QStringLiteral("cmdCont2S"));
  cmdSet2S = button(QStringLiteral("Adjust"), QStringLiteral("cmdSet2S"));
  cmdMonitor2S = button(QStringLiteral("Monitor"), QStringLiteral("cmdMonitor2S"));
  auto* buttons = new QGridLayout;
  buttons->addWidget(cmdRun2S, 0, 0);
  buttons->addWidget(cmdStop2S, 0, 1);
  buttons->addWidget(cmdCont2S, 0, 2);
  buttons->addWidget(cmdSet2S, 1, 0);
  buttons->addWidget(cmdMonitor2S, 1, 1);
  g->addLayout(buttons, 5, 0, 1, 7);

  connect(cmbMode2S, &QComboBox::activated, this, [this] { emit ModeClick(); });
  const std::array<std::pair<QPushButton*, ChannelEvent>, 5> events = {{
      {cmdRun2S, &DevCtrl::RunClick},
      {cmdStop2S, &DevCtrl::StopClick},
      {cmdCont2S, &DevCtrl::ContClick},
      {cmdSet2S, &DevCtrl::SetClick},
      {cmdMonitor2S, &DevCtrl::MonitorClick},
  }};
  for (const auto& [b, event] : events)
    connect(b, &QPushButton::clicked, this,
            [this, event = event] { raiseForSelectedChannels(event); });
  return f;
}

QWidget* DevCtrl::buildAutoPage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);

  auto* ctrl = frame(QStringLiteral("Parameter Setting"), QStringLiteral("frmCtrlAuto"));
  cmbModeAuto = list(QStringLiteral("cmbModeAuto"), false, 6);
  txtVolAuto = named(new PanelBox(6), QStringLiteral("txtVolAuto"));
  txtVolAuto->setText(QStringLiteral("0.80"));
  cmbC1Auto = list(QStringLiteral("cmbC1Auto"), true, 6);
  cmbC2Auto = list(QStringLiteral("cmbC2Auto"), true, 6);
  cmbStepAuto = list(QStringLiteral("cmbStepAuto"), true, 6);
  cmbTimeAuto = list(QStringLiteral("cmbTimeAuto"), true, 6);
  optAutoSec = named(new QRadioButton(QStringLiteral("Sec")), QStringLiteral("optAutoSec"));
  optAutoMin = named(new QRadioButton(QStringLiteral("Min")), QStringLiteral("optAutoMin"));
  optAutoSec->setChecked(true);
  auto* unit = new QButtonGroup(ctrl);
  unit->addButton(optAutoSec);
  unit->addButton(optAutoMin);
  cmdStartAuto = button(QStringLiteral("Start"), QStringLiteral("cmdStartAuto"));
  cmdSave = button(QStringLiteral("Save"), QStringLiteral("cmdSave"));

  auto* g = new QGridLayout(ctrl);
  const std::array<std::tuple<const char*, const char*, QWidget*>, 6> rows = {{
      {"Mode:", "lblModeAuto", cmbModeAuto},
      {"Cutoff Volt:", "lblVolAuto", txtVolAuto},
      {"Start Curr:", "lblC1Auto", cmbC1Auto},
      {"Stop Curr:", "lblC2Auto", cmbC2Auto},
      {"Step:", "lblStepAuto", cmbStepAuto},
      {"Change:", "lblTimeAuto", cmbTimeAuto},
  }};
  for (int r = 0; r < 6; ++r) {
    const auto& [text, name, w] = rows[r];
    g->addWidget(caption(QString::fromLatin1(text), QString::fromLatin1(name), w), r, 0,
                 Qt::AlignRight);
    g->addWidget(w, r, 1);
  }
  auto* opts = new QHBoxLayout;
  opts->addWidget(optAutoSec);
  opts->addWidget(optAutoMin);
  g->addLayout(opts, 5, 2);
  g->setColumnStretch(3, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdStartAuto);
  buttons->addWidget(cmdSave);
  buttons->addStretch(1);
  g->addLayout(buttons, 6, 0, 1, 4);
  v->addWidget(ctrl);

  auto* run = frame(QStringLiteral("Run Data"), QStringLiteral("frmRunAuto"));
  gridAutoRun = named(new PanelGrid(4, 11), QStringLiteral("gridAutoRun"),
                      QStringLiteral("Auto test results"));
  auto* rl = new QVBoxLayout(run);
  rl->addWidget(gridAutoRun);
  v->addWidget(run, 1);

  connect(txtVolAuto, &PanelBox::left, this, &DevCtrl::VolAutoChange);
  connect(cmdStartAuto, &QPushButton::clicked, this, &DevCtrl::StartAutoClick);
  connect(cmdSave, &QPushButton::clicked, this, &DevCtrl::SaveClick);
  connect(gridAutoRun, &PanelGrid::gridDoubleClicked, this, &DevCtrl::AutoRunDblClick);
  onCellKeys(*gridAutoRun, {Qt::Key_Return, Qt::Key_Enter}, [this](int, int) {
    emit AutoRunDblClick();
    return true;
  });
  connect(gridAutoRun, &PanelGrid::resized, this, &DevCtrl::layAutoRunColumns);
  return page;
}

QWidget* DevCtrl::buildCyclePage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);

  auto* ctrl = frame(QStringLiteral("Parameter Setting"), QStringLiteral("frmCtrlPrg"));
  gridStepSet =
      named(new PanelGrid(5, 11), QStringLiteral("gridStepSet"), QStringLiteral("Step program"));
  cmdStartStep = button(QStringLiteral("Start"), QStringLiteral("cmdStartStep"));
  cmdClearStep = button(QStringLiteral("Clear"), QStringLiteral("cmdClearStep"));
  cmdSetStep = button(QStringLiteral("Setting"), QStringLiteral("cmdSetStep"));
  cmdSaveStep = button(QStringLiteral("Save"), QStringLiteral("cmdSaveStep"));
  cmdOpenStep = button(QStringLiteral("Open"), QStringLiteral("cmdOpenStep"));
  auto* cl = new QVBoxLayout(ctrl);
  cl->addWidget(gridStepSet);
  auto* buttons = new QGridLayout;
  buttons->addWidget(cmdStartStep, 0, 0);
  buttons->addWidget(cmdClearStep, 0, 1);
  buttons->addWidget(cmdSetStep, 0, 2);
  buttons->addWidget(cmdSaveStep, 1, 0);
  buttons->addWidget(cmdOpenStep, 1, 1);
  cl->addLayout(buttons);
  v->addWidget(ctrl);

  auto* run = frame(QStringLiteral("Run Data"), QStringLiteral("frmRunPrg"));
  gridStepRun =
      named(new PanelGrid(4, 9), QStringLiteral("gridStepRun"), QStringLiteral("Step results"));
  gridStepRun->setNaturalWidthTwips(500 + 800 + 850 + 900);
  auto* rl = new QVBoxLayout(run);
  rl->addWidget(gridStepRun);
  v->addWidget(run, 1);

  connect(cmdStartStep, &QPushButton::clicked, this, &DevCtrl::StartStepClick);
  connect(cmdClearStep, &QPushButton::clicked, this, &DevCtrl::ClearStepClick);
  connect(cmdSetStep, &QPushButton::clicked, this, &DevCtrl::SetStepClick);
  connect(cmdSaveStep, &QPushButton::clicked, this, &DevCtrl::SaveStepClick);
  connect(cmdOpenStep, &QPushButton::clicked, this, &DevCtrl::OpenStepClick);
  connect(gridStepSet, &PanelGrid::resized, this, &DevCtrl::layStepSetColumns);
  return page;
}

// ---- events ----------------------------------------------------------------------------------

// With both channels selected, channel 0's handler may start a test that channel 1's handler
// then sees; the two yields let the reactions to the first one (redraws, queued signals) run.
void DevCtrl::raiseForSelectedChannels(ChannelEvent event) {
  if (optChn2->isChecked()) {
    emit(this->*event)(0);
    if (letPendingEventsRunTwice(this))
      emit(this->*event)(1);
    return;
  }
  emit(this->*event)(optChn1->isChecked() ? 1 : 0);
}

void DevCtrl::pageForKey(const QString& key) {
  m_pages->setCurrentIndex(pageOfKey(key));
}

void DevCtrl::checkChannel(int chn) {
  if (chn < 0 || chn > 1)
    throw ComponentError::subscriptOutOfRange();
}

// ---- methods ---------------------------------------------------------------------------------

void DevCtrl::ModeAdd(const QString& text) {
  modeList()->addItem(text);
}

void DevCtrl::ModeClr() {
  clearList(modeList());
}

void DevCtrl::PortAdd(const QString& text) {
  cmbPort->addItem(text);
}

// Empties the list only: a port the user typed stays in the box, so a probe that finds nothing
// openable leaves the selection alone.
void DevCtrl::PortClr() {
  const QString typed = cmbPort->currentText();
  cmbPort->clear();
  cmbPort->setEditText(typed);
}

void DevCtrl::TabAdd(int index, const QString& key) {
  QString text;
  if (index == 1)
    text = QStringLiteral("Single Test");
  else if (index == 2 && key == QLatin1String("key2"))
    text = QStringLiteral("Auto Test");
  else
    text = QStringLiteral("Cycle Test");
  const int at = std::clamp(index - 1, 0, tabDev->count());
  // Inserting the first tab selects it and shows its page; the key must be there by then.
  const QSignalBlocker block(tabDev);
  const int i = tabDev->insertTab(at, LangText(text));
  tabDev->setTabData(i, key);
  if (tabDev->count() == 1)
    pageForKey(key);
  // A hidden tab bar does not tell its layout that it grew; without this a panel that gets its
  // tabs before it is first shown keeps an empty strip.
  tabDev->updateGeometry();
}

void DevCtrl::TabClear() {
  const QSignalBlocker block(tabDev);
  while (tabDev->count() > 0)
    tabDev->removeTab(tabDev->count() - 1);
  tabDev->updateGeometry();
}

void DevCtrl::AutoModeAdd(const QString& text) {
  cmbModeAuto->addItem(text);
}
void DevCtrl::AutoModeClr() {
  clearList(cmbModeAuto);
}
void DevCtrl::AutoC1Add(const QString& text) {
  cmbC1Auto->addItem(text);
}
void DevCtrl::AutoC1Clr() {
  clearList(cmbC1Auto);
}
void DevCtrl::AutoC2Add(const QString& text) {
  cmbC2Auto->addItem(text);
}
void DevCtrl::AutoC2Clr() {
  clearList(cmbC2Auto);
}
void DevCtrl::AutoStepAdd(const QString& text) {
  cmbStepAuto->addItem(text);
}
void DevCtrl::AutoStepClr() {
  clearList(cmbStepAuto);
}
void DevCtrl::AutoTimeAdd(const QString& text) {
  cmbTimeAuto->addItem(text);
}
void DevCtrl::AutoTimeClr() {
  clearList(cmbTimeAuto);
}

void DevCtrl::AutoListClr() {
  gridAutoRun->setRows(11);
  gridAutoRun->clearCells();
  const QStringList heads = autoResultHeadings();
  for (int c = 0; c < 4; ++c)
    gridAutoRun->setText(0, c, heads[c]);
  layAutoRunColumns();
  m_autoRow = 1;
}

void DevCtrl::AutoListAdd() {
  ++m_autoRow;
  if (m_autoRow > 10)
    gridAutoRun->setRows(gridAutoRun->Rows() + 1);
  if (m_autoRow < gridAutoRun->Rows())
    gridAutoRun->scrollToItem(gridAutoRun->item(m_autoRow - 1, 0));
}

void DevCtrl::StepListClr() {
  gridStepRun->setRows(9);
  gridStepRun->clearCells();
  const QStringList heads = stepResultHeadings();
  const std::array<int, 4> widths = {500, 800, 850, 900};
  for (int c = 0; c < 4; ++c) {
    gridStepRun->setText(0, c, heads[c]);
    gridStepRun->setColWidthTwips(c, widths[c]);
  }
  m_stepRow = 1;
}

void DevCtrl::StepListAdd() {
  ++m_stepRow;
  if (m_stepRow > 6)
    gridStepRun->setRows(gridStepRun->Rows() + 1);
  if (m_stepRow < gridStepRun->Rows())
    gridStepRun->scrollToItem(gridStepRun->item(m_stepRow - 1, 0));
}

void DevCtrl::StepSetClr() {
  gridStepSet->setRows(11);
  gridStepSet->clearCells();
  const QStringList heads = {QStringLiteral("Step"), QStringLiteral("Mode"), QStringLiteral("Set1"),
                             QStringLiteral("Set2"), QStringLiteral("Cutoff")};
  for (int c = 0; c < 5; ++c)
    gridStepSet->setText(0, c, LangText(heads[c]));
  for (int r = 1; r <= 10; ++r)
    gridStepSet->setText(r, 0, QString::number(r));
  layStepSetColumns();
}

void DevCtrl::StepSetAdd() {
  gridStepSet->setRows(gridStepSet->Rows() + 1);
}

// The index column is fixed; the other three share the rest, less room for a scroll bar.
void DevCtrl::layAutoRunColumns() {
  const int rest = qRound((gridAutoRun->widthTwips() - 650 - 300) / 3.0);
  gridAutoRun->setColWidthTwips(0, 650);
  for (int c = 1; c < 4; ++c)
    gridAutoRun->setColWidthTwips(c, rest);
}

void DevCtrl::layStepSetColumns() {
  const int rest = qRound((gridStepSet->widthTwips() - 500) / 4.0);
  gridStepSet->setColWidthTwips(0, 500);
  for (int c = 1; c < 5; ++c)
    gridStepSet->setColWidthTwips(c, rest);
}

// ---- properties ------------------------------------------------------------------------------

void DevCtrl::setDev2S(bool on) {
  m_dev2S = on;
  frmRun->setVisible(!on);
  frmCtrl->setVisible(!on);
  frmRun2S->setVisible(on);
  frmCtrl2S->setVisible(on);
}

void DevCtrl::setConn(bool on) {
  m_conn = on;
  cmdConn->setText(LangText(on ? QStringLiteral("Disconn") : QStringLiteral("Connect")));
}

bool DevCtrl::Run(int chn) const {
  checkChannel(chn);
  return m_run[chn];
}

void DevCtrl::setRun(int chn, bool on) {
  checkChannel(chn);
  m_run[chn] = on;
}

int DevCtrl::Test() const {
  const QString key = tabDev->tabData(tabDev->currentIndex()).toString();
  return pageOfKey(key) + 1;
}

QString DevCtrl::tPort() const {
  return listText(cmbPort);
}
void DevCtrl::setTPort(const QString& text) {
  setListText(cmbPort, text);
}
int DevCtrl::PortCnt() const {
  return cmbPort->count();
}
QString DevCtrl::PortList(int i) const {
  if (i < 0 || i >= cmbPort->count())
    throw ComponentError::subscriptOutOfRange();
  return cmbPort->itemText(i);
}

QComboBox* DevCtrl::modeList() const {
  return m_dev2S ? cmbMode2S : cmbMode;
}
QString DevCtrl::tMode() const {
  return listText(modeList());
}
void DevCtrl::setTMode(const QString& text) {
  setListText(modeList(), text);
}
int DevCtrl::ModeIdx() const {
  return modeList()->currentIndex();
}
int DevCtrl::ModeCnt() const {
  return modeList()->count();
}
QString DevCtrl::ModeTxt(int i) const {
  if (i < 0 || i >= modeList()->count())
    throw ComponentError::subscriptOutOfRange();
  return modeList()->itemText(i);
}

#define ONDREL_PER_CHANNEL(Type, Getter, plain, pair)                                              \
  Type* DevCtrl::Getter(int chn) const {                                                           \
    checkChannel(chn);                                                                             \
    return m_dev2S ? pair[chn] : plain;                                                            \
  }
ONDREL_PER_CHANNEL(PanelBox, svalBox, txtSval, txtSval2S)
ONDREL_PER_CHANNEL(PanelBox, slmtBox, txtSlmt, txtSlmt2S)
ONDREL_PER_CHANNEL(PanelBox, stimBox, txtStim, txtStim2S)
ONDREL_PER_CHANNEL(QLabel, svalCaption, lblSval, lblSval2S)
ONDREL_PER_CHANNEL(QLabel, slmtCaption, lblSlmt, lblSlmt2S)
ONDREL_PER_CHANNEL(QLabel, stimCaption, lblStim, lblStim2S)
ONDREL_PER_CHANNEL(QLabel, svalUnit, lblSvalt, lblSval2St)
ONDREL_PER_CHANNEL(QLabel, slmtUnit, lblSlmtt, lblSlmt2St)
ONDREL_PER_CHANNEL(QLabel, stimUnit, lblStimt, lblStim2St)
#undef ONDREL_PER_CHANNEL

#define ONDREL_TEXT_PROPERTY(Get, Set, control)                                                    \
  QString DevCtrl::Get(int chn) const {                                                            \
    return control(chn)->text();                                                                   \
  }                                                                                                \
  void DevCtrl::Set(int chn, const QString& text) {                                                \
    control(chn)->setText(text);                                                                   \
  }
ONDREL_TEXT_PROPERTY(tSval, setTSval, svalBox)
ONDREL_TEXT_PROPERTY(tSlmt, setTSlmt, slmtBox)
ONDREL_TEXT_PROPERTY(tStim, setTStim, stimBox)
ONDREL_TEXT_PROPERTY(lSval, setLSval, svalCaption)
ONDREL_TEXT_PROPERTY(lSlmt, setLSlmt, slmtCaption)
ONDREL_TEXT_PROPERTY(lStim, setLStim, stimCaption)
ONDREL_TEXT_PROPERTY(lSvalt, setLSvalt, svalUnit)
ONDREL_TEXT_PROPERTY(lSlmtt, setLSlmtt, slmtUnit)
ONDREL_TEXT_PROPERTY(lStimt, setLStimt, stimUnit)
#undef ONDREL_TEXT_PROPERTY

bool DevCtrl::SvalEnable(int chn) const {
  return svalBox(chn)->isEnabled();
}
void DevCtrl::setSvalEnable(int chn, bool on) {
  svalBox(chn)->setEnabled(on);
}
bool DevCtrl::SlmtEnable(int chn) const {
  return slmtBox(chn)->isEnabled();
}
void DevCtrl::setSlmtEnable(int chn, bool on) {
  slmtBox(chn)->setEnabled(on);
}
bool DevCtrl::StimEnable(int chn) const {
  return stimBox(chn)->isEnabled();
}
void DevCtrl::setStimEnable(int chn, bool on) {
  stimBox(chn)->setEnabled(on);
}

void DevCtrl::setReadout(LCDisp* lcd, const QString& text) {
  try {
    lcd->setValue(text);
  } catch (const ComponentError& e) {
    ErrLog(QStringLiteral("ErrDisp"),
           QStringLiteral("%1 cannot show \"%2\": %3").arg(lcd->objectName(), text, e.what()));
  }
}

#define ONDREL_READOUT(Get, Set, lcd, box)                                                         \
  QString DevCtrl::Get(int chn) const {                                                            \
    checkChannel(chn);                                                                             \
    return m_dev2S ? box[chn]->text() : lcd->Value();                                              \
  }                                                                                                \
  void DevCtrl::Set(int chn, const QString& text) {                                                \
    checkChannel(chn);                                                                             \
    if (m_dev2S)                                                                                   \
      box[chn]->setText(text);                                                                     \
    else                                                                                           \
      setReadout(lcd, text);                                                                       \
  }
ONDREL_READOUT(tVol, setTVol, lcdVol, txtVol2S)
ONDREL_READOUT(tCur, setTCur, lcdCur, txtCur2S)
ONDREL_READOUT(tPwr, setTPwr, lcdPwr, txtPwr2S)
#undef ONDREL_READOUT

// The readout shows hh:mm large and ss as its exponent digits: "01:02:03" is shown as
// "01:02E+03". The split is at the last colon, so that 100 hours and more keep all their digits
// in the text (the readout itself can only show the last four).
QString DevCtrl::tTime(int chn) const {
  checkChannel(chn);
  if (m_dev2S)
    return txtTime2S[chn]->text();
  const QString v = lcdTime->Value();
  const int p = v.indexOf(QLatin1String("E+"));
  return p < 0 ? v : v.left(p) + QLatin1Char(':') + v.mid(p + 2);
}

void DevCtrl::setTTime(int chn, const QString& text) {
  checkChannel(chn);
  if (m_dev2S) {
    txtTime2S[chn]->setText(text);
    return;
  }
  const int p = text.lastIndexOf(QLatin1Char(':'));
  setReadout(lcdTime, p < 0 ? text : text.left(p) + QLatin1String("E+") + text.mid(p + 1));
}

QPushButton* DevCtrl::runButton() const {
  return m_dev2S ? cmdRun2S : cmdRun;
}
QPushButton* DevCtrl::stopButton() const {
  return m_dev2S ? cmdStop2S : cmdStop;
}
QPushButton* DevCtrl::contButton() const {
  return m_dev2S ? cmdCont2S : cmdCont;
}
QPushButton* DevCtrl::setButton() const {
  return m_dev2S ? cmdSet2S : cmdSet;
}
QPushButton* DevCtrl::monitorButton() const {
  return m_dev2S ? cmdMonitor2S : cmdMonitor;
}

bool DevCtrl::ConnEnable() const {
  return cmdConn->isEnabled();
}
void DevCtrl::setConnEnable(bool on) {
  cmdConn->setEnabled(on);
}
bool DevCtrl::RunEnable() const {
  return runButton()->isEnabled();
}
void DevCtrl::setRunEnable(bool on) {
  runButton()->setEnabled(on);
}
bool DevCtrl::StopEnable() const {
  return stopButton()->isEnabled();
}
void DevCtrl::setStopEnable(bool on) {
  stopButton()->setEnabled(on);
}
bool DevCtrl::ContEnable() const {
  return contButton()->isEnabled();
}
void DevCtrl::setContEnable(bool on) {
  contButton()->setEnabled(on);
}
bool DevCtrl::SetEnable() const {
  return setButton()->isEnabled();
}
void DevCtrl::setSetEnable(bool on) {
  setButton()->setEnabled(on);
}
bool DevCtrl::MonitorEnable() const {
  return monitorButton()->isEnabled();
}
void DevCtrl::setMonitorEnable(bool on) {
  monitorButton()->setEnabled(on);
}
bool DevCtrl::ModeEnable() const {
  return modeList()->isEnabled();
}
void DevCtrl::setModeEnable(bool on) {
  modeList()->setEnabled(on);
}

namespace {
// Switching a running timer on again leaves its beat alone, so a caller that enables it at every
// report does not keep pushing its tick away.
void switchTimer(QTimer* t, bool on) {
  if (!on)
    t->stop();
  else if (!t->isActive())
    t->start();
}
} // namespace

bool DevCtrl::TmrCurveEnable(int chn) const {
  checkChannel(chn);
  return tmrCurve[chn]->isActive();
}
void DevCtrl::setTmrCurveEnable(int chn, bool on) {
  checkChannel(chn);
  switchTimer(tmrCurve[chn], on);
}
bool DevCtrl::TmrShowEnable(int chn) const {
  checkChannel(chn);
  return tmrShow[chn]->isActive();
}
void DevCtrl::setTmrShowEnable(int chn, bool on) {
  checkChannel(chn);
  switchTimer(tmrShow[chn], on);
}
bool DevCtrl::AutoTmrEnable() const {
  return tmrAuto->isActive();
}
void DevCtrl::setAutoTmrEnable(bool on) {
  switchTimer(tmrAuto, on);
}
bool DevCtrl::StepTmrEnable() const {
  return tmrStep->isActive();
}
void DevCtrl::setStepTmrEnable(bool on) {
  switchTimer(tmrStep, on);
}

QString DevCtrl::chn() const {
  return m_dev2S && optChn1->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}
bool DevCtrl::AllChn() const {
  return optChn2->isChecked();
}
bool DevCtrl::ChnEnable() const {
  return optChn0->isEnabled();
}
void DevCtrl::setChnEnable(bool on) {
  for (QRadioButton* o : {optChn0, optChn1, optChn2})
    o->setEnabled(on);
}
bool DevCtrl::StepEnable() const {
  return cmdSaveStep->isEnabled();
}
void DevCtrl::setStepEnable(bool on) {
  for (QPushButton* b : {cmdSaveStep, cmdOpenStep, cmdClearStep, cmdSetStep})
    b->setEnabled(on);
}

QString DevCtrl::tAutoVol() const {
  return txtVolAuto->text();
}
void DevCtrl::setTAutoVol(const QString& text) {
  txtVolAuto->setText(text);
}
QString DevCtrl::tAutoC1() const {
  return listText(cmbC1Auto);
}
void DevCtrl::setTAutoC1(const QString& text) {
  setListText(cmbC1Auto, text);
}
QString DevCtrl::tAutoC2() const {
  return listText(cmbC2Auto);
}
void DevCtrl::setTAutoC2(const QString& text) {
  setListText(cmbC2Auto, text);
}
QString DevCtrl::tAutoStep() const {
  return listText(cmbStepAuto);
}
void DevCtrl::setTAutoStep(const QString& text) {
  setListText(cmbStepAuto, text);
}
QString DevCtrl::tAutoTime() const {
  return listText(cmbTimeAuto);
}
void DevCtrl::setTAutoTime(const QString& text) {
  setListText(cmbTimeAuto, text);
}
QString DevCtrl::tAutoMode() const {
  return listText(cmbModeAuto);
}
void DevCtrl::setTAutoMode(const QString& text) {
  setListText(cmbModeAuto, text);
}
bool DevCtrl::AutoOptSec() const {
  return optAutoSec->isChecked();
}
void DevCtrl::setAutoOptSec(bool on) {
  (on ? optAutoSec : optAutoMin)->setChecked(true);
}
QString DevCtrl::AutoCmd() const {
  return cmdStartAuto->text();
}
void DevCtrl::setAutoCmd(const QString& text) {
  cmdStartAuto->setText(text);
}
QString DevCtrl::StepCmd() const {
  return cmdStartStep->text();
}
void DevCtrl::setStepCmd(const QString& text) {
  cmdStartStep->setText(text);
}

QString DevCtrl::tAutoList(int col) const {
  return gridAutoRun->text(m_autoRow, col);
}
void DevCtrl::setTAutoList(int col, const QString& text) {
  gridAutoRun->setText(m_autoRow, col, text);
  gridAutoRun->setText(m_autoRow, 0, QString::number(m_autoRow));
}
QString DevCtrl::tAutoRun(int row, int col) const {
  return gridAutoRun->text(row, col);
}
int DevCtrl::AutoRunCnt() const {
  return gridAutoRun->Rows();
}
void DevCtrl::setTStepList(int col, const QString& text) {
  gridStepRun->setText(m_stepRow, col, text);
}
QString DevCtrl::tStepRun(int row, int col) const {
  return gridStepRun->text(row, col);
}
int DevCtrl::StepListCnt() const {
  return gridStepRun->Rows();
}
QString DevCtrl::tStepSet(int row, int col) const {
  return gridStepSet->text(row, col);
}
void DevCtrl::setTStepSet(int row, int col, const QString& text) {
  gridStepSet->setText(row, col, text);
}
void DevCtrl::setStepColor(int row, quint32 colour) {
  gridStepSet->setCellBackground(row, 0, colour);
}

void DevCtrl::applyColour(LCDisp* lcd, QLabel* unit, quint32 colour) {
  if (lcd) {
    lcd->setSegmentLitColor(colour);
    lcd->setSegmentLitColorNeg(colour);
  }
  if (unit) {
    QPalette p = unit->palette();
    p.setColor(QPalette::WindowText, toQColor(colour, palette()));
    unit->setPalette(p);
  }
}

void DevCtrl::setVolColor(quint32 colour) {
  if (m_dev2S)
    return;
  m_volColor = colour;
  applyColour(lcdVol, lblVolt, colour);
}
void DevCtrl::setCurColor(quint32 colour) {
  if (m_dev2S)
    return;
  m_curColor = colour;
  applyColour(lcdCur, lblCurt, colour);
}
void DevCtrl::setPwrColor(quint32 colour) {
  if (m_dev2S)
    return;
  m_pwrColor = colour;
  applyColour(lcdPwr, lblPwrt, colour);
}
void DevCtrl::setTimeColor(quint32 colour) {
  if (m_dev2S)
    return;
  m_timeColor = colour;
  applyColour(lcdTime, nullptr, colour);
}

bool DevCtrl::LedRecv() const {
  return shpRecv->isLit();
}
void DevCtrl::setLedRecv(bool on) {
  shpRecv->setLit(on);
}

void DevCtrl::setImageLogo(const QString& path) {
  QPixmap pm;
  if (!pm.load(path)) {
    ErrLog(QStringLiteral("ErrLogo"), QStringLiteral("cannot read the picture \"%1\"").arg(path));
    imgLogo->clear();
    return;
  }
  imgLogo->setPixmap(pm);
}

} // namespace ondrel
