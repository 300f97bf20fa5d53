#pragma once

#include <QLineEdit>
#include <QTableWidget>
#include <QWidget>

namespace ondrel {

// A read-only result grid as the program's tables use it. Rows are counted with the heading row:
// row 0 is the heading (drawn as the table's header, so it stays in view while the rows scroll),
// rows 1.. hold the data. Column 0 is a fixed column on the button face; every cell is centred.
// Column widths are given in twips (15 to a device-independent pixel). A row or column outside
// the grid throws ComponentError 9.
class PanelGrid : public QTableWidget {
  Q_OBJECT

public:
  PanelGrid(int cols, int naturalRows, QWidget* parent = nullptr);

  int Rows() const { return rowCount() + 1; }
  void setRows(int rows); // at least 1 (the heading)
  int Cols() const { return columnCount(); }

  QString text(int row, int col) const;
  void setText(int row, int col, const QString& text);
  // Empties every data cell and gives column 0 back its button-face background.
  void clearCells();

  int colWidthTwips(int col) const;
  void setColWidthTwips(int col, int twips);
  int widthTwips() const { return width() * 15; }

  // Background of one data cell (colour value, system colours allowed).
  void setCellBackground(int row, int col, quint32 colour);
  QColor cellBackground(int row, int col) const;

  // The natural width; the natural height shows the heading and naturalRows − 1 data rows.
  void setNaturalWidthTwips(int twips) { m_naturalWidthTwips = twips; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

signals:
  // A double click anywhere on the grid, cells, heading or empty area.
  void gridDoubleClicked();
  void resized();

protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  QTableWidgetItem* cell(int row, int col) const; // row ≥ 1
  void check(int row, int col) const;
  void fillItems(int fromRow);
  void applyMetrics();

  int m_naturalRows;
  int m_naturalWidthTwips = 3600;
  QVector<int> m_widthsTwips;
};

// A text box of the panel: its natural width fits a number of characters, whatever the font, and
// it reports when the user leaves it. Leaving it because another window became active (a message
// box, another program) or a menu popped up does not count, so a check that shows a message on
// leaving does not run again while its own message is up.
class PanelBox : public QLineEdit {
  Q_OBJECT

public:
  PanelBox(int chars, QWidget* parent = nullptr);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

signals:
  void left();

protected:
  void focusOutEvent(QFocusEvent* event) override;

private:
  int m_chars;
};

// The receive indicator: a small round lamp, filled while set, hollow otherwise.
class RecvLamp : public QWidget {
  Q_OBJECT

public:
  explicit RecvLamp(QWidget* parent = nullptr);
  bool isLit() const { return m_lit; }
  void setLit(bool lit);
  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  bool m_lit = false;
};

} // namespace ondrel
