#include "history/historyview.h"

#include <QFileInfo>

namespace ondrel {

QString historyHeading(HistoryColumn column) {
  switch (column) {
  case HistoryColumn::Date: return QStringLiteral("Date");
  case HistoryColumn::Label: return QStringLiteral("Label");
  case HistoryColumn::Model: return QStringLiteral("Model");
  case HistoryColumn::PortChannel: return QStringLiteral("Port/Channel");
  case HistoryColumn::Mode: return QStringLiteral("Mode");
  case HistoryColumn::Capacity: return QStringLiteral("Capacity(Ah)");
  case HistoryColumn::Energy: return QStringLiteral("Energy(Wh)");
  case HistoryColumn::AvgVolt: return QStringLiteral("Average(V)");
  case HistoryColumn::Resistance: return QStringLiteral("Resistance(mΩ)");
  case HistoryColumn::EndReason: return QStringLiteral("End");
  case HistoryColumn::DataFile: return QStringLiteral("Data File");
  }
  return {};
}

QString historySortColumn(HistoryColumn column) {
  switch (column) {
  case HistoryColumn::Date: return QStringLiteral("started_utc");
  case HistoryColumn::Label: return QStringLiteral("label");
  case HistoryColumn::Model: return QStringLiteral("model");
  case HistoryColumn::PortChannel: return QStringLiteral("port");
  case HistoryColumn::Mode: return QStringLiteral("mode");
  case HistoryColumn::Capacity: return QStringLiteral("capacity_ah");
  case HistoryColumn::Energy: return QStringLiteral("energy_wh");
  case HistoryColumn::AvgVolt: return QStringLiteral("avg_v");
  case HistoryColumn::Resistance: return QStringLiteral("resistance_mohm");
  case HistoryColumn::EndReason: return QStringLiteral("end_reason");
  case HistoryColumn::DataFile: return QStringLiteral("data_file");
  }
  return QStringLiteral("started_utc");
}

namespace {
QString fixed(const std::optional<double>& v, int decimals) {
  return v ? QString::number(*v, 'f', decimals) : QString();
}
} // namespace

bool dataFileMissing(const TestRecord& r) {
  return !r.dataFile.isEmpty() && !QFileInfo::exists(r.dataFile);
}

QString historyCell(const TestRecord& r, HistoryColumn column, bool fileMissing) {
  switch (column) {
  case HistoryColumn::Date: {
    const QDateTime t = QDateTime::fromString(r.startedUtc, Qt::ISODate);
    return t.isValid() ? t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : r.startedUtc;
  }
  case HistoryColumn::Label: return r.label;
  case HistoryColumn::Model: return r.model;
  case HistoryColumn::PortChannel:
    if (r.port.isEmpty())
      return {};
    return QStringLiteral("%1/%2").arg(r.port).arg(r.channel + 1);
  case HistoryColumn::Mode: return r.mode;
  case HistoryColumn::Capacity: return fixed(r.capacityAh, 3);
  case HistoryColumn::Energy: return fixed(r.energyWh, 3);
  case HistoryColumn::AvgVolt: return fixed(r.avgV, 3);
  case HistoryColumn::Resistance: return fixed(r.resistanceMohm, 1);
  case HistoryColumn::EndReason: return r.endReason;
  case HistoryColumn::DataFile:
    if (r.dataFile.isEmpty())
      return {};
    return fileMissing ? QStringLiteral("%1 (missing)").arg(QFileInfo(r.dataFile).fileName())
                       : QFileInfo(r.dataFile).fileName();
  }
  return {};
}

QString sumsLine(const HistorySums& s) {
  QString line = QStringLiteral("%1 tests · %2 Ah · %3 Wh")
                     .arg(s.count)
                     .arg(s.capacityAh, 0, 'f', 3)
                     .arg(s.energyWh, 0, 'f', 3);
  if (s.meanResistanceMohm)
    line += QStringLiteral(" · mean %1 mΩ").arg(*s.meanResistanceMohm, 0, 'f', 1);
  return line;
}

namespace {
QString quoted(const QString& text, QChar separator) {
  if (!text.contains(separator) && !text.contains(QLatin1Char('"')) &&
      !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
    return text;
  QString t = text;
  t.replace(QLatin1Char('"'), QLatin1String("\"\""));
  return QLatin1Char('"') + t + QLatin1Char('"');
}
QString number(const std::optional<double>& v) {
  return v ? QString::number(*v, 'g', 10) : QString();
}
} // namespace

QString historyTable(const std::vector<TestRecord>& rows, bool csv) {
  const QChar sep = csv ? QLatin1Char(',') : QLatin1Char('\t');
  QStringList columns{QStringLiteral("id")};
  for (const QString& c : testColumns())
    if (c != QLatin1String("unsent"))
      columns << c;
  QString out = columns.join(sep) + QStringLiteral("\r\n");
  for (const TestRecord& r : rows) {
    const QStringList cells{QString::number(r.id), r.uid, r.kind, r.startedUtc, r.endedUtc, r.host,
                            r.port, QString::number(r.slot), QString::number(r.channel), r.model,
                            r.firmware, r.mode, number(r.setValue), number(r.limitValue),
                            number(r.timeValue), r.label, number(r.beginV), number(r.endV),
                            number(r.avgV), number(r.capacityAh), number(r.energyWh),
                            number(r.maxTempC), number(r.resistanceMohm), r.endReason, r.dataFile,
                            r.recordingFile, r.dataHash};
    QStringList q;
    for (const QString& c : cells)
      q << quoted(c, sep);
    out += q.join(sep) + QStringLiteral("\r\n");
  }
  return out;
}

std::optional<QDate> parseHistoryDate(const QString& text) {
  const QString t = text.trimmed();
  QDate d = QDate::fromString(t.left(10), Qt::ISODate);
  if (!d.isValid())
    return std::nullopt;
  return d;
}

} // namespace ondrel
