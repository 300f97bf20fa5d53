#include "history/import.h"

#include "data/bdfexport.h"
#include "data/viewerfile.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace ondrel {

std::optional<TestRecord> recordOfDataFile(const QString& path, const QByteArray& bytes,
                                           const QDateTime& modified, QString* problem) {
  const ViewerFile f = readViewerFile(bytes, viewerSeparator(path), false);
  if (!f.problem.isEmpty()) {
    if (problem)
      *problem = f.problem;
    return std::nullopt;
  }
  TestRecord r;
  r.dataHash = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
  // The content decides the key: the same file imported on two PCs is one row.
  r.uid = QStringLiteral("file:") + r.dataHash;
  r.kind = kind::Test;
  const double seconds = f.t.empty() ? 0.0 : double(f.t.back());
  r.endedUtc = isoUtc(modified);
  r.startedUtc = isoUtc(modified.addSecs(-qint64(std::max(0.0, seconds))));
  r.model = f.cells[0];
  r.mode = f.cells[1];
  r.beginV = resultNumber(f.cells[2]);
  r.endV = resultNumber(f.cells[3]);
  r.capacityAh = resultNumber(f.cells[4]);
  r.energyWh = resultNumber(f.cells[5]);
  r.avgV = resultNumber(f.cells[6]);
  if (!r.avgV && !f.volt.empty())
    r.avgV = f.average;
  if (!r.beginV && !f.volt.empty())
    r.beginV = f.volt.front();
  if (!r.endV && !f.volt.empty())
    r.endV = f.volt.back();
  if (!r.capacityAh && !f.capAh.empty())
    r.capacityAh = f.capAh.back();
  if (!r.energyWh && !f.energyWh.empty())
    r.energyWh = f.energyWh.back();
  r.label = f.cells[7];
  r.dataFile = QFileInfo(path).absoluteFilePath();
  return r;
}

ImportResult importDataFolder(Catalogue& catalogue, const QString& folder, bool unsent) {
  ImportResult result;
  std::vector<TestRecord> rows;
  QDirIterator it(folder, {QStringLiteral("*.csv"), QStringLiteral("*.dat"), QStringLiteral("*.CSV"),
                           QStringLiteral("*.DAT")},
                  QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = QFileInfo(it.next()).absoluteFilePath();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
      result.failed.emplace_back(path, file.errorString());
      continue;
    }
    const QByteArray bytes = file.readAll();
    QString problem;
    auto r = recordOfDataFile(path, bytes, QFileInfo(path).lastModified(), &problem);
    if (!r) {
      result.failed.emplace_back(path, problem);
      continue;
    }
    if (catalogue.knowsFile(path, r->dataHash)) {
      ++result.known;
      continue;
    }
    r->unsent = unsent;
    rows.push_back(*r);
  }
  result.added = catalogue.add(rows);
  result.known += int(rows.size()) - result.added;
  return result;
}

std::optional<ExportTest> exportTestOfRow(const TestRecord& row, const QByteArray& bytes,
                                          QString* problem) {
  const ViewerFile f = readViewerFile(bytes, viewerSeparator(row.dataFile), false);
  if (!f.problem.isEmpty()) {
    if (problem)
      *problem = f.problem;
    return std::nullopt;
  }
  ExportTest t;
  t.start = QDateTime::fromString(row.startedUtc, Qt::ISODate);
  t.model = row.model;
  t.port = row.port;
  t.channel = row.channel;
  // Charging modes start with "C" ("C-CV", "C-Liion"); the file keeps current magnitudes.
  const bool charging = row.mode.startsWith(QLatin1Char('C'), Qt::CaseInsensitive);
  for (size_t i = 0; i < f.t.size(); ++i) {
    ExportSample s;
    s.ms = qint64(double(f.t[i]) * 1000.0);
    s.volt = f.volt[i];
    s.current = std::abs(double(f.cur[i]));
    s.charging = charging;
    s.capacity = f.capAh[i];
    s.energy = f.energyWh[i];
    t.samples.push_back(s);
  }
  return t;
}

} // namespace ondrel
