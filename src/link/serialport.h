#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace ondrel {

// Why a port could not be opened, kept for the Connect action's message.
enum class OpenError {
  None,
  Absent,           // no such port (no link in the ports folder, or the device is unplugged)
  InUse,            // open elsewhere, in this program or another
  PermissionDenied, // the user may not open the device node
  Other,
};

struct PortOpenFailure {
  OpenError reason = OpenError::None;
  QString device;      // the device node the port name led to, when known
  QString group;       // owning group of the device node (PermissionDenied)
  bool inGroup = true; // whether this process belongs to that group
  QString detail;      // the system's own text
};

// The line settings a device link changes; everything else stays as the port has it.
enum class StopBits { One = 0, OneAndHalf = 1, Two = 2 };
enum class Parity { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };

struct LineSettings {
  qint32 baud = 9600;
  int dataBits = 8;
  StopBits stopBits = StopBits::One;
  Parity parity = Parity::Even;
  friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// Time-outs in the form Windows serial drivers take them: reads return at once
// with what is buffered, a write may take writeTotalConstant ms (+ multiplier per byte).
struct PortTimeouts {
  quint32 readInterval = 0xFFFFFFFFu;
  quint32 readTotalMultiplier = 0;
  quint32 readTotalConstant = 0;
  quint32 writeTotalMultiplier = 0;
  quint32 writeTotalConstant = 100;
  friend bool operator==(const PortTimeouts&, const PortTimeouts&) = default;
};

// One serial port as the device link sees it. The real one is a QSerialPort; tests and the
// report-handling tests use MemorySerialPort.
class SerialPort {
public:
  virtual ~SerialPort() = default;

  // Opens exclusively for reading and writing; on failure `failure` says why.
  virtual bool open(PortOpenFailure& failure) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;

  // The device this port reaches (canonical path; empty when absent), also before opening, so
  // that one device is never opened twice under two numbers.
  virtual QString location() const = 0;

  // At most `maxBytes` of what is buffered, without waiting; empty on error or when closed.
  virtual QByteArray read(qint64 maxBytes) = 0;
  // One write, bounded by the write time-out; the number of bytes that went out (0 on error).
  virtual qint64 write(const QByteArray& bytes) = 0;

  virtual std::optional<LineSettings> lineSettings() const = 0;
  virtual bool setLineSettings(const LineSettings& settings) = 0;
  virtual std::optional<PortTimeouts> timeouts() const = 0;
  virtual bool setTimeouts(const PortTimeouts& timeouts) = 0;
};

// A QSerialPort on a device node (or a native name such as "COM3" on Windows).
std::unique_ptr<SerialPort> makeSystemSerialPort(const QString& device);

} // namespace ondrel
