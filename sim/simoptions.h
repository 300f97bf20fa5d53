#pragma once

#include "bootloader.h"
#include "devicelogic.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace ondrel::sim {

// A test started from the device's own keys at start-up, in the units the user sees.
struct KeyStartOption {
  int channel = 0;
  int mode = 0;
  double set = 1.0;
  double limit = 0.0;
  double time = 0.0;
};

struct DeviceOptions {
  int port = 2; // registered as ports/COM<port>
  DeviceConfig device;
  int reportMs = 1000;
  double speed = 1.0; // physics runs this many times faster; reports keep their interval

  bool boot = false; // start in boot-loader mode
  BootConfig bootConfig;

  // Fault injection.
  double corruptShare = 0.0; // share of reports sent with a wrong checksum
  bool split = false;        // send in random small writes
  double noiseShare = 0.0;   // share of reports preceded by noise bytes (0xF8, 0xFA included)
  double silentAfterS = -1;  // stop answering at this device time (0: never answer)
  double vanishAfterS = -1;  // close the pseudo-terminal at this device time
  std::uint32_t seed = 1;

  std::optional<KeyStartOption> keyStart;
};

// Parses "PORT:key=value,key=value,...", e.g. "3:model=17" or "5:boot=26,version=320".
// `defaults` supplies what the --device text leaves out (report interval, speed, seed).
bool parseDeviceSpec(const QString& spec, const DeviceOptions& defaults, DeviceOptions* out,
                     QString* error);
// The keys parseDeviceSpec knows, one per line, for --help.
QString deviceSpecHelp();

} // namespace ondrel::sim
