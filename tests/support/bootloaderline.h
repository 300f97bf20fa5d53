#pragma once

#include "sim/bootloader.h"

#include <QByteArray>
#include <QRandomGenerator>

#include <functional>
#include <initializer_list>
#include <memory>

namespace ondrel::testing {

// The bytes of a list of values 0..255, as the boot loader's commands are written down.
inline QByteArray bytes(std::initializer_list<int> list) {
  QByteArray b;
  for (int v : list)
    b.append(static_cast<char>(v));
  return b;
}

// `size` bytes of a firmware image, the same for the same size and seed.
inline QByteArray randomImage(int size, quint32 seed) {
  QByteArray image(size, Qt::Uninitialized);
  QRandomGenerator random(seed);
  for (char& c : image)
    c = static_cast<char>(random.bounded(256));
  return image;
}
inline QByteArray randomImage(int size) {
  return randomImage(size, static_cast<quint32>(size));
}

// The simulator's boot loader of a device of `type` with firmware `version`; `more` sets the
// rest of its configuration.
inline std::unique_ptr<sim::BootLoader>
bootLoader(int type, int version, const std::function<void(sim::BootConfig&)>& more = {}) {
  sim::BootConfig config;
  config.deviceType = type;
  config.version = version;
  if (more)
    more(config);
  return std::make_unique<sim::BootLoader>(config);
}

} // namespace ondrel::testing
