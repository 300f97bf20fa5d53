#include "test/ui/frmstep.h"

#include "data/support/langtext.h"
#include "test/steps.h"
#include "test/ui/devctrl.h"
#include "test/ui/panelparts.h"
#include "widgets/keyboard.h"
#include "widgets/windowplacement.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ondrel {
namespace {

// Boxes are named by their caption labels (buddies), labels by their text.
template <typename W> W* named(W* w, const QString& name) {
  w->setObjectName(name);
  return w;
}

} // namespace

frmStep::frmStep(const ModelParams& model, DevCtrl& panel, MessageAsker ask, QWidget* parent)
    : QWidget(parent, Qt::Window), m_model(model), m_panel(panel), m_ask(std::move(ask)) {
  setObjectName(QStringLiteral("frmStep"));
  setWindowTitle(LangText(QStringLiteral("Parameter Setting")));

  for (int i = 0; i <= m_model.CvModeNo && i < m_panel.ModeCnt(); ++i)
    m_modes << m_panel.ModeTxt(i);

  cmbFlow = named(new QComboBox, QStringLiteral("cmbFlow"));
  cmbMode = named(new QComboBox, QStringLiteral("cmbMode"));
  txtSet = named(new PanelBox(8), QStringLiteral("txtSet"));
  txtLmt = named(new PanelBox(8), QStringLiteral("txtLmt"));
  txtLmt2 = named(new PanelBox(8), QStringLiteral("txtLmt2"));
  const auto label = [](const QString& name) { return named(new QLabel, name); };
  lblSet = label(QStringLiteral("lblSet"));
  lblSett = label(QStringLiteral("lblSett"));
  lblLmt = label(QStringLiteral("lblLmt"));
  lblLimit1t = label(QStringLiteral("lblLimit1t"));
  lblLmt2 = label(QStringLiteral("lblLmt2"));
  lblLmt2t = label(QStringLiteral("lblLmt2t"));
  lblSet->setBuddy(txtSet);
  lblLmt->setBuddy(txtLmt);
  lblLmt2->setBuddy(txtLmt2);
  const auto button = [](const char* text, const QString& name) {
    auto* b = new QPushButton(LangText(QLatin1String(text)));
    b->setObjectName(name);
    return b;
  };
  cmdSet = button("Add", QStringLiteral("cmdSet"));
  cmdClear = button("Clear", QStringLiteral("cmdClear"));
  cmdOK = button("OK", QStringLiteral("cmdOK"));
  cmdCancel = button("Cancel", QStringLiteral("cmdCancel"));
  gridSet = named(new PanelGrid(5, 11), QStringLiteral("gridSet"));
  gridSet->setAccessibleName(LangText(QStringLiteral("Step program")));
  gridSet->setNaturalWidthTwips(700 + 4 * 1300);
  gridSet->setMinimumWidth((700 + 4 * 1300) / 15);

  auto* flowLabel = new QLabel(LangText(QStringLiteral("Step:")));
  flowLabel->setBuddy(cmbFlow);
  auto* modeLabel = new QLabel(LangText(QStringLiteral("Mode:")));
  modeLabel->setBuddy(cmbMode);
  auto* boxes = new QGridLayout;
  boxes->addWidget(flowLabel, 0, 0);
  boxes->addWidget(cmbFlow, 0, 1);
  boxes->addWidget(modeLabel, 1, 0);
  boxes->addWidget(cmbMode, 1, 1);
  const std::array<std::array<QWidget*, 3>, 3> rows{
      {{lblSet, txtSet, lblSett}, {lblLmt, txtLmt, lblLimit1t}, {lblLmt2, txtLmt2, lblLmt2t}}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      boxes->addWidget(rows[r][c], r + 2, c);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {cmdSet, cmdClear, cmdOK, cmdCancel})
    buttons->addWidget(b);
  auto* left = new QVBoxLayout;
  left->addLayout(boxes);
  left->addStretch(1);
  left->addLayout(buttons);
  auto* all = new QHBoxLayout(this);
  all->addLayout(left);
  all->addWidget(gridSet, 1);

  const QStringList heads = {
      LangText(QStringLiteral("Step")), LangText(QStringLiteral("Mode")),
      LangText(QStringLiteral("Current")) + QLatin1Char('/') + LangText(QStringLiteral("Power")),
      LangText(QStringLiteral("Volt/Cells")), LangText(QStringLiteral("Cutoff"))};
  for (int c = 0; c < 5; ++c)
    gridSet->setText(0, c, heads[c]);
  const auto layColumns = [this] {
    const int rest = (gridSet->widthTwips() - 700) / 4;
    gridSet->setColWidthTwips(0, 700);
    for (int c = 1; c < 5; ++c)
      gridSet->setColWidthTwips(c, std::max(rest, 300));
  };
  connect(gridSet, &PanelGrid::resized, this, layColumns);
  layColumns();

  // The panel's table, and a step entry for every filled row and the next free one.
  for (int r = 1; r <= kStepRows; ++r) {
    gridSet->setText(r, 0, QString::number(r));
    for (int c = 1; c < 5; ++c)
      gridSet->setText(r, c, m_panel.tStepSet(r, c));
    if (filled(r))
      listStep(r);
  }
  if (cmbFlow->count() < kStepRows)
    listStep(cmbFlow->count() + 1);

  cmbMode->addItems(m_modes);
  cmbMode->addItem(waitModeText());
  cmbMode->addItem(cycleModeText());

  connect(cmbFlow, &QComboBox::activated, this, &frmStep::FlowClick);
  connect(cmbMode, &QComboBox::activated, this, &frmStep::ModeClick);
  connect(cmdSet, &QPushButton::clicked, this, &frmStep::SetClick);
  connect(cmdClear, &QPushButton::clicked, this, &frmStep::ClearClick);
  connect(cmdOK, &QPushButton::clicked, this, &frmStep::OKClick);
  connect(cmdCancel, &QPushButton::clicked, this, &QWidget::close);
  for (int i = 0; i < 3; ++i)
    connect(box(i), &PanelBox::left, this, [this, i] { BoxLeft(i); });

  cmbFlow->setCurrentIndex(0);
  FlowClick();

  makeKeyboardWindow(*this);
  adjustSize();
  centreOnScreen(*this);
}

QString frmStep::cell(int row, int col) const {
  return gridSet->text(row, col);
}

PanelBox* frmStep::box(int i) const {
  return i == 0 ? txtSet : i == 1 ? txtLmt : txtLmt2;
}

bool frmStep::filled(int row) const {
  return !gridSet->text(row, 1).isEmpty();
}

void frmStep::listStep(int step) {
  cmbFlow->addItem(LangText(QStringLiteral("Step")) + QString::number(step), step);
}

int frmStep::modeCount() const {
  return static_cast<int>(m_modes.size());
}

int frmStep::modeNo() const {
  return std::max(cmbMode->currentIndex(), 0);
}

int frmStep::selectedStep() const {
  return cmbFlow->currentData().toInt();
}

void frmStep::FlowClick() {
  const int step = selectedStep();
  if (step < 1)
    return;
  const int index = cmbMode->findText(gridSet->text(step, 1));
  cmbMode->setCurrentIndex(index >= 0 ? index : 0);
  ModeClick();
  if (index < 0)
    return;
  txtSet->setText(gridSet->text(step, 2));
  txtLmt->setText(gridSet->text(step, 3));
  txtLmt2->setText(gridSet->text(step, 4));
}

void frmStep::ModeClick() {
  const StepEditorView v = stepEditorView(m_model, modeNo(), modeCount());
  lblSet->setText(v.lblSet);
  lblSett->setText(v.lblSett);
  txtSet->setText(v.txtSet);
  lblLmt->setText(v.lblLmt);
  lblLimit1t->setText(v.lblLimit1t);
  txtLmt->setText(v.txtLmt);
  lblLmt2->setText(v.lblLmt2);
  lblLmt2t->setText(v.lblLmt2t);
  txtLmt2->setText(v.txtLmt2);
  txtSet->setEnabled(v.setEnabled);
  txtLmt->setEnabled(v.lmtEnabled);
  txtLmt2->setEnabled(v.lmt2Enabled);
}

void frmStep::BoxLeft(int i) {
  if (!box(i)->isEnabled())
    return;
  const StepBoxCheck check = checkStepBox(m_model, modeNo(), modeCount(), i, box(i)->text());
  if (check.message)
    m_ask(QMessageBox::Critical, *check.message, QMessageBox::Ok);
  if (check.text)
    box(i)->setText(*check.text);
}

void frmStep::SetClick() {
  const int step = selectedStep();
  if (step < 1)
    return;
  if (const auto refusal = stepValuesRefusal(m_model, modeNo(), modeCount(), txtSet->text(),
                                             txtLmt->text(), txtLmt2->text())) {
    m_ask(QMessageBox::Critical, *refusal, QMessageBox::Ok);
    return;
  }
  gridSet->setText(step, 1, cmbMode->currentText());
  gridSet->setText(step, 2, txtSet->text());
  gridSet->setText(step, 3, txtLmt->text());
  gridSet->setText(step, 4, txtLmt2->text());
  if (cmbFlow->currentIndex() == cmbFlow->count() - 1 && cmbFlow->count() < kStepRows) {
    listStep(cmbFlow->count() + 1);
    cmbFlow->setCurrentIndex(cmbFlow->count() - 1);
    FlowClick();
  }
}

void frmStep::ClearClick() {
  for (int r = 1; r <= kStepRows && filled(r); ++r)
    for (int c = 1; c < 5; ++c)
      gridSet->setText(r, c, QString());
  cmbFlow->clear();
  listStep(1);
  cmbFlow->setCurrentIndex(0);
  FlowClick();
}

void frmStep::OKClick() {
  m_panel.StepSetClr();
  for (int r = 1; r <= kStepRows && filled(r); ++r) {
    for (int c = 1; c < 5; ++c)
      m_panel.setTStepSet(r, c, gridSet->text(r, c));
    if (gridSet->text(r, 1) == cycleModeText())
      break;
  }
  close();
}

} // namespace ondrel
