#pragma once

#include "data/support/ini.h"

#include <QString>

#include <optional>

namespace ondrel {

// The telemetry settings, section [MQTT] of "ondrel.ini" (command-line options override them).
struct MqttConfig {
  QString url;      // "URL": mqtt://host:port or mqtts://host:port; empty = off
  QString user;     // "USER"
  QString passFile; // "PASSFILE": a file holding the password, so that the INI holds no secret
  QString caFile;   // "CAFILE": the certificate authority for mqtts (else the system's store)
  QString prefix = QStringLiteral("ondrel"); // "PREFIX"
  int rate = 1;           // "RATE": seconds between state messages of a channel
  bool allowStop = false; // "ALLOWSTOP": a "stop" message may stop a channel's test

  bool enabled() const { return !url.trimmed().isEmpty(); }
};

// Reads [MQTT]; unusable values take their defaults (and are named in `problems`).
MqttConfig readMqttConfig(const IniDocument& ini, QStringList* problems = nullptr);
// Writes the keys as the settings dialog saves them.
void writeMqttConfig(IniDocument& ini, const MqttConfig& config);

struct BrokerAddress {
  bool tls = false;
  QString host;
  int port = 1883;
};
// "mqtt://host[:port]" (1883 by default) or "mqtts://host[:port]" (8883); nothing, with the reason,
// for anything else.
std::optional<BrokerAddress> parseBrokerUrl(const QString& url, QString* error);

// The host's stable id in topics: its name cut to letters, digits, '-' and '_'.
QString telemetryHostId(const QString& hostName);
// A topic level made safe the same way (a prefix may hold '/' between levels).
QString topicSafe(const QString& text, bool keepSlashes = false);

// The password: the file's first line. Nothing, with the reason, when it cannot be read.
std::optional<QString> readPasswordFile(const QString& path, QString* error);

} // namespace ondrel
