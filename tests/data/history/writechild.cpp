// A program instance as far as the history goes: adds rows through its own HistoryWriter and ends
// once they are handled. Arguments: program folder, key prefix, row count, lab store address (or
// nothing).
#include "history/historywriter.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 4)
    return 2;
  ondrel::HistoryConfig config;
  config.folder = QString::fromLocal8Bit(argv[1]);
  if (argc > 4)
    config.lab = ondrel::parseArchiveUrl(QString::fromLocal8Bit(argv[4]), nullptr);
  const QString prefix = QString::fromLocal8Bit(argv[2]);
  const int count = QByteArray(argv[3]).toInt();
  ondrel::HistoryWriter writer(config);
  for (int i = 0; i < count; ++i) {
    ondrel::TestRecord r;
    r.uid = QStringLiteral("%1-%2").arg(prefix).arg(i);
    r.kind = ondrel::kind::Test;
    r.label = r.uid;
    writer.add(r);
    // One test's end at a time, as a running program reports them.
    if (i % 5 == 4)
      writer.flush();
  }
  writer.flush();
  return 0;
}
