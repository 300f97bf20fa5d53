#pragma once

#include "data/preferences.h"
#include "data/settings.h"

#include <QLabel>
#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace ondrel {

// The three settings dialogs. Each is a window of its own, deleted when closed; `closed` tells the
// main window, which waits for "Display Setting" and "Coordinate Settings" while events run.

// A colour cell of a dialog: a click, Space or Enter opens the colour chooser, and a chosen colour
// becomes the cell's.
class ColourSwatch : public QLabel {
  Q_OBJECT
public:
  // `spoken`: what a screen reader calls it (a swatch has no text of its own).
  ColourSwatch(const QString& name, const QString& spoken, QWidget* parent);
  quint32 colour() const { return m_colour; }
  void setColour(quint32 colour);
  // The colour chooser: 0x00BBGGRR, or -1 when cancelled. Replaceable in tests.
  std::function<qint64()> chooseColour;
  // The chooser, as a click or key runs it.
  void choose();

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

private:
  quint32 m_colour = 0;
};

// "Software Setting": the four ticks and the data format, written when OK is pressed.
class frmSw : public QWidget {
  Q_OBJECT
public:
  // `prefs` is the window's; OK changes it and writes its keys into `iniFile`.
  frmSw(QWidget* owner, Preferences& prefs, const QString& iniFile, const QString& dataFolder);
  void okClicked();

signals:
  void closed();

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  Preferences& m_prefs;
  QString m_ini;
  QCheckBox *chkAuto, *chkMsg, *chkHide, *chkDisp;
  QRadioButton *optCsv, *optDat;
  QCheckBox* chkBdf;
};

// What "Display Setting" hands the main window when OK is pressed.
struct DisplayChoice {
  bool showY2 = false; // "Show": the third curve and the second Y axis
  bool y2Temp = false; // "Temp" chosen, else "Power"
  quint32 curve2Colour = 8421376;
  bool xTime = true;
  bool cap = false, wh = false;
  QString line; // the width list's text
  bool majorDotted = false, minorDotted = true;
  quint32 axes = 0, grid = 0, back = 0, time = 0, power = 0;
  bool label = false, scale = true;
};

// What "Display Setting" loads: the selected slot's graph and panel and the preferences.
struct DisplayLoad {
  int gridType1 = 0, gridType2 = 2;
  quint32 grid = 0, back = 0, axes = 0, power = 0, time = 0;
  int line = 2;
  bool showAxesY2 = false;
  bool hasTemp = false;    // the selected slot's device has a temperature sensor
  bool tempTicked = false; // "Temprature Data" is ticked
};

class frmShow : public QWidget {
  Q_OBJECT
public:
  frmShow(QWidget* owner, const DisplayLoad& load, const Preferences& prefs);
  // Every swatch's colour chooser (tests replace it).
  void setColourChooser(const std::function<qint64()>& choose);
  DisplayChoice choice() const;
  void okClicked();

signals:
  void accepted(const ondrel::DisplayChoice& choice);
  void closed();

protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  QCheckBox *chkY2, *chkCap, *chkWh, *chkLabel, *chkScale;
  QRadioButton *optPwr, *optTemp, *optTime, *optCap;
  QComboBox *cmbLine, *cmbDot, *cmbDot2;
  ColourSwatch *lblY2, *lblAxesColor, *lblGridColor, *lblBackColor, *lblTimeColor, *lblPwrColor;
};

// A message of the coordinate dialogs: titled "提示", error icon, through LangText.
void tellCoordinateProblem(QWidget* owner, const QString& text);

// "Coordinate Settings" ("Curve Coordinate Settings").
class frmCurve : public QWidget {
  Q_OBJECT
public:
  frmCurve(QWidget* owner, const CoordinateTexts& load);
  // Shows a message titled "提示" with the error icon; replaceable in tests.
  std::function<void(const QString& text)> tellUser;
  CoordinateTexts texts() const;
  // A box is left: its check (message and focus back, or the reformatted text). Answers whether
  // it passed.
  bool boxLeft(QLineEdit* box);
  void okClicked();

signals:
  void accepted(const ondrel::CoordinateTexts& texts);
  void closed();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  AxisBox kindOf(const QLineEdit* box) const;
  QLineEdit *txtVL, *txtVH, *txtCL, *txtCH, *txtTime, *txtTime2;
  bool m_checking = false;
};

} // namespace ondrel
