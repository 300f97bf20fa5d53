#pragma once

class QTableWidget;
class QWidget;

namespace ondrel {

// A result grid "gridRun": `rows` × `columns` centred cells, no headers of the table's own (row
// 0 holds the headings), not editable, no selection, no scroll bars.
QTableWidget* makeResultTable(int rows, int columns, QWidget* parent);
// One more row of centred cells at the bottom.
void addResultRow(QTableWidget* table);

} // namespace ondrel
