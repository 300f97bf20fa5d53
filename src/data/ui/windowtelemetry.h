#pragma once

#include "data/telemetry/devicetelemetry.h"
#include "data/telemetry/mqttconfig.h"

#include <QObject>
#include <QString>

#include <array>
#include <map>
#include <memory>

namespace ondrel {

class DeviceSlot;

// The main window's telemetry: one broker connection per connected device, fed from the slots'
// signals (identified, every taken report, test start and end), and the stop topic wired to the
// channel's Stop button. Nothing here waits for the broker.
class WindowTelemetry : public QObject {
  Q_OBJECT
public:
  explicit WindowTelemetry(QObject* parent = nullptr);
  ~WindowTelemetry() override;

  void setConfig(const MqttConfig& config);
  const MqttConfig& config() const { return m_config; }
  void attach(DeviceSlot& slot);
  // Removes the Home Assistant entities of the connected devices (empty retained configs).
  void forgetDevices(const MqttConfig& config);
  // The status bar's text: empty while telemetry is off.
  QString statusText() const;

signals:
  void statusChanged(const QString& text);

private:
  struct Device {
    std::unique_ptr<DeviceTelemetry> link;
    std::array<bool, 2> running{};
    std::array<bool, 2> stopAsked{};
    bool connected = false;
    QString reason;
  };
  void open(DeviceSlot& slot);
  void close(DeviceSlot& slot);
  void sample(DeviceSlot& slot, int c);
  void ended(DeviceSlot& slot, int c);
  void refreshStatus();

  MqttConfig m_config;
  std::map<DeviceSlot*, Device> m_devices;
  std::map<DeviceSlot*, bool> m_attached;
  QString m_problem; // why telemetry cannot start (a bad address, no password file)
};

} // namespace ondrel
