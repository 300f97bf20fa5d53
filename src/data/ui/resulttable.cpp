#include "data/ui/resulttable.h"

#include "data/support/langtext.h"

#include <QHeaderView>
#include <QTableWidget>

namespace ondrel {

namespace {
void fillRow(QTableWidget* table, int row) {
  for (int c = 0; c < table->columnCount(); ++c) {
    auto* item = new QTableWidgetItem;
    item->setTextAlignment(Qt::AlignCenter);
    table->setItem(row, c, item);
  }
}
} // namespace

QTableWidget* makeResultTable(int rows, int columns, QWidget* parent) {
  auto* grid = new QTableWidget(rows, columns, parent);
  grid->setObjectName(QStringLiteral("gridRun"));
  grid->setAccessibleName(LangText(QStringLiteral("Results")));
  grid->horizontalHeader()->hide();
  grid->verticalHeader()->hide();
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionMode(QAbstractItemView::NoSelection);
  // Tab passes through to the next control; the arrow keys move between cells.
  grid->setTabKeyNavigation(false);
  grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  for (int r = 0; r < rows; ++r)
    fillRow(grid, r);
  return grid;
}

void addResultRow(QTableWidget* table) {
  const int row = table->rowCount();
  table->insertRow(row);
  fillRow(table, row);
}

} // namespace ondrel
