#include "cli/clihistory.h"

#include "data/support/failure.h"
#include "history/historyview.h"
#include "history/historywriter.h"

#include <QDir>

namespace ondrel::cli {

namespace {

QString textLine(const TestRecord& r) {
  QStringList parts{historyCell(r, HistoryColumn::Date),
                    r.kind,
                    r.label.isEmpty() ? QStringLiteral("-") : r.label,
                    r.model,
                    historyCell(r, HistoryColumn::PortChannel),
                    r.mode};
  if (r.capacityAh)
    parts << QString::number(*r.capacityAh, 'f', 3) + QStringLiteral(" Ah");
  if (r.energyWh)
    parts << QString::number(*r.energyWh, 'f', 3) + QStringLiteral(" Wh");
  if (r.avgV)
    parts << QString::number(*r.avgV, 'f', 3) + QStringLiteral(" V avg");
  if (r.resistanceMohm)
    parts << QString::number(*r.resistanceMohm, 'f', 1) + QStringLiteral(" mOhm");
  if (!r.endReason.isEmpty())
    parts << r.endReason;
  if (!r.dataFile.isEmpty())
    parts << QDir::toNativeSeparators(r.dataFile) +
                 (dataFileMissing(r) ? QStringLiteral(" (missing)") : QString());
  return parts.join(QStringLiteral("  "));
}

} // namespace

int listHistory(const Options& o, const QString& folder, Printer& out) {
  const HistoryConfig config = readHistoryConfig(folder);
  if (!config.problem.isEmpty())
    out.error(QString(), QStringLiteral("Test history: ") + config.problem, 0);
  std::unique_ptr<Catalogue> catalogue;
  if (config.lab) {
    try {
      catalogue = std::make_unique<Catalogue>(*config.lab);
      catalogue->open();
    } catch (...) {
      out.error(QString(), describeCurrentException() + QStringLiteral("; listing the local file"),
                0);
      catalogue.reset();
    }
  }
  if (!catalogue) {
    const StoreTarget local = localStore(folder);
    if (!QFile::exists(local.path)) {
      out.line(QStringLiteral("No tests in the history yet (%1).")
                   .arg(QDir::toNativeSeparators(local.path)));
      return kExitOk;
    }
    try {
      catalogue = std::make_unique<Catalogue>(local);
      catalogue->open();
    } catch (...) {
      out.error(QString(), describeCurrentException(), 1);
      return 1;
    }
  }
  HistoryFilter f;
  f.label = o.label;
  f.model = o.model;
  if (!o.since.isEmpty())
    f.from = QDate::fromString(o.since, Qt::ISODate);
  try {
    // A page at a time, so a long history starts printing at once.
    constexpr int kPage = 1000;
    for (int offset = 0;; offset += kPage) {
      const auto rows = catalogue->query(f, {}, kPage, offset);
      for (const TestRecord& r : rows)
        out.event(toJson(r), textLine(r));
      if (int(rows.size()) < kPage)
        break;
    }
  } catch (...) {
    out.error(QString(), describeCurrentException(), 1);
    return 1;
  }
  return kExitOk;
}

} // namespace ondrel::cli
