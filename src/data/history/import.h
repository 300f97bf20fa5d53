#pragma once

#include "data/bdfexport.h"
#include "history/catalogue.h"
#include "history/testrecord.h"

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace ondrel {

// Taking a user's existing data files into the catalogue.

// The row of one data file, read with the viewer's reader; nothing, with the reason, for a file
// the viewer could not show. `modified` stands for the test's end.
std::optional<TestRecord> recordOfDataFile(const QString& path, const QByteArray& bytes,
                                           const QDateTime& modified, QString* problem);

struct ImportResult {
  int added = 0;
  int known = 0;                                  // already in the catalogue (path or content)
  std::vector<std::pair<QString, QString>> failed; // file and why it was not taken
};

// Every data file (".csv", ".dat") in `folder` and its subfolders that the catalogue does not know
// yet by path or content hash gets a row. A file that cannot be read is listed, not fatal. Throws
// Failure only when the catalogue itself fails.
// `unsent`: the catalogue stands in for an unreachable lab store, so the rows are marked to be
// sent there later.
ImportResult importDataFolder(Catalogue& catalogue, const QString& folder, bool unsent = false);

// A catalogued test's samples, read back from its data file with the viewer's reader, as the
// Battery Data Format writer takes them. Nothing, with the reason, when the file cannot be read.
std::optional<ExportTest> exportTestOfRow(const TestRecord& row, const QByteArray& dataFile,
                                          QString* problem);

} // namespace ondrel
