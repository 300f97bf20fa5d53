#include "cli/clioutput.h"

#include "data/liveupdate.h"
#include "test/slotjson.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace ondrel::cli {
namespace {

QString fixed(double v, int decimals) {
  return QString::number(v, 'f', decimals);
}

} // namespace

QString statusLine(const SlotModel& m, int c) {
  const ChannelData& d = m.at(c).data;
  const double unit = toBaseUnits(m);
  QString line = m.port + QStringLiteral(" ch") + QString::number(c + 1) + QStringLiteral("  ") +
                 testTimeText(d.TestSec) + QStringLiteral("  ") + fixed(d.Volt, 3) +
                 QStringLiteral(" V  ") + fixed(d.Cur * unit, 3) + QStringLiteral(" A  ") +
                 fixed(d.Pwr * unit, 2) + QStringLiteral(" W  ") + fixed(d.Cap * unit, 4) +
                 QStringLiteral(" Ah  ") + fixed(d.Energy * unit, 4) + QStringLiteral(" Wh");
  if (m.params.HasTemp)
    line += QStringLiteral("  ") + fixed(d.Temp, 1) + QStringLiteral(" °C");
  return line + QStringLiteral("  ") + runState(m, c);
}

QStringList infoLines(const SlotModel& m) {
  const double unit = toBaseUnits(m);
  return {QStringLiteral("Model:     ") + m.at(0).row.device,
          QStringLiteral("Firmware:  ") + firmwareText(m.params),
          QStringLiteral("Port:      ") + m.port,
          QStringLiteral("Channels:  ") + QString::number(m.Dev2S ? 2 : 1),
          QStringLiteral("Voltage:   ") + fixed(m.params.MinVoltage, 2) + QStringLiteral(" to ") +
              fixed(m.params.MaxVoltage, 2) + QStringLiteral(" V"),
          QStringLiteral("Current:   ") + fixed(m.params.MinCurrent * unit, 3) +
              QStringLiteral(" to ") + fixed(m.params.MaxCurrent * unit, 3) + QStringLiteral(" A"),
          QStringLiteral("Sensor:    ") +
              (m.params.HasTemp ? QStringLiteral("temperature") : QStringLiteral("none")),
          QStringLiteral("Modes:     ") + m.modes.join(QStringLiteral(", "))};
}

void Printer::writeJson(const QJsonObject& object) {
  const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
  std::fwrite(line.constData(), 1, size_t(line.size()), m_out);
  std::fflush(m_out);
}

void Printer::clearStatus() {
  if (m_drawn == 0)
    return;
  // Back to the first status line, each line cleared.
  QByteArray seq = "\r\x1b[K";
  for (int i = 1; i < m_drawn; ++i)
    seq += "\x1b[1A\r\x1b[K";
  std::fwrite(seq.constData(), 1, size_t(seq.size()), m_out);
  m_drawn = 0;
}

void Printer::drawStatus() {
  QByteArray text;
  bool first = true;
  for (const auto& [c, line] : m_status) {
    if (!first)
      text += '\n';
    first = false;
    text += line.toUtf8();
  }
  std::fwrite(text.constData(), 1, size_t(text.size()), m_out);
  std::fflush(m_out);
  m_drawn = int(m_status.size());
}

void Printer::event(const QJsonObject& object, const QString& text) {
  if (m_json) {
    writeJson(object);
    return;
  }
  line(text);
}

void Printer::line(const QString& text) {
  if (m_json)
    return;
  clearStatus();
  const QByteArray bytes = text.toUtf8() + '\n';
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
  drawStatus();
}

void Printer::sample(const SlotModel& m, int c) {
  if (m_json) {
    writeJson(sampleObject(m, c));
    return;
  }
  m_status[c] = statusLine(m, c);
  clearStatus();
  drawStatus();
}

void Printer::status(const SlotModel& m, int c) {
  if (m_json || !m_status.count(c))
    return;
  m_status[c] = statusLine(m, c);
  clearStatus();
  drawStatus();
}

void Printer::error(const QString& port, const QString& message, int exitCode) {
  if (m_json) {
    QJsonObject o;
    o.insert(QStringLiteral("event"), QStringLiteral("error"));
    if (!port.isEmpty())
      o.insert(QStringLiteral("port"), port);
    o.insert(QStringLiteral("message"), message);
    o.insert(QStringLiteral("exit"), exitCode);
    writeJson(o);
  } else {
    clearStatus();
    std::fflush(m_out);
  }
  const QByteArray bytes = QStringLiteral("ondrel-cli: %1\n").arg(message).toUtf8();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_err);
  std::fflush(m_err);
  if (!m_json)
    drawStatus();
}

void Printer::finish() {
  if (!m_json && m_drawn > 0) {
    std::fputc('\n', m_out);
    std::fflush(m_out);
  }
  m_drawn = 0;
  m_status.clear();
}

} // namespace ondrel::cli
