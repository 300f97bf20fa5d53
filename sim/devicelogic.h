#pragma once

#include "battery.h"
#include "simframe.h"
#include "simmodels.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace ondrel::sim {

struct DeviceConfig {
  int model = 12;
  int firmware = 0;          // 0: the model's usual version
  bool batteryGiven = false; // false: a battery that suits the model (defaultBattery)
  BatteryParams battery;
  int infoEvery = 10;      // an info report after connect and then every n-th report
  double meterLoadA = 0.5; // what the USB consumer behind a meter draws
};

// A battery that suits the model: a USB charger for the USB meters, a half-charged Li-ion cell
// for the charger/dischargers, a charged one for the loads.
BatteryParams defaultBattery(const SimModel& model);

// Two-point (or one-point) linear correction of a measured quantity, as the device stores it.
class Calibration {
public:
  struct Point {
    bool set = false;
    double measured = 0;
    double truth = 0;
  };
  void setPending(int index, double measured, double truth) {
    m_pending[index] = {true, measured, truth};
  }
  void store();   // the OK point: pending points become active
  void restore(); // the Reset point: back to the factory state
  double apply(double measured) const;
  bool isIdentity() const { return !m_active[0].set && !m_active[1].set; }

private:
  Point m_pending[2];
  Point m_active[2];
};

struct ChannelState {
  bool running = false;
  int mode = 0;
  int setRaw = 0;
  int limitRaw = 0;
  int timeRaw = 0;
  int phase = 1;         // 1 constant current, 2 constant-voltage tail of a charge
  double current = 0;    // true current, positive when discharging
  double voltage = 0;    // true terminal voltage
  double capacityAh = 0; // counted since the start (kept by continue)
  double energyWh = 0;
  double elapsedS = 0; // simulated test time
  QString endReason;   // why the device ended the last test ("cutoff voltage", ...)
  double resistanceDropV = 0;
  double resistanceFrom = -1; // device-clock window in which idle reports carry the drop
  double resistanceUntil = -1;
  Calibration voltageCal;
  Calibration currentCal;
};

// The device's own behaviour, without any port: it acts on decoded commands, runs its physics
// and builds its reports. The device is the master of a test and ends it by itself.
class DeviceLogic {
public:
  explicit DeviceLogic(const DeviceConfig& config);

  const SimModel& model() const { return m_model; }
  int channelCount() const { return m_model.twoChannel ? 2 : 1; }
  const ChannelState& channel(int ch) const { return m_channels[ch]; }
  Battery& battery(int ch) { return m_batteries[ch]; }
  const Battery& battery(int ch) const { return m_batteries[ch]; }
  bool connected() const { return m_connected; }
  double clockSeconds() const { return m_clock; }

  // Acts on one intact command.
  void handle(const Command& command);
  // Runs the physics for a stretch of device time; `speed` stretches the simulated time.
  void advance(double seconds, double speed = 1.0);
  // The frames of one report tick: one per channel, info reports right after connect and then
  // every n-th tick. Empty while not connected.
  QList<QByteArray> reportFrames();
  ReportFields reportFields(int ch, bool info) const;

  // The device's own keys, values in the units the user sees (A or mA, W, V or cells, minutes
  // or a cutoff current). Returns false with a reason when the mode does not exist.
  bool keyStart(int ch, int mode, double set, double limit, double time, QString* error = nullptr);
  void keyStop(int ch);

  // The USB source behind a meter.
  double usbVolts() const { return m_batteries[0].params().sourceVolts; }
  int dPlusMv() const { return m_dPlusMv; }
  int dMinusMv() const { return m_dMinusMv; }

private:
  void start(int ch, int mode, int set, int limit, int time, bool keepCounts);
  void stop(int ch, const QString& reason);
  void stepChannel(int ch, double dt);
  void quickCharge(int code);
  void pumpExpress(int code);
  bool timeIsCutoff(const ChannelState& c) const;
  double setAmps(const ChannelState& c) const;
  double unitAmps(int raw) const { return raw / double(m_model.curDiv) * m_model.ampsPerUnit; }

  SimModel m_model;
  DeviceConfig m_config;
  ChannelState m_channels[2];
  Battery m_batteries[2];
  bool m_connected = false;
  int m_reportCount = 0;
  double m_clock = 0;
  enum class UsbMode { Plain, Qc2, Qc3, PumpExpress } m_usbMode = UsbMode::Plain;
  int m_dPlusMv = 600;
  int m_dMinusMv = 600;
};

} // namespace ondrel::sim
