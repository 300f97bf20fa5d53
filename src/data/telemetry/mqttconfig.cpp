#include "data/telemetry/mqttconfig.h"

#include <QFile>
#include <QUrl>

namespace ondrel {
namespace {

const QString kSection = QStringLiteral("MQTT");

bool truthy(const QString& v) {
  return v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || v == QLatin1String("1");
}

} // namespace

MqttConfig readMqttConfig(const IniDocument& ini, QStringList* problems) {
  MqttConfig c;
  const auto value = [&](const char* key) {
    return ini.value(kSection, QLatin1String(key)).trimmed();
  };
  c.url = value("URL");
  c.user = value("USER");
  c.passFile = value("PASSFILE");
  c.caFile = value("CAFILE");
  if (const QString p = value("PREFIX"); !p.isEmpty())
    c.prefix = p;
  if (const QString r = value("RATE"); !r.isEmpty()) {
    bool ok = false;
    const int rate = r.toInt(&ok);
    if (ok && rate >= 1 && rate <= 3600)
      c.rate = rate;
    else if (problems)
      *problems << QStringLiteral("MQTT/RATE: %1").arg(r);
  }
  c.allowStop = truthy(value("ALLOWSTOP"));
  return c;
}

void writeMqttConfig(IniDocument& ini, const MqttConfig& c) {
  ini.setValue(kSection, QStringLiteral("URL"), c.url);
  ini.setValue(kSection, QStringLiteral("USER"), c.user);
  ini.setValue(kSection, QStringLiteral("PASSFILE"), c.passFile);
  ini.setValue(kSection, QStringLiteral("CAFILE"), c.caFile);
  ini.setValue(kSection, QStringLiteral("PREFIX"), c.prefix);
  ini.setValue(kSection, QStringLiteral("RATE"), QString::number(c.rate));
  ini.setValue(kSection, QStringLiteral("ALLOWSTOP"),
               c.allowStop ? QStringLiteral("True") : QStringLiteral("False"));
}

std::optional<BrokerAddress> parseBrokerUrl(const QString& text, QString* error) {
  const auto fail = [&](const QString& why) -> std::optional<BrokerAddress> {
    if (error)
      *error = why;
    return std::nullopt;
  };
  const QUrl url(text.trimmed(), QUrl::StrictMode);
  if (!url.isValid() || url.host().isEmpty())
    return fail(QStringLiteral("\"%1\" is no broker address (mqtt://host:port or "
                               "mqtts://host:port).")
                    .arg(text));
  BrokerAddress a;
  if (url.scheme() == QLatin1String("mqtt"))
    a.tls = false;
  else if (url.scheme() == QLatin1String("mqtts"))
    a.tls = true;
  else
    return fail(QStringLiteral("\"%1\": the address starts with mqtt:// or mqtts://.").arg(text));
  if (!url.path().isEmpty() && url.path() != QLatin1String("/"))
    return fail(QStringLiteral("\"%1\": a broker address has no path.").arg(text));
  a.host = url.host();
  a.port = url.port(a.tls ? 8883 : 1883);
  if (a.port <= 0 || a.port > 65535)
    return fail(QStringLiteral("\"%1\": no such port.").arg(text));
  return a;
}

QString topicSafe(const QString& text, bool keepSlashes) {
  QString out;
  for (const QChar ch : text) {
    if ((ch.isLetterOrNumber() && ch.unicode() < 128) || ch == u'-' || ch == u'_' ||
        (keepSlashes && ch == u'/'))
      out += ch;
    else
      out += u'_';
  }
  return out;
}

QString telemetryHostId(const QString& hostName) {
  const QString id = topicSafe(hostName.section(QLatin1Char('.'), 0, 0));
  return id.isEmpty() ? QStringLiteral("host") : id;
}

std::optional<QString> readPasswordFile(const QString& path, QString* error) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    if (error)
      *error = QStringLiteral("The password file %1 cannot be read: %2").arg(path, f.errorString());
    return std::nullopt;
  }
  QString line = QString::fromUtf8(f.readLine());
  while (line.endsWith(u'\n') || line.endsWith(u'\r'))
    line.chop(1);
  return line;
}

} // namespace ondrel
