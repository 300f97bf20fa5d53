#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace ondrel {

// Ports are known by number everywhere: "COM" + n in the panel's list and its tPort text, n in the
// settings file. On Windows the name is the native one. Elsewhere the folder "ports" in the
// program folder holds links named "COM" + n that point to device nodes; the probe numbers new
// USB serial adapters there, a user may add or change links by hand, and the simulator registers
// its pseudo-terminals there.

// Lowest and highest port numbers the probe looks at and hands out.
inline constexpr int kFirstProbedPort = 2;
inline constexpr int kLastProbedPort = 20;

QString portName(int n); // "COM" + n
// A port text as the user may type it: "COM" in any case, then the number, perhaps with spaces
// or leading zeros ("COM12", "com12", "COM 012" -> 12). nullopt when no number from 1 to 99999
// follows ("COM", "COMx", "COM0", "COM3x").
std::optional<int> portNumber(const QString& text);
// The number of a link in the ports folder: only the exact name portName(n) counts, since the
// port opens through that name ("COM03" and "com3" name no port there).
std::optional<int> linkPortNumber(const QString& fileName);

// The "ports" folder of the program folder.
QString portsFolder();

// What to hand the serial port for port n: the link's path in `folder` (or the native name on
// Windows).
QString portDevice(int n, const QString& folder);

// The USB serial adapters present now, by their stable /dev/serial/by-id name where the system has
// one (else /dev/ttyUSB*, /dev/ttyACM*; on macOS /dev/cu.usbserial*, /dev/cu.usbmodem*).
// Empty on Windows.
QStringList systemUsbSerialDevices();

// Gives every device in `devices` that no link in `folder` reaches yet the lowest free number from
// 2 to 20 (a link that dangles, such as an unplugged adapter's, keeps its number). Returns the
// numbers assigned, in order.
QList<int> numberNewAdapters(const QString& folder, const QStringList& devices);

} // namespace ondrel
