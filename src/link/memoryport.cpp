#include "link/memoryport.h"

namespace ondrel {

MemorySerialPort::MemorySerialPort(std::shared_ptr<MemoryLine> line, QString location)
    : m_line(std::move(line)), m_location(std::move(location)) {}

bool MemorySerialPort::open(PortOpenFailure& failure) {
  failure = {};
  failure.device = m_location;
  if (!m_line->present) {
    failure.reason = OpenError::Absent;
    return false;
  }
  if (!m_line->refusedGroup.isEmpty()) {
    failure.reason = OpenError::PermissionDenied;
    failure.group = m_line->refusedGroup;
    failure.inGroup = false;
    return false;
  }
  if (m_line->busy || m_line->isOpen) {
    failure.reason = OpenError::InUse;
    return false;
  }
  m_line->isOpen = true;
  ++m_line->opens;
  return true;
}

void MemorySerialPort::close() {
  m_line->isOpen = false;
}

bool MemorySerialPort::isOpen() const {
  return m_line->isOpen && m_line->present;
}

QByteArray MemorySerialPort::read(qint64 maxBytes) {
  if (!isOpen() || maxBytes <= 0)
    return {};
  const QByteArray out = m_line->incoming.left(maxBytes);
  m_line->incoming.remove(0, out.size());
  return out;
}

qint64 MemorySerialPort::write(const QByteArray& bytes) {
  if (!isOpen())
    return 0;
  m_line->writes << bytes;
  return bytes.size();
}

std::optional<LineSettings> MemorySerialPort::lineSettings() const {
  if (!isOpen())
    return std::nullopt;
  return m_line->settings;
}

bool MemorySerialPort::setLineSettings(const LineSettings& settings) {
  if (!isOpen())
    return false;
  LineSettings applied = settings;
  if (m_line->refuseParity)
    applied.parity = m_line->settings.parity;
  m_line->settings = applied;
  return applied == settings;
}

std::optional<PortTimeouts> MemorySerialPort::timeouts() const {
  if (!isOpen())
    return std::nullopt;
  return m_line->timeouts;
}

bool MemorySerialPort::setTimeouts(const PortTimeouts& timeouts) {
  if (!isOpen())
    return false;
  m_line->timeouts = timeouts;
  return true;
}

std::shared_ptr<MemoryLine> MemoryPorts::line(int n) {
  const auto a = m_aliases.find(n);
  if (a != m_aliases.end())
    n = a->second;
  auto& l = m_lines[n];
  if (!l)
    l = std::make_shared<MemoryLine>();
  return l;
}

void MemoryPorts::alias(int n, int other) {
  m_aliases[n] = other;
}

std::unique_ptr<SerialPort> MemoryPorts::port(int n) {
  const auto a = m_aliases.find(n);
  const int target = a != m_aliases.end() ? a->second : n;
  const auto it = m_lines.find(target);
  if (it == m_lines.end()) {
    auto absent = std::make_shared<MemoryLine>();
    absent->present = false;
    return std::make_unique<MemorySerialPort>(absent, QString());
  }
  return std::make_unique<MemorySerialPort>(it->second, QStringLiteral("memory:%1").arg(target));
}

} // namespace ondrel
