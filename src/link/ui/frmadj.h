#pragma once

#include "link/calibration.h"
#include "link/modeltable.h"

#include <QMessageBox>
#include <QWidget>

#include <functional>

class QLineEdit;
class QPushButton;

namespace ondrel {

// What the calibration window needs of the slot and channel it calibrates.
struct AdjChannel {
  std::function<QString()> shownVolt; // the panel's voltage text of the channel
  std::function<QString()> shownCur;  // the panel's current text of the channel
  std::function<void(int point, int value)> send;
};

// The calibration window of one slot's channel: four points, "OK" to keep them, "Reset" to
// return to the device's defaults, "Cancel" to leave without sending anything.
class frmAdj : public QWidget {
  Q_OBJECT

public:
  using Asker = std::function<QMessageBox::StandardButton(
      QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons)>;

  frmAdj(int slot, int channel, bool twoChannels, const ModelParams& model, AdjChannel link,
         Asker ask, QWidget* parent = nullptr);
  ~frmAdj() override;

  // Idle: the voltage points may be calibrated; running: the current points.
  void SetCalibButtons(bool idle);
  // A "Calibration" button of a point 0..3.
  void calibrate(CalibPoint point);
  void cmdOK_Click();
  void cmdReset_Click();
  void cmdCancel_Click();
  // The user left a point's box.
  void leaveBox(CalibPoint point);

signals:
  void closed();

protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  QLineEdit* box(CalibPoint point) const;
  QString picture(CalibPoint point) const;
  float most(CalibPoint point) const;

  ModelParams m_model;
  AdjChannel m_link;
  Asker m_ask;
  float m_currentScale;
  QString m_currentPicture;
  bool m_closed = false;

  QLineEdit *txtVL = nullptr, *txtVH = nullptr, *txtCL = nullptr, *txtCH = nullptr;
  QPushButton *cmdVL = nullptr, *cmdVH = nullptr, *cmdCL = nullptr, *cmdCH = nullptr;
  QPushButton *cmdOK = nullptr, *cmdCancel = nullptr, *cmdReset = nullptr;
};

} // namespace ondrel
