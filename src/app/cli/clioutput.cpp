#include "cli/clioutput.h"

#include "data/liveupdate.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace ondrel::cli {
namespace {

// Numbers rounded to what the device resolves, so that a JSON line reads 3.912, not 3.91199994.
double rounded(double v, int decimals) {
  const double f = std::pow(10.0, decimals);
  const double r = std::round(v * f) / f;
  return r == 0.0 ? 0.0 : r; // no "-0"
}

double unitFactor(const SlotModel& m) {
  return m.params.caps.currentInMilliamps ? 0.001 : 1.0;
}

QString fixed(double v, int decimals) {
  return QString::number(v, 'f', decimals);
}

} // namespace

QString firmwareText(const ModelParams& params) {
  return QString::number(params.FwVersion / 100) + QLatin1Char('.') +
         QStringLiteral("%1").arg(params.FwVersion % 100, 2, 10, QLatin1Char('0'));
}

QString runState(const SlotModel& m, int c) {
  return m.at(c).data.ChnRunning ? QStringLiteral("running") : QStringLiteral("idle");
}

QJsonObject sampleObject(const SlotModel& m, int c) {
  const ChannelData& d = m.at(c).data;
  const double unit = unitFactor(m);
  QJsonObject o;
  o.insert(QStringLiteral("port"), m.port);
  o.insert(QStringLiteral("channel"), c + 1);
  o.insert(QStringLiteral("t"), d.TestSec);
  o.insert(QStringLiteral("state"), runState(m, c));
  o.insert(QStringLiteral("mode"), d.ModeNo >= 0 && d.ModeNo < m.modes.size()
                                       ? m.modes.at(d.ModeNo)
                                       : QString());
  o.insert(QStringLiteral("v"), rounded(d.Volt, 3));
  o.insert(QStringLiteral("a"), rounded(d.Cur * unit, 4));
  o.insert(QStringLiteral("w"), rounded(d.Pwr * unit, 3));
  o.insert(QStringLiteral("ah"), rounded(d.Cap * unit, 4));
  o.insert(QStringLiteral("wh"), rounded(d.Energy * unit, 4));
  if (m.params.HasTemp)
    o.insert(QStringLiteral("temp_c"), rounded(d.Temp, 1));
  return o;
}

QJsonObject identifiedObject(const SlotModel& m) {
  QJsonObject o;
  o.insert(QStringLiteral("event"), QStringLiteral("identified"));
  o.insert(QStringLiteral("port"), m.port);
  o.insert(QStringLiteral("model"), m.at(0).row.device);
  o.insert(QStringLiteral("firmware"), firmwareText(m.params));
  o.insert(QStringLiteral("channels"), m.Dev2S ? 2 : 1);
  o.insert(QStringLiteral("modes"), QJsonArray::fromStringList(m.modes));
  o.insert(QStringLiteral("max_v"), rounded(m.params.MaxVoltage, 3));
  o.insert(QStringLiteral("min_v"), rounded(m.params.MinVoltage, 3));
  o.insert(QStringLiteral("max_a"), rounded(m.params.MaxCurrent * unitFactor(m), 4));
  o.insert(QStringLiteral("min_a"), rounded(m.params.MinCurrent * unitFactor(m), 4));
  o.insert(QStringLiteral("temperature"), m.params.HasTemp);
  return o;
}

QString statusLine(const SlotModel& m, int c) {
  const ChannelData& d = m.at(c).data;
  const double unit = unitFactor(m);
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
  const double unit = unitFactor(m);
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
