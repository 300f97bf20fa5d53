// Writes rows to the catalogue named on the command line, five a transaction, and prints the
// number of transactions committed after each, until it is killed.
#include "history/catalogue.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ondrel::StoreTarget t;
  t.path = QString::fromLocal8Bit(argv[1]);
  ondrel::Catalogue c(t);
  c.open();
  for (int n = 1;; ++n) {
    std::vector<ondrel::TestRecord> rows;
    for (int i = 0; i < 5; ++i) {
      ondrel::TestRecord r;
      r.uid = QStringLiteral("%1-%2").arg(n).arg(i);
      r.kind = ondrel::kind::Test;
      r.label = QString(200, QLatin1Char('x'));
      rows.push_back(r);
    }
    c.add(rows);
    std::printf("%d\n", n);
    std::fflush(stdout);
  }
}
