#pragma once

#include "history/catalogue.h"
#include "history/cellmatch.h"
#include "history/historyreader.h"
#include "history/historyview.h"
#include "test/ui/messages.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QSpinBox;
class QTableView;
class QTableWidget;

namespace ondrel {

// The catalogue as the history table shows it: one page of rows at a time, asked for as the view
// scrolls and filled in when the page arrives; sorting and filtering are the catalogue's.
class HistoryTableModel : public QAbstractTableModel {
  Q_OBJECT
public:
  static constexpr int kPage = 200;
  struct Row {
    TestRecord record;
    bool missing = false; // its data file is not where it was
  };
  explicit HistoryTableModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  // A new first page (filter or order changed); `more`: the catalogue has rows after it.
  void reset(std::vector<Row> rows, bool more);
  // The next page, asked for through `fetchPage`.
  void append(std::vector<Row> rows, bool more);
  // The next page did not come: no more are asked for until the next reset.
  void pageFailed();
  // Asks for the rows from `offset` on; the answer comes to append() or pageFailed().
  std::function<void(int offset)> fetchPage;

  const TestRecord& row(int r) const { return m_rows.at(size_t(r)).record; }
  bool missing(int r) const { return m_rows.at(size_t(r)).missing; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;
  void sort(int column, Qt::SortOrder order) override;

signals:
  void sortRequested(const ondrel::HistorySort& sort);

private:
  std::vector<Row> m_rows;
  bool m_more = false, m_fetching = false;
};

// What the history window needs of the main window.
struct HistoryServices {
  std::function<QString(bool save, const QString& title, const QString& filter, const QString& name,
                        const QString& defaultExt)>
      chooseFile;
  std::function<QString(const QString& title)> chooseFolder;
  MessageAsker ask;
  std::function<void(const QStringList& files)> openInViewer;
  std::function<bool()> csv; // the "CSV" preference
};

// "Test History": the catalogue as a sortable table with filters, a count and sums line, and the
// selection opened in the data viewer, exported, deleted or matched into a pack. The catalogue is
// opened and read on a thread of its own; a lab store that does not answer is replaced by the
// local file (`local`), said in the status bar.
class frmHistory : public QMainWindow {
  Q_OBJECT
public:
  frmHistory(StoreTarget target, std::optional<StoreTarget> local, QString storeNote,
             HistoryServices services, QWidget* parent = nullptr);
  ~frmHistory() override;

  // Catalogue work asked for has not come back yet.
  bool busy() const { return m_busy > 0; }

  // The filters' values as typed, and applying them.
  HistoryFilter filter() const;
  void applyFilter();
  HistoryTableModel& table() { return *m_model; }
  QTableView* view() const { return m_view; }
  QString sumsText() const;
  QString statusText() const;
  std::vector<TestRecord> selectedRows() const;

  void openSelected();
  void exportSelected();
  // The selected tests' samples as Battery Data Format CSV, one file each, into a chosen folder.
  void exportBdf();
  void deleteSelected();
  void importFolder();
  void matchSelected();

private:
  void buildMenus();
  void say(const QString& text);
  // Catalogue work on the reader's thread; `done` or a status line on this one.
  template <class Work, class Done>
  void request(const QString& failure, Work work, Done done);
  void fetchPage(int offset);

  StoreTarget m_target;
  HistoryServices m_services;
  std::unique_ptr<HistoryReader> m_reader;
  int m_busy = 0;
  bool m_sized = false;  // the columns fitted to the first rows shown
  bool m_fallback = false; // showing the local catalogue in place of the unreachable lab store
  int m_generation = 0; // of the filter and order the table shows
  HistoryFilter m_shownFilter;
  HistoryTableModel* m_model = nullptr;
  QTableView* m_view = nullptr;
  QLabel* m_sums = nullptr;
  QLineEdit *m_label = nullptr, *m_modelBox = nullptr, *m_mode = nullptr, *m_from = nullptr,
            *m_to = nullptr, *m_capMin = nullptr, *m_capMax = nullptr, *m_resMin = nullptr,
            *m_resMax = nullptr;
  HistorySort m_sort;
};

// "Match Cells": S and P, the groups with their cells, capacity and resistance, the spread and the
// cells left over, and the assignment saved as CSV.
class frmMatch : public QDialog {
  Q_OBJECT
public:
  frmMatch(std::vector<MatchCell> cells, HistoryServices services, QWidget* parent = nullptr);
  void setPack(int series, int parallel);
  void match();
  const MatchResult& result() const { return m_result; }
  QString spreadText() const;
  void exportCsv();

private:
  std::vector<MatchCell> m_cells;
  HistoryServices m_services;
  MatchResult m_result;
  QSpinBox *m_series = nullptr, *m_parallel = nullptr;
  QTableWidget* m_groups = nullptr;
  QLabel* m_spread = nullptr;
};

} // namespace ondrel
