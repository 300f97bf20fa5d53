#pragma once

#include "link/serialport.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>
#include <map>
#include <memory>

namespace ondrel {

// Makes the port object for a port number, and numbers newly plugged adapters before a probe.
class PortProvider {
public:
  virtual ~PortProvider() = default;
  virtual std::unique_ptr<SerialPort> port(int n) = 0;
  virtual void numberNewAdapters() {}
};

// The real ports: "COM" + n through the program folder's "ports" links (native names on Windows).
class SystemPorts final : public PortProvider {
public:
  // `adapters` lists the USB serial devices the probe numbers; by default the system's own.
  explicit SystemPorts(std::function<QStringList()> adapters = {});
  std::unique_ptr<SerialPort> port(int n) override;
  void numberNewAdapters() override;

private:
  std::function<QStringList()> m_adapters;
};

// The port layer: six synchronous operations on handles, and the per-slot handle table. One per
// program, owned by whoever owns the device slots. A handle is a small positive number; 0 means
// no port.
class Comm {
public:
  using Handle = qint32;
  static constexpr int kSlotPlaces = 11;

  explicit Comm(std::unique_ptr<PortProvider> provider = std::make_unique<SystemPorts>());
  ~Comm();
  Comm(const Comm&) = delete;
  Comm& operator=(const Comm&) = delete;

  // Opens "COM" + n exclusively; 0 on any failure (lastOpenFailure() says why). A port this
  // program already has open, under any number, fails as in use.
  Handle OpenPort(int n);
  // Closes the port and sets the caller's handle to 0.
  void ClosePort(Handle& handle);
  // At most 64 bytes of what has arrived, without waiting; empty for handle 0 or on error.
  QByteArray ReadPort(Handle handle);
  // Writes the bytes in one write bounded to 100 ms; the number that went out (0 for handle 0,
  // nothing to write, or a port that has gone).
  qint64 WritePort(Handle handle, const QByteArray& bytes);
  // Reads the current line settings and changes baud, data bits, parity and stop bits (codes:
  // stop bits 0 one, 1 one and a half, 2 two; parity 0 none, 1 odd, 2 even, 3 mark, 4 space).
  // Then, whenever the handle is not 0, sets the time-outs. False when anything was refused.
  bool SetupPort(Handle handle, qint32 baud, int dataBits, int stopBits, int parity);
  // Reads return at once; a write may take at most 100 ms.
  bool SetPortTimeouts(Handle handle);

  // Whether the handle's port is still open: false for 0, after ClosePort, and once the device
  // has gone (unplugged adapter).
  bool isPortOpen(Handle handle) const;

  // Why the last OpenPort that answered 0 failed.
  const PortOpenFailure& lastOpenFailure() const { return m_lastFailure; }

  void numberNewAdapters() { m_provider->numberNewAdapters(); }
  // Makes the port objects; a window that drives a port of its own outside the handle table
  // (the firmware update) takes its port from here.
  PortProvider& ports() { return *m_provider; }

  // The open port of each device slot (0..10); 0 means none.
  std::array<Handle, kSlotPlaces> PortHandle{};

private:
  SerialPort* find(Handle handle) const;

  std::unique_ptr<PortProvider> m_provider;
  std::map<Handle, std::unique_ptr<SerialPort>> m_open;
  Handle m_nextHandle = 1;
  PortOpenFailure m_lastFailure;
};

// A user-readable reason for a failed open of port n, for the Connect action's message.
QString describeOpenFailure(int n, const PortOpenFailure& failure);

// The panel operations the port probe needs; the device panel implements them.
class PortListPanel {
public:
  virtual ~PortListPanel() = default;
  virtual void PortClr() = 0;
  virtual void PortAdd(const QString& name) = 0;
  virtual void setTPort(const QString& name) = 0;
};

// What a port search met: the ports that opened, and those refused for want of permission.
struct ProbeSummary {
  int opened = 0;
  int refused = 0;     // device nodes this user may not open
  QString group;       // the group owning a refused node
  bool inGroup = true; // whether this process belongs to that group
};

// Fills the panel's port list with the ports 2..20 that can be opened now, ascending, and selects
// the first one found; ports this program has open are not listed. Nothing is shown.
ProbeSummary ProbePorts(Comm& comm, PortListPanel& panel);

} // namespace ondrel
