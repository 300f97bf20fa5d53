#include "link/comm.h"

#include "link/portnames.h"

namespace ondrel {

SystemPorts::SystemPorts(std::function<QStringList()> adapters) : m_adapters(std::move(adapters)) {
  if (!m_adapters)
    m_adapters = systemUsbSerialDevices;
}

std::unique_ptr<SerialPort> SystemPorts::port(int n) {
  return makeSystemSerialPort(portDevice(n, portsFolder()));
}

void SystemPorts::numberNewAdapters() {
  ondrel::numberNewAdapters(portsFolder(), m_adapters());
}

Comm::Comm(std::unique_ptr<PortProvider> provider) : m_provider(std::move(provider)) {}

Comm::~Comm() {
  for (auto& [handle, port] : m_open)
    port->close();
}

SerialPort* Comm::find(Handle handle) const {
  if (handle == 0)
    return nullptr;
  const auto it = m_open.find(handle);
  return it == m_open.end() ? nullptr : it->second.get();
}

Comm::Handle Comm::OpenPort(int n) {
  m_lastFailure = {};
  auto port = n > 0 ? m_provider->port(n) : nullptr;
  if (!port) {
    m_lastFailure.reason = OpenError::Absent;
    return 0;
  }
  // The same device reached under a second number (two links to one node) must not be shared:
  // the operating system's exclusive open does not hold against the owner itself.
  const QString location = port->location();
  for (const auto& [h, other] : m_open) {
    if (!location.isEmpty() && other->isOpen() && other->location() == location) {
      m_lastFailure.reason = OpenError::InUse;
      m_lastFailure.device = location;
      return 0;
    }
  }
  PortOpenFailure failure;
  if (!port->open(failure)) {
    m_lastFailure = failure;
    return 0;
  }
  if (m_nextHandle <= 0)
    m_nextHandle = 1;
  while (m_open.count(m_nextHandle))
    ++m_nextHandle;
  const Handle h = m_nextHandle++;
  m_open.emplace(h, std::move(port));
  return h;
}

void Comm::ClosePort(Handle& handle) {
  const auto it = m_open.find(handle);
  if (it != m_open.end()) {
    it->second->close();
    m_open.erase(it);
  }
  handle = 0;
}

bool Comm::isPortOpen(Handle handle) const {
  const SerialPort* port = find(handle);
  return port && port->isOpen();
}

QByteArray Comm::ReadPort(Handle handle) {
  SerialPort* port = find(handle);
  return port ? port->read(64) : QByteArray();
}

qint64 Comm::WritePort(Handle handle, const QByteArray& bytes) {
  SerialPort* port = find(handle);
  if (!port || bytes.isEmpty())
    return 0;
  return port->write(bytes);
}

bool Comm::SetupPort(Handle handle, qint32 baud, int dataBits, int stopBits, int parity) {
  if (handle == 0)
    return false;
  bool ok = false;
  SerialPort* port = find(handle);
  const bool validCodes = stopBits >= 0 && stopBits <= 2 && parity >= 0 && parity <= 4;
  if (port && validCodes) {
    if (auto settings = port->lineSettings()) {
      settings->baud = baud;
      settings->dataBits = dataBits;
      settings->stopBits = static_cast<StopBits>(stopBits);
      settings->parity = static_cast<Parity>(parity);
      ok = port->setLineSettings(*settings);
    }
  }
  SetPortTimeouts(handle);
  return ok;
}

bool Comm::SetPortTimeouts(Handle handle) {
  SerialPort* port = find(handle);
  if (!port)
    return false;
  auto t = port->timeouts();
  if (!t)
    return false;
  *t = PortTimeouts{};
  return port->setTimeouts(*t);
}

QString describeOpenFailure(int n, const PortOpenFailure& failure) {
  const QString name = portName(n);
  const QString device =
      failure.device.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(failure.device);
  switch (failure.reason) {
  case OpenError::None:
    return {};
  case OpenError::Absent:
    return QStringLiteral("%1 is not present%2.").arg(name, device);
  case OpenError::InUse:
    return QStringLiteral("%1 is in use by another program or another device slot%2.")
        .arg(name, device);
  case OpenError::PermissionDenied:
    if (!failure.group.isEmpty() && !failure.inGroup)
      return QStringLiteral("No permission to open %1%2: add your user to the group \"%3\" "
                            "(sudo usermod -aG %3 $USER) and log in again.")
          .arg(name, device, failure.group);
    return QStringLiteral("No permission to open %1%2.").arg(name, device);
  case OpenError::Other:
    break;
  }
  return QStringLiteral("%1 cannot be opened%2: %3").arg(name, device, failure.detail);
}

ProbeSummary ProbePorts(Comm& comm, PortListPanel& panel) {
  ProbeSummary summary;
  panel.PortClr();
  comm.numberNewAdapters();
  bool first = true;
  for (int n = kFirstProbedPort; n <= kLastProbedPort; ++n) {
    Comm::Handle h = comm.OpenPort(n);
    if (h == 0) {
      const PortOpenFailure& failure = comm.lastOpenFailure();
      if (failure.reason == OpenError::PermissionDenied) {
        ++summary.refused;
        summary.group = failure.group;
        summary.inGroup = failure.inGroup;
      }
      continue;
    }
    ++summary.opened;
    panel.PortAdd(portName(n));
    if (first)
      panel.setTPort(portName(n));
    first = false;
    comm.ClosePort(h);
  }
  return summary;
}

} // namespace ondrel
