#pragma once

#include "link/modeltable.h"
#include "test/ui/messages.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

namespace ondrel {

class DevCtrl;
class PanelBox;
class PanelGrid;

// The step editor ("Parameter Setting"): edits a copy of a panel's step table with the
// device's modes, "Wait" and "Cycle", checking every value against the device's ranges, and
// copies it back on "OK".
class frmStep : public QWidget {
  Q_OBJECT

public:
  frmStep(const ModelParams& model, DevCtrl& panel, MessageAsker ask, QWidget* parent = nullptr);

  // The editor's own table, for the tests: row 0 headings, rows 1 to 10 the steps.
  QString cell(int row, int col) const;

  // The controls' handlers, as the user's actions run them.
  void FlowClick();
  void ModeClick();
  void SetClick();
  void ClearClick();
  void OKClick();
  void BoxLeft(int box);

private:
  int modeNo() const; // the chosen mode's code: index, or list length for "Wait", + 1 "Cycle"
  int modeCount() const;
  int selectedStep() const; // 1-based
  PanelBox* box(int i) const;
  // Whether the step has a mode in the editor's table.
  bool filled(int row) const;
  void listStep(int step);

  ModelParams m_model;
  DevCtrl& m_panel;
  MessageAsker m_ask;
  QStringList m_modes; // the device's modes 0 to CvModeNo

  QComboBox *cmbFlow = nullptr, *cmbMode = nullptr;
  PanelBox *txtSet = nullptr, *txtLmt = nullptr, *txtLmt2 = nullptr;
  QLabel *lblSet = nullptr, *lblSett = nullptr, *lblLmt = nullptr, *lblLimit1t = nullptr,
         *lblLmt2 = nullptr, *lblLmt2t = nullptr;
  QPushButton *cmdSet = nullptr, *cmdClear = nullptr, *cmdOK = nullptr, *cmdCancel = nullptr;
  PanelGrid* gridSet = nullptr;
};

} // namespace ondrel
