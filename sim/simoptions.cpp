#include "simoptions.h"

#include <cmath>

namespace ondrel::sim {

namespace {

bool toNumber(const QString& text, double* value) {
  bool ok = false;
  *value = text.toDouble(&ok);
  return ok;
}

bool toInt(const QString& text, int* value) {
  bool ok = false;
  *value = text.toInt(&ok);
  return ok;
}

} // namespace

QString deviceSpecHelp() {
  return QStringLiteral(
      "  model=CODE        model code 1..99 (12 KL-F2, 17 two-channel KL-03, 9 KC-03, 26 USB "
      "meter ...); default 12\n"
      "  fw=VERSION        firmware version (302 means 3.02); default: the model's usual one\n"
      "  chem=NAME         battery chemistry: liion, lipo, life, nimh, nicd, pb, usb\n"
      "  cells=N           cells in series; default 1\n"
      "  cap=AH            capacity in Ah; default 2\n"
      "  res=MOHM          internal resistance of the pack in milliohms; default 50\n"
      "  soc=PERCENT       state of charge; default 100 on loads, 50 on chargers\n"
      "  ambient=C         ambient temperature; default 25\n"
      "  usb-volts=V       open-circuit voltage of the USB source of a meter; default 5\n"
      "  meter-load=A      current drawn through a meter; default 0.5\n"
      "  report-ms=MS      report interval; default 1000\n"
      "  speed=N           run the physics N times faster; default 1\n"
      "  info-every=N      an info report after connect and then every N reports; default 10\n"
      "  start=M/S/L/T[/C] start mode M with set S, limit L, time T (channel C) from the keys\n"
      "  corrupt=SHARE     send this share of reports (0..1) with a wrong checksum\n"
      "  split             send in random small writes\n"
      "  noise=SHARE       precede this share of reports with noise bytes\n"
      "  silent=S          stop answering after S seconds (0: never answer)\n"
      "  vanish=S          close the port after S seconds, as an unplugged device\n"
      "  seed=N            seed of the fault dice\n"
      "  boot=TYPE         start in boot-loader mode as device type TYPE\n"
      "  version=N         firmware version the boot loader reports; default 320\n"
      "  boot-silent       the boot loader never answers\n"
      "  sync-on=N         the boot loader answers only from the N-th synchronisation on\n"
      "  reject-block=N    the boot loader refuses the N-th written block\n"
      "  image=FILE        where the boot loader writes the received image\n");
}

bool parseDeviceSpec(const QString& spec, const DeviceOptions& defaults, DeviceOptions* out,
                     QString* error) {
  DeviceOptions o = defaults;
  const auto fail = [&](const QString& why) {
    if (error)
      *error = QStringLiteral("--device %1: %2").arg(spec, why);
    return false;
  };
  const qsizetype colon = spec.indexOf(QLatin1Char(':'));
  const QString portText = colon < 0 ? spec : spec.left(colon);
  QString portDigits = portText.trimmed();
  if (portDigits.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
    portDigits = portDigits.mid(3);
  if (!toInt(portDigits, &o.port) || o.port < 1 || o.port > 255)
    return fail(QStringLiteral("the port number must be 1..255"));

  BatteryParams battery;
  bool batteryTouched = false;
  struct Pending {
    QString key, value;
  };
  QList<Pending> items;
  if (colon >= 0) {
    for (const QString& part : spec.mid(colon + 1).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
      const qsizetype eq = part.indexOf(QLatin1Char('='));
      items.append({(eq < 0 ? part : part.left(eq)).trimmed().toLower(),
                    eq < 0 ? QString() : part.mid(eq + 1).trimmed()});
    }
  }
  // The model decides the default battery, so it goes first.
  for (const Pending& p : items) {
    if (p.key == "model") {
      if (!toInt(p.value, &o.device.model) || o.device.model < 1 || o.device.model > 99)
        return fail(QStringLiteral("model must be 1..99"));
    }
  }
  battery = defaultBattery(simModel(o.device.model, o.device.firmware));
  for (const Pending& p : items) {
    const QString& k = p.key;
    const QString& v = p.value;
    double d = 0;
    int n = 0;
    const auto number = [&](double lo, double hi) { return toNumber(v, &d) && d >= lo && d <= hi; };
    const auto integer = [&](int lo, int hi) { return toInt(v, &n) && n >= lo && n <= hi; };
    const QString bad = QStringLiteral("bad value for %1: '%2'").arg(k, v);
    if (k == "model") {
      continue;
    } else if (k == "fw") {
      if (!integer(1, 9999))
        return fail(bad);
      o.device.firmware = n;
    } else if (k == "chem") {
      if (!parseChemistry(v, &battery.chemistry))
        return fail(bad);
      batteryTouched = true;
    } else if (k == "cells") {
      if (!integer(1, 60))
        return fail(bad);
      battery.cells = n;
      batteryTouched = true;
    } else if (k == "cap") {
      if (!number(0.001, 1000))
        return fail(bad);
      battery.capacityAh = d;
      batteryTouched = true;
    } else if (k == "res") {
      if (!number(0.5, 100000))
        return fail(bad);
      battery.resistanceOhm = d / 1000.0;
      batteryTouched = true;
    } else if (k == "soc") {
      if (!number(0, 100))
        return fail(bad);
      battery.stateOfCharge = d / 100.0;
      batteryTouched = true;
    } else if (k == "ambient") {
      if (!number(-40, 80))
        return fail(bad);
      battery.ambientC = d;
      batteryTouched = true;
    } else if (k == "usb-volts") {
      if (!number(0, 30))
        return fail(bad);
      battery.sourceVolts = d;
      batteryTouched = true;
    } else if (k == "meter-load") {
      if (!number(0, 100))
        return fail(bad);
      o.device.meterLoadA = d;
    } else if (k == "report-ms") {
      if (!integer(1, 3600000))
        return fail(bad);
      o.reportMs = n;
    } else if (k == "speed") {
      if (!number(0.001, 100000))
        return fail(bad);
      o.speed = d;
    } else if (k == "info-every") {
      if (!integer(1, 100000))
        return fail(bad);
      o.device.infoEvery = n;
    } else if (k == "start") {
      const QStringList f = v.split(QLatin1Char('/'));
      KeyStartOption s;
      const auto finite = [](const QString& text, double* value) {
        return toNumber(text, value) && std::isfinite(*value);
      };
      if (f.size() < 4 || f.size() > 5 || !toInt(f[0], &s.mode) || !finite(f[1], &s.set) ||
          !finite(f[2], &s.limit) || !finite(f[3], &s.time) ||
          (f.size() == 5 && !toInt(f[4], &s.channel)))
        return fail(QStringLiteral("start wants MODE/SET/LIMIT/TIME[/CHANNEL]"));
      o.keyStart = s;
    } else if (k == "corrupt") {
      if (!number(0, 1))
        return fail(bad);
      o.corruptShare = d;
    } else if (k == "split") {
      o.split = v.isEmpty() || v != "0";
    } else if (k == "noise") {
      if (!number(0, 1))
        return fail(bad);
      o.noiseShare = d;
    } else if (k == "silent") {
      if (!number(0, 1e9))
        return fail(bad);
      o.silentAfterS = d;
    } else if (k == "vanish") {
      if (!number(0, 1e9))
        return fail(bad);
      o.vanishAfterS = d;
    } else if (k == "seed") {
      if (!integer(0, 2147483647))
        return fail(bad);
      o.seed = static_cast<std::uint32_t>(n);
    } else if (k == "boot") {
      if (!integer(0, 255))
        return fail(bad);
      o.boot = true;
      o.bootConfig.deviceType = n;
    } else if (k == "version") {
      if (!integer(0, 32767))
        return fail(bad);
      o.bootConfig.version = n;
    } else if (k == "boot-silent") {
      o.bootConfig.silent = true;
    } else if (k == "sync-on") {
      if (!integer(1, 1000))
        return fail(bad);
      o.bootConfig.answerSync = n;
    } else if (k == "reject-block") {
      if (!integer(1, 100000))
        return fail(bad);
      o.bootConfig.rejectBlock = n;
    } else if (k == "image") {
      o.bootConfig.imagePath = v;
    } else {
      return fail(QStringLiteral("unknown key '%1'").arg(k));
    }
  }
  if (batteryTouched) {
    o.device.batteryGiven = true;
    o.device.battery = battery;
  }
  *out = o;
  return true;
}

} // namespace ondrel::sim
