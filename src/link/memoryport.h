#pragma once

#include "link/comm.h"
#include "link/serialport.h"

#include <QByteArray>
#include <QList>

#include <map>
#include <memory>

namespace ondrel {

// A serial port held in memory, for tests and for feeding report handling without a device:
// bytes given to feed() are read back in order, writes are kept in written(). Its state is shared
// with whoever holds the same MemoryLine, so a test can keep talking to a port that Comm owns.
struct MemoryLine {
  QByteArray incoming;       // not yet read
  QList<QByteArray> writes;  // each write call's bytes
  bool present = true;       // false: the port is absent (open fails), or vanishes while open
  bool busy = false;         // open fails as in use
  QString refusedGroup;      // not empty: open fails for permission, the node owned by this group
  bool refuseParity = false; // like a pseudo-terminal: even parity is refused, the rest works
  bool isOpen = false;
  LineSettings settings{115200, 8, StopBits::One, Parity::None};
  PortTimeouts timeouts{0, 0, 0, 0, 0};
  int opens = 0;

  void feed(const QByteArray& bytes) { incoming += bytes; }
};

class MemorySerialPort final : public SerialPort {
public:
  MemorySerialPort(std::shared_ptr<MemoryLine> line, QString location);
  bool open(PortOpenFailure& failure) override;
  void close() override;
  bool isOpen() const override;
  QString location() const override { return m_location; }
  QByteArray read(qint64 maxBytes) override;
  qint64 write(const QByteArray& bytes) override;
  std::optional<LineSettings> lineSettings() const override;
  bool setLineSettings(const LineSettings& settings) override;
  std::optional<PortTimeouts> timeouts() const override;
  bool setTimeouts(const PortTimeouts& timeouts) override;

private:
  std::shared_ptr<MemoryLine> m_line;
  QString m_location;
};

// Port numbers mapped to memory lines; numbers without a line are absent.
class MemoryPorts final : public PortProvider {
public:
  // The line of port n, created (present) on first use.
  std::shared_ptr<MemoryLine> line(int n);
  // Port n reaches the same line as port `other` (two links to one device).
  void alias(int n, int other);

  std::unique_ptr<SerialPort> port(int n) override;

private:
  std::map<int, std::shared_ptr<MemoryLine>> m_lines;
  std::map<int, int> m_aliases;
};

} // namespace ondrel
