#include "data/ui/settingsdialogs.h"

#include "data/support/langtext.h"
#include "data/ui/dialogs.h"
#include "widgets/colour.h"
#include "widgets/keyboard.h"
#include "widgets/windowplacement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace ondrel {
namespace {

void centre(QWidget* w) {
  w->adjustSize();
  centreOnScreen(*w);
}

// A dialog window of the main window: its own title bar, deleted when closed.
void makeDialogWindow(QWidget* w, const char* objectName, const QString& caption) {
  w->setObjectName(QLatin1String(objectName));
  w->setWindowFlags(Qt::Dialog);
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->setWindowTitle(caption);
  makeKeyboardWindow(*w);
}

QPushButton* button(const char* text, const char* name, QWidget* parent) {
  auto* b = new QPushButton(QLatin1String(text), parent);
  b->setObjectName(QLatin1String(name));
  return b;
}

template <typename T> T* named(T* w, const char* name) {
  w->setObjectName(QLatin1String(name));
  return w;
}

QHBoxLayout* okCancel(QWidget* parent, const std::function<void()>& ok,
                      const std::function<void()>& cancel) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  QPushButton* cmdOK = button("OK", "cmdOK", parent);
  QPushButton* cmdCancel = button("Cancel", "cmdCancel", parent);
  cmdOK->setDefault(true);
  QObject::connect(cmdOK, &QPushButton::clicked, parent, ok);
  QObject::connect(cmdCancel, &QPushButton::clicked, parent, cancel);
  row->addWidget(cmdOK);
  row->addWidget(cmdCancel);
  return row;
}

// A caption with its box as buddy, for the accessibility interface.
QLabel* caption(const char* text, QWidget* buddy, QWidget* parent) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setBuddy(buddy);
  return l;
}

} // namespace

// ---- ColourSwatch ---------------------------------------------------------------------------

ColourSwatch::ColourSwatch(const QString& name, const QString& spoken, QWidget* parent)
    : QLabel(parent) {
  setObjectName(name);
  setAccessibleName(LangText(spoken));
  setFixedSize(48, 20);
  setFrameShape(QFrame::Box);
  setAutoFillBackground(true);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
  chooseColour = [this] { return ChooseColour(this); };
  setColour(0);
}

void ColourSwatch::setColour(quint32 colour) {
  m_colour = colour;
  QPalette p = palette();
  p.setColor(QPalette::Window, toQColor(colour));
  setPalette(p);
  setAccessibleDescription(QStringLiteral("#%1").arg(toQColor(colour).name().mid(1)));
}

void ColourSwatch::choose() {
  if (!chooseColour)
    return;
  const qint64 chosen = chooseColour();
  if (chosen >= 0)
    setColour(quint32(chosen));
}

void ColourSwatch::mousePressEvent(QMouseEvent* event) {
  QLabel::mousePressEvent(event);
  choose();
}

void ColourSwatch::keyPressEvent(QKeyEvent* event) {
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  switch (event->key()) {
  case Qt::Key_Space:
  case Qt::Key_Return:
  case Qt::Key_Enter:
  case Qt::Key_Select:
    if (plain) {
      choose();
      return;
    }
    break;
  default:
    break;
  }
  QLabel::keyPressEvent(event);
}

// A focused swatch has a thicker frame: it has no other way to show the focus.
void ColourSwatch::focusInEvent(QFocusEvent* event) {
  QLabel::focusInEvent(event);
  setLineWidth(2);
}

void ColourSwatch::focusOutEvent(QFocusEvent* event) {
  QLabel::focusOutEvent(event);
  setLineWidth(1);
}

// ---- frmSw ----------------------------------------------------------------------------------

frmSw::frmSw(QWidget* owner, Preferences& prefs, const QString& iniFile, const QString& dataFolder)
    : QWidget(owner), m_prefs(prefs), m_ini(iniFile) {
  makeDialogWindow(this, "frmSw", QStringLiteral("Software Setting"));
  chkAuto = named(new QCheckBox(QStringLiteral("Auto Save"), this), "chkAuto");
  chkMsg = named(new QCheckBox(QStringLiteral("Prompt Message"), this), "chkMsg");
  chkHide = named(new QCheckBox(QStringLiteral("Minimize Hidden"), this), "chkHide");
  chkDisp = named(new QCheckBox(QStringLiteral("Suspension Form"), this), "chkDisp");
  optCsv = named(new QRadioButton(QStringLiteral("csv"), this), "optCsv");
  chkBdf = named(new QCheckBox(QStringLiteral("also save as Battery Data Format"), this), "chkBdf");
  optDat = named(new QRadioButton(QStringLiteral("dat"), this), "optDat");
  auto* txtPath = named(new QLineEdit(QDir::toNativeSeparators(dataFolder), this), "txtPath");
  txtPath->setReadOnly(true);
  txtPath->setAccessibleName(LangText(QStringLiteral("Data folder")));
  txtPath->setMinimumWidth(260);
  // The data folder is always the program's "Data" folder; the button beside it chooses nothing.
  QPushButton* cmdPath = button("...", "cmdPath", this);
  cmdPath->setAccessibleName(LangText(QStringLiteral("Choose data folder")));
  cmdPath->setEnabled(false);

  chkAuto->setChecked(prefs.SAVE);
  chkMsg->setChecked(prefs.MSG);
  chkHide->setChecked(prefs.HIDE);
  chkDisp->setChecked(prefs.DISP);
  (prefs.CSV ? optCsv : optDat)->setChecked(true);
  chkBdf->setChecked(prefs.BDF);
  chkBdf->setToolTip(LangText(QStringLiteral(
      "The data file saved at a test's end gets a Battery Data Format CSV beside it, which "
      "spreadsheets and analysis tools read without options.")));

  auto* layout = new QVBoxLayout(this);
  auto* ticks = new QGridLayout;
  ticks->addWidget(chkAuto, 0, 0);
  ticks->addWidget(chkMsg, 0, 1);
  ticks->addWidget(chkHide, 1, 0);
  ticks->addWidget(chkDisp, 1, 1);
  layout->addLayout(ticks);
  auto* format = new QHBoxLayout;
  format->addWidget(new QLabel(QStringLiteral("Data Format:"), this));
  format->addWidget(optCsv);
  format->addWidget(optDat);
  format->addStretch(1);
  layout->addLayout(format);
  layout->addWidget(chkBdf);
  auto* path = new QHBoxLayout;
  path->addWidget(txtPath, 1);
  path->addWidget(cmdPath);
  layout->addLayout(path);
  layout->addLayout(okCancel(
      this, [this] { okClicked(); }, [this] { close(); }));
  centre(this);
}

void frmSw::okClicked() {
  m_prefs.SAVE = chkAuto->isChecked();
  m_prefs.MSG = chkMsg->isChecked();
  m_prefs.HIDE = chkHide->isChecked();
  m_prefs.DISP = chkDisp->isChecked();
  m_prefs.CSV = optCsv->isChecked();
  m_prefs.BDF = chkBdf->isChecked();
  writeSetting(m_ini, settings::MSG, boolText(m_prefs.MSG));
  writeSetting(m_ini, settings::SAVE, boolText(m_prefs.SAVE));
  writeSetting(m_ini, settings::HIDE, boolText(m_prefs.HIDE));
  writeSetting(m_ini, settings::DISP, boolText(m_prefs.DISP));
  writeSetting(m_ini, settings::CSV, boolText(m_prefs.CSV));
  writeSetting(m_ini, settings::BDF, boolText(m_prefs.BDF));
  close();
}

void frmSw::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit closed();
}

// ---- frmShow --------------------------------------------------------------------------------

frmShow::frmShow(QWidget* owner, const DisplayLoad& load, const Preferences& prefs)
    : QWidget(owner) {
  makeDialogWindow(this, "frmShow", QStringLiteral("Display Setting"));

  auto* fraY2 = named(new QGroupBox(QStringLiteral("Curve2"), this), "fraY2");
  chkY2 = named(new QCheckBox(QStringLiteral("Show"), fraY2), "chkY2");
  optPwr = named(new QRadioButton(QStringLiteral("Power"), fraY2), "optPwr");
  optTemp = named(new QRadioButton(QStringLiteral("Temp"), fraY2), "optTemp");
  lblY2 = new ColourSwatch(QStringLiteral("lblY2"), QStringLiteral("Curve2 color"), fraY2);
  auto* y2 = new QHBoxLayout(fraY2);
  for (QWidget* w : {static_cast<QWidget*>(chkY2), static_cast<QWidget*>(optPwr),
                     static_cast<QWidget*>(optTemp), static_cast<QWidget*>(lblY2)})
    y2->addWidget(w);

  auto* fraX = named(new QGroupBox(QStringLiteral("X轴单位"), this), "fraX");
  optTime = named(new QRadioButton(QStringLiteral("Time"), fraX), "optTime");
  optCap = named(new QRadioButton(QStringLiteral("Capacity"), fraX), "optCap");
  chkCap = named(new QCheckBox(QStringLiteral("容量"), fraX), "chkCap");
  chkWh = named(new QCheckBox(QStringLiteral("能量"), fraX), "chkWh");
  auto* x = new QHBoxLayout(fraX);
  for (QWidget* w : {static_cast<QWidget*>(optTime), static_cast<QWidget*>(optCap),
                     static_cast<QWidget*>(chkCap), static_cast<QWidget*>(chkWh)})
    x->addWidget(w);

  auto* fraLine = named(new QGroupBox(QStringLiteral("Line"), this), "fraLine");
  cmbLine = named(new QComboBox(fraLine), "cmbLine");
  cmbLine->addItems({QStringLiteral("1"), QStringLiteral("2")});
  cmbDot = named(new QComboBox(fraLine), "cmbDot");
  cmbDot2 = named(new QComboBox(fraLine), "cmbDot2");
  for (QComboBox* c : {cmbDot, cmbDot2})
    c->addItems({QStringLiteral("Solid"), QStringLiteral("Dot")});
  auto* lines = new QFormLayout(fraLine);
  lines->addRow(caption("Width:", cmbLine, fraLine), cmbLine);
  lines->addRow(caption("Majoy:", cmbDot, fraLine), cmbDot);
  lines->addRow(caption("Minor:", cmbDot2, fraLine), cmbDot2);

  auto* fraColor = named(new QGroupBox(QStringLiteral("Color"), this), "fraColor");
  lblAxesColor =
      new ColourSwatch(QStringLiteral("lblAxesColor"), QStringLiteral("Axes color"), fraColor);
  lblGridColor =
      new ColourSwatch(QStringLiteral("lblGridColor"), QStringLiteral("Grid color"), fraColor);
  lblBackColor = new ColourSwatch(QStringLiteral("lblBackColor"),
                                  QStringLiteral("Background color"), fraColor);
  auto* colours = new QFormLayout(fraColor);
  colours->addRow(caption("Axes:", lblAxesColor, fraColor), lblAxesColor);
  colours->addRow(caption("Grid:", lblGridColor, fraColor), lblGridColor);
  colours->addRow(caption("Bg:", lblBackColor, fraColor), lblBackColor);

  chkLabel = named(new QCheckBox(QStringLiteral("Label"), this), "chkLabel");
  chkScale = named(new QCheckBox(QStringLiteral("Auto Scale"), this), "chkScale");
  lblTimeColor =
      new ColourSwatch(QStringLiteral("lblTimeColor"), QStringLiteral("Time color"), this);
  lblPwrColor =
      new ColourSwatch(QStringLiteral("lblPwrColor"), QStringLiteral("Power color"), this);
  auto* panelColours = new QFormLayout;
  panelColours->addRow(caption("Time:", lblTimeColor, this), lblTimeColor);
  panelColours->addRow(caption("Power:", lblPwrColor, this), lblPwrColor);

  // Opening: the temperature choice only for a device with a sensor.
  optTemp->setEnabled(load.hasTemp);
  (load.hasTemp && load.tempTicked ? optTemp : optPwr)->setChecked(true);
  // Load.
  cmbDot->setCurrentIndex(load.gridType1 != 0 ? 1 : 0);
  cmbDot2->setCurrentIndex(load.gridType2 != 0 ? 1 : 0);
  lblGridColor->setColour(load.grid);
  lblBackColor->setColour(load.back);
  lblAxesColor->setColour(load.axes);
  lblPwrColor->setColour(load.power);
  lblTimeColor->setColour(load.time);
  // A width other than the list's (the settings file allows up to 20) joins the list, so that
  // OK keeps it instead of writing the first entry.
  const QString width = QString::number(load.line);
  if (cmbLine->findText(width) < 0)
    cmbLine->addItem(width);
  cmbLine->setCurrentIndex(cmbLine->findText(width));
  (prefs.XTIME ? optTime : optCap)->setChecked(true);
  chkCap->setChecked(prefs.SAH != 0);
  chkWh->setChecked(prefs.SWH != 0);
  chkLabel->setChecked(prefs.SLA != 0);
  chkScale->setChecked(prefs.SCALE != 0);
  chkY2->setChecked(load.showAxesY2);
  // Not loaded: the "Curve2" swatch starts at the same colour at every opening.
  lblY2->setColour(8421376);

  auto* layout = new QGridLayout(this);
  layout->addWidget(fraY2, 0, 0, 1, 2);
  layout->addWidget(fraX, 1, 0, 1, 2);
  layout->addWidget(fraLine, 2, 0);
  layout->addWidget(fraColor, 2, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(chkLabel);
  bottom->addWidget(chkScale);
  bottom->addStretch(1);
  bottom->addLayout(panelColours);
  layout->addLayout(bottom, 3, 0, 1, 2);
  layout->addLayout(okCancel(
                        this, [this] { okClicked(); }, [this] { close(); }),
                    4, 0, 1, 2);
  setWindowFlag(Qt::WindowStaysOnTopHint);
  centre(this);
}

void frmShow::setColourChooser(const std::function<qint64()>& choose) {
  for (ColourSwatch* s : findChildren<ColourSwatch*>())
    s->chooseColour = choose;
}

DisplayChoice frmShow::choice() const {
  DisplayChoice c;
  c.showY2 = chkY2->isChecked();
  c.y2Temp = optTemp->isChecked();
  c.curve2Colour = lblY2->colour();
  c.xTime = optTime->isChecked();
  c.cap = chkCap->isChecked();
  c.wh = chkWh->isChecked();
  c.line = cmbLine->currentText();
  c.majorDotted = cmbDot->currentText() != QLatin1String("Solid");
  c.minorDotted = cmbDot2->currentText() != QLatin1String("Solid");
  c.axes = lblAxesColor->colour();
  c.grid = lblGridColor->colour();
  c.back = lblBackColor->colour();
  c.time = lblTimeColor->colour();
  c.power = lblPwrColor->colour();
  c.label = chkLabel->isChecked();
  c.scale = chkScale->isChecked();
  return c;
}

void frmShow::okClicked() {
  emit accepted(choice());
  close();
}

void frmShow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // On activation it stays above the program's other windows.
  if (event->type() == QEvent::ActivationChange && isActiveWindow())
    raise();
}

void frmShow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit closed();
}

// ---- frmCurve -------------------------------------------------------------------------------

void tellCoordinateProblem(QWidget* owner, const QString& text) {
  QMessageBox box(QMessageBox::Critical, LangText(QStringLiteral("提示")), LangText(text),
                  QMessageBox::Ok, owner);
  box.exec();
}

frmCurve::frmCurve(QWidget* owner, const CoordinateTexts& load) : QWidget(owner) {
  makeDialogWindow(this, "frmCurve", QStringLiteral("Curve Coordinate Settings"));
  tellUser = [this](const QString& text) { tellCoordinateProblem(this, text); };
  // Each row's caption stands before two boxes: the names say which end of the range.
  auto box = [this](const char* name, const char* spoken, const QString& text) {
    auto* b = named(new QLineEdit(text, this), name);
    b->setAccessibleName(LangText(QLatin1String(spoken)));
    b->setAlignment(Qt::AlignRight);
    b->installEventFilter(this);
    return b;
  };
  txtVL = box("txtVL", "Voltage from", load.voltLow);
  txtVH = box("txtVH", "Voltage to", load.voltHigh);
  txtCL = box("txtCL", "Current from", load.curLow);
  txtCH = box("txtCH", "Current to", load.curHigh);
  txtTime = box("txtTime", "Time from", load.timeLow);
  txtTime2 = box("txtTime2", "Time to", load.timeHigh);

  auto* grid = new QGridLayout(this);
  const struct {
    const char* text;
    QLineEdit *low, *high;
    const char* unit;
  } rows[] = {{"Voltage:", txtVL, txtVH, "V"},
              {"Current:", txtCL, txtCH, "A"},
              {"Time:", txtTime, txtTime2, "S"}};
  int r = 0;
  for (const auto& row : rows) {
    grid->addWidget(caption(row.text, row.low, this), r, 0);
    grid->addWidget(row.low, r, 1);
    grid->addWidget(new QLabel(QStringLiteral("--"), this), r, 2);
    grid->addWidget(row.high, r, 3);
    grid->addWidget(new QLabel(QLatin1String(row.unit), this), r, 4);
    ++r;
  }
  grid->addLayout(okCancel(
                      this, [this] { okClicked(); }, [this] { close(); }),
                  r, 0, 1, 5);
  setWindowFlag(Qt::WindowStaysOnTopHint);
  centre(this);
}

AxisBox frmCurve::kindOf(const QLineEdit* b) const {
  if (b == txtVL || b == txtVH)
    return AxisBox::Voltage;
  if (b == txtCL || b == txtCH)
    return AxisBox::Current;
  return AxisBox::Time;
}

bool frmCurve::boxLeft(QLineEdit* b) {
  const BoxCheck check = checkCoordinateBox(kindOf(b), b->text());
  if (check.message.isEmpty()) {
    b->setText(check.text);
    return true;
  }
  m_checking = true; // the message takes the focus: that is no leaving of the box
  if (tellUser)
    tellUser(check.message);
  m_checking = false;
  b->setFocus(Qt::OtherFocusReason);
  b->selectAll();
  return false;
}

bool frmCurve::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && !m_checking) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    // Only a move to another control of this dialog leaves the box; the dialog losing the focus
    // (a message, another window) does not.
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
      boxLeft(static_cast<QLineEdit*>(watched));
  }
  return QWidget::eventFilter(watched, event);
}

CoordinateTexts frmCurve::texts() const {
  return {txtVL->text(), txtVH->text(),   txtCL->text(),
          txtCH->text(), txtTime->text(), txtTime2->text()};
}

void frmCurve::okClicked() {
  const QString refusal = checkCoordinates(texts());
  if (!refusal.isEmpty()) {
    if (tellUser)
      tellUser(refusal);
    return;
  }
  emit accepted(texts());
  close();
}

void frmCurve::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit closed();
}

} // namespace ondrel
