#pragma once

#include "data/telemetry/mqttclient.h"
#include "data/telemetry/mqttconfig.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace ondrel {

// "Network Setting": the broker the program publishes to. OK writes the [MQTT] keys at once;
// "Test" connects once and says what happened; "Forget Devices" removes the Home Assistant
// entities of the connected devices from the broker.
class frmNet : public QWidget {
  Q_OBJECT
public:
  frmNet(QWidget* owner, const MqttConfig& config, const QString& iniFile);
  ~frmNet() override;
  void okClicked();
  void testClicked();
  // What the boxes say.
  MqttConfig config() const;
  QString testResult() const { return lblTest->text(); }

signals:
  void closed();
  void applied(const MqttConfig& config);
  void forgetRequested(const MqttConfig& config);

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void testFinished(bool up, const QString& reason);

  QString m_ini;
  QLineEdit *txtUrl, *txtUser, *txtPass, *txtCa, *txtPrefix;
  QSpinBox* spnRate;
  QCheckBox* chkStop;
  QLabel* lblTest;
  std::unique_ptr<MqttClient> m_test;
  QTimer m_testTimer;
};

} // namespace ondrel
