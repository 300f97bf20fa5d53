#include "data/ui/frmhistory.h"

#include "data/bdfexport.h"
#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/textfile.h"
#include "history/import.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <set>

namespace ondrel {

// ---- the table
// -----------------------------------------------------------------------------------

void HistoryTableModel::reset(std::vector<Row> rows, bool more) {
  beginResetModel();
  m_rows = std::move(rows);
  m_more = more;
  m_fetching = false;
  endResetModel();
}

void HistoryTableModel::append(std::vector<Row> rows, bool more) {
  m_fetching = false;
  m_more = more;
  if (rows.empty())
    return;
  const int first = int(m_rows.size());
  beginInsertRows({}, first, first + int(rows.size()) - 1);
  m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()),
                std::make_move_iterator(rows.end()));
  endInsertRows();
}

void HistoryTableModel::pageFailed() {
  m_fetching = false;
  m_more = false;
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(m_rows.size());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kHistoryColumns;
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= int(m_rows.size()))
    return {};
  const Row& r = m_rows[size_t(index.row())];
  const auto column = HistoryColumn(index.column());
  if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
    return historyCell(r.record, column, r.missing);
  if (role == Qt::ToolTipRole && column == HistoryColumn::DataFile)
    return r.record.dataFile;
  if (role == Qt::TextAlignmentRole && index.column() >= int(HistoryColumn::Capacity) &&
      index.column() <= int(HistoryColumn::Resistance))
    return int(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < kHistoryColumns)
    return historyHeading(HistoryColumn(section));
  return QAbstractTableModel::headerData(section, orientation, role);
}

bool HistoryTableModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && m_more && !m_fetching && fetchPage;
}

void HistoryTableModel::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent))
    return;
  m_fetching = true;
  fetchPage(int(m_rows.size()));
}

void HistoryTableModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= kHistoryColumns)
    return;
  emit sortRequested({historySortColumn(HistoryColumn(column)), order == Qt::DescendingOrder});
}

// ---- the window
// ----------------------------------------------------------------------------------

namespace {

QLineEdit* filterBox(QGridLayout* grid, int row, int col, const QString& caption, QWidget* parent,
                     const char* name) {
  auto* label = new QLabel(caption, parent);
  auto* box = new QLineEdit(parent);
  box->setObjectName(QLatin1String(name));
  label->setBuddy(box);
  box->setAccessibleName(caption);
  grid->addWidget(label, row, col * 2);
  grid->addWidget(box, row, col * 2 + 1);
  return box;
}

std::optional<double> numberBox(const QLineEdit* box) {
  bool ok = false;
  const double v = box->text().trimmed().toDouble(&ok);
  return ok ? std::optional<double>(v) : std::nullopt;
}

// One page, with whether each data file is there (looked at on the reader's thread: a data
// folder on a share can be slow too).
struct Page {
  std::vector<HistoryTableModel::Row> rows;
  bool more = false;
};
Page pageOf(Catalogue& c, const HistoryFilter& filter, const HistorySort& sort, int offset) {
  Page p;
  for (TestRecord& r : c.query(filter, sort, HistoryTableModel::kPage, offset)) {
    const bool missing = dataFileMissing(r);
    p.rows.push_back({std::move(r), missing});
  }
  p.more = int(p.rows.size()) == HistoryTableModel::kPage;
  return p;
}

} // namespace

frmHistory::frmHistory(StoreTarget target, std::optional<StoreTarget> local, QString storeNote,
                       HistoryServices services, QWidget* parent)
    : QMainWindow(parent), m_target(std::move(target)), m_services(std::move(services)) {
  setObjectName(QStringLiteral("frmHistory"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(LangText(QStringLiteral("Test History")));
  resize(1000, 600);

  auto* central = new QWidget(this);
  setCentralWidget(central);
  auto* layout = new QVBoxLayout(central);
  auto* grid = new QGridLayout;
  m_label = filterBox(grid, 0, 0, LangText(QStringLiteral("Label")), central, "txtLabel");
  m_modelBox = filterBox(grid, 0, 1, LangText(QStringLiteral("Model")), central, "txtModel");
  m_mode = filterBox(grid, 0, 2, LangText(QStringLiteral("Mode")), central, "txtMode");
  m_from = filterBox(grid, 1, 0, LangText(QStringLiteral("From (yyyy-mm-dd)")), central, "txtFrom");
  m_to = filterBox(grid, 1, 1, LangText(QStringLiteral("To (yyyy-mm-dd)")), central, "txtTo");
  m_capMin =
      filterBox(grid, 2, 0, LangText(QStringLiteral("Capacity from (Ah)")), central, "txtCapMin");
  m_capMax =
      filterBox(grid, 2, 1, LangText(QStringLiteral("Capacity to (Ah)")), central, "txtCapMax");
  m_resMin =
      filterBox(grid, 3, 0, LangText(QStringLiteral("Resistance from (mΩ)")), central, "txtResMin");
  m_resMax =
      filterBox(grid, 3, 1, LangText(QStringLiteral("Resistance to (mΩ)")), central, "txtResMax");
  layout->addLayout(grid);
  for (QLineEdit* box :
       {m_label, m_modelBox, m_mode, m_from, m_to, m_capMin, m_capMax, m_resMin, m_resMax})
    connect(box, &QLineEdit::returnPressed, this, &frmHistory::applyFilter);

  auto* buttons = new QHBoxLayout;
  const auto button = [&](const char* name, const QString& caption, void (frmHistory::*slot)()) {
    auto* b = new QPushButton(caption, central);
    b->setObjectName(QLatin1String(name));
    connect(b, &QPushButton::clicked, this, slot);
    buttons->addWidget(b);
  };
  button("cmdFilter", LangText(QStringLiteral("Filter")), &frmHistory::applyFilter);
  button("cmdOpen", LangText(QStringLiteral("Open in Viewer")), &frmHistory::openSelected);
  button("cmdExport", LangText(QStringLiteral("Export…")), &frmHistory::exportSelected);
  button("cmdDelete", LangText(QStringLiteral("Delete…")), &frmHistory::deleteSelected);
  button("cmdMatch", LangText(QStringLiteral("Match Cells")), &frmHistory::matchSelected);
  buttons->addStretch(1);
  layout->addLayout(buttons);

  m_model = new HistoryTableModel(this);
  m_model->fetchPage = [this](int offset) { fetchPage(offset); };
  m_view = new QTableView(central);
  m_view->setObjectName(QStringLiteral("gridHistory"));
  m_view->setAccessibleName(LangText(QStringLiteral("Tests")));
  m_view->setModel(m_model);
  m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_view->setSortingEnabled(true);
  m_view->setWordWrap(false); // one line a test
  m_view->horizontalHeader()->setSortIndicator(int(HistoryColumn::Date), Qt::DescendingOrder);
  m_view->verticalHeader()->hide();
  layout->addWidget(m_view, 1);
  connect(m_model, &HistoryTableModel::sortRequested, this, [this](const HistorySort& s) {
    m_sort = s;
    applyFilter();
  });
  connect(m_view, &QTableView::doubleClicked, this, &frmHistory::openSelected);

  m_sums = new QLabel(central);
  m_sums->setObjectName(QStringLiteral("lblSums"));
  layout->addWidget(m_sums);
  statusBar()->setObjectName(QStringLiteral("staHistory"));
  buildMenus();

  // Opened on the reader's thread: a lab server that does not answer holds up nothing here.
  say(LangText(QStringLiteral("Connecting to the test history…")));
  m_reader = std::make_unique<HistoryReader>(m_target, std::move(local));
  ++m_busy;
  m_reader->whenOpen(this, [this, storeNote](const HistoryReader::Opened& o) {
    --m_busy;
    if (!o.open) {
      say(LangText(QStringLiteral("The test history cannot be shown: ")) + o.problem);
    } else if (o.fallback) {
      m_fallback = true; // what is imported now is for the lab store too
      ErrLog(QStringLiteral("ErrHistory"), o.problem);
      say(LangText(QStringLiteral("The lab server is not reachable. Shown are the tests kept on "
                                  "this computer, with those not sent yet.")));
    } else if (!storeNote.isEmpty()) {
      say(storeNote);
    } else {
      statusBar()->clearMessage();
    }
  });
  applyFilter();
}

frmHistory::~frmHistory() = default;

void frmHistory::buildMenus() {
  QMenu* file = menuBar()->addMenu(LangText(QStringLiteral("File")));
  const auto add = [this](QMenu* menu, const char* name, const QString& text,
                          void (frmHistory::*slot)()) {
    QAction* a = menu->addAction(text);
    a->setObjectName(QLatin1String(name));
    connect(a, &QAction::triggered, this, slot);
  };
  add(file, "menuImport", LangText(QStringLiteral("Import Data Folder…")),
      &frmHistory::importFolder);
  add(file, "menuExport", LangText(QStringLiteral("Export…")), &frmHistory::exportSelected);
  add(file, "menuExportBdf", LangText(QStringLiteral("Export as Battery Data Format…")),
      &frmHistory::exportBdf);
  add(file, "menuDelete", LangText(QStringLiteral("Delete…")), &frmHistory::deleteSelected);
  QMenu* tools = menuBar()->addMenu(LangText(QStringLiteral("Tools")));
  add(tools, "menuMatch", LangText(QStringLiteral("Match Cells")), &frmHistory::matchSelected);
}

void frmHistory::say(const QString& text) {
  statusBar()->showMessage(text);
}

QString frmHistory::statusText() const {
  return statusBar()->currentMessage();
}

QString frmHistory::sumsText() const {
  return m_sums->text();
}

HistoryFilter frmHistory::filter() const {
  HistoryFilter f;
  f.label = m_label->text();
  f.model = m_modelBox->text();
  f.mode = m_mode->text();
  f.from = parseHistoryDate(m_from->text());
  f.to = parseHistoryDate(m_to->text());
  f.capacityMinAh = numberBox(m_capMin);
  f.capacityMaxAh = numberBox(m_capMax);
  f.resistanceMinMohm = numberBox(m_resMin);
  f.resistanceMaxMohm = numberBox(m_resMax);
  return f;
}

template <class Work, class Done>
void frmHistory::request(const QString& failure, Work work, Done done) {
  ++m_busy;
  m_reader->run(
      this, std::move(work),
      [this, done = std::move(done)](const auto& result) {
        --m_busy;
        done(result);
      },
      [this, failure](const QString& why) {
        --m_busy;
        // No reason: no catalogue is open, which the status bar says already.
        if (!why.isEmpty())
          say(failure + why);
      });
}

void frmHistory::applyFilter() {
  const HistoryFilter f = filter();
  const HistorySort sort = m_sort;
  const int generation = ++m_generation;
  m_shownFilter = f;
  struct FirstPage {
    Page page;
    HistorySums sums;
  };
  request(
      LangText(QStringLiteral("The test history cannot be read: ")),
      [f, sort](Catalogue& c) { return FirstPage{pageOf(c, f, sort, 0), c.sums(f)}; },
      [this, generation](const FirstPage& p) {
        if (generation != m_generation)
          return; // a later filter is on its way
        m_model->reset(p.page.rows, p.page.more);
        m_sums->setText(sumsLine(p.sums));
        // Sized once, to the first rows the user gets: later pages do not make the columns jump.
        if (!m_sized && !p.page.rows.empty()) {
          m_sized = true;
          m_view->resizeColumnsToContents();
        }
      });
}

void frmHistory::fetchPage(int offset) {
  // The filter the table shows, not what the boxes hold now.
  const HistoryFilter f = m_shownFilter;
  const HistorySort sort = m_sort;
  const int generation = m_generation;
  ++m_busy;
  m_reader->run(
      this, [f, sort, offset](Catalogue& c) { return pageOf(c, f, sort, offset); },
      [this, generation](const Page& p) {
        --m_busy;
        if (generation == m_generation)
          m_model->append(p.rows, p.more);
      },
      [this, generation](const QString& why) {
        --m_busy;
        if (!why.isEmpty())
          ErrLog(QStringLiteral("ErrHistory"), why);
        if (generation == m_generation)
          m_model->pageFailed();
      });
}

std::vector<TestRecord> frmHistory::selectedRows() const {
  std::set<int> rows;
  for (const QModelIndex& i : m_view->selectionModel()->selectedIndexes())
    rows.insert(i.row());
  std::vector<TestRecord> out;
  for (int r : rows)
    out.push_back(m_model->row(r));
  return out;
}

void frmHistory::openSelected() {
  QStringList files;
  int missing = 0;
  for (const TestRecord& r : selectedRows()) {
    if (r.dataFile.isEmpty() || dataFileMissing(r))
      ++missing;
    else
      files << r.dataFile;
  }
  if (files.size() > 10) {
    m_services.ask(QMessageBox::Information,
                   LangText(QStringLiteral("Select at most ten tests to open.")), QMessageBox::Ok);
    return;
  }
  if (missing > 0)
    say(LangText(QStringLiteral("%1 of the selected tests have no data file where it was."))
            .arg(missing));
  if (!files.isEmpty() && m_services.openInViewer)
    m_services.openInViewer(files);
}

void frmHistory::exportSelected() {
  const std::vector<TestRecord> rows = selectedRows();
  if (rows.empty()) {
    say(LangText(QStringLiteral("Select the tests to export.")));
    return;
  }
  const bool csv = m_services.csv && m_services.csv();
  const QString ext = csv ? QStringLiteral("csv") : QStringLiteral("txt");
  const QString path =
      m_services.chooseFile(true, LangText(QStringLiteral("Export")),
                            csv ? QStringLiteral("CSV (*.csv)|*.csv") : QStringLiteral("Text (*.txt)|*.txt"),
                            QStringLiteral("history.") + ext, ext);
  if (path.isEmpty())
    return;
  try {
    writeFileAtomically(path, historyTable(rows, csv).toUtf8());
    say(LangText(QStringLiteral("%1 tests exported.")).arg(rows.size()));
  } catch (...) {
    say(LangText(QStringLiteral("The file was not written: ")) + describeCurrentException());
  }
}

void frmHistory::exportBdf() {
  const std::vector<TestRecord> rows = selectedRows();
  if (rows.empty()) {
    say(LangText(QStringLiteral("Select the tests to export.")));
    return;
  }
  if (!m_services.chooseFolder)
    return;
  const QString folder =
      m_services.chooseFolder(LangText(QStringLiteral("Export as Battery Data Format")));
  if (folder.isEmpty())
    return;
  int written = 0;
  QStringList failed;
  for (const TestRecord& r : rows) {
    QFile f(r.dataFile);
    if (r.dataFile.isEmpty() || !f.open(QIODevice::ReadOnly)) {
      failed << (r.label.isEmpty() ? QStringLiteral("#%1").arg(r.id) : r.label) +
                    QStringLiteral(": ") + LangText(QStringLiteral("no data file"));
      continue;
    }
    QString problem;
    const auto test = exportTestOfRow(r, f.readAll(), &problem);
    try {
      if (!test)
        throw Failure(problem);
      const QString path =
          QDir(folder).filePath(exportFileStem(*test) + QStringLiteral("_%1.bdf.csv").arg(r.id));
      writeFileAtomically(path, batteryDataFormatCsv(*test));
      ++written;
    } catch (...) {
      failed << QFileInfo(r.dataFile).fileName() + QStringLiteral(": ") +
                    describeCurrentException();
    }
  }
  say(LangText(QStringLiteral("%1 files written.")).arg(written));
  if (!failed.isEmpty())
    m_services.ask(QMessageBox::Information,
                   LangText(QStringLiteral("These tests were not exported:")) + QLatin1Char('\n') +
                       failed.mid(0, 20).join(QLatin1Char('\n')),
                   QMessageBox::Ok);
}

void frmHistory::deleteSelected() {
  const std::vector<TestRecord> rows = selectedRows();
  if (rows.empty())
    return;
  const auto answer = m_services.ask(
      QMessageBox::Question,
      LangText(QStringLiteral("Delete %1 tests from the history? Their data files stay."))
          .arg(rows.size()),
      QMessageBox::Yes | QMessageBox::No);
  if (answer != QMessageBox::Yes)
    return;
  std::vector<qint64> ids;
  for (const TestRecord& r : rows)
    ids.push_back(r.id);
  request(QString(), [ids](Catalogue& c) { return c.remove(ids); }, [](int) {});
  applyFilter();
}

void frmHistory::importFolder() {
  if (!m_services.chooseFolder)
    return;
  const QString folder = m_services.chooseFolder(LangText(QStringLiteral("Import Data Folder")));
  if (folder.isEmpty())
    return;
  say(LangText(QStringLiteral("Importing…")));
  request(
      QString(),
      [folder, unsent = m_fallback](Catalogue& c) { return importDataFolder(c, folder, unsent); },
      [this](const ImportResult& r) {
        QString text =
            LangText(QStringLiteral("%1 tests added, %2 known already.")).arg(r.added).arg(r.known);
        say(text);
        if (!r.failed.empty()) {
          QStringList lines;
          for (const auto& [file, why] : r.failed)
            lines << file + QStringLiteral(": ") + why;
          m_services.ask(QMessageBox::Information,
                         text + QLatin1Char('\n') +
                             LangText(QStringLiteral("These files could not be read:")) +
                             QLatin1Char('\n') + lines.mid(0, 20).join(QLatin1Char('\n')),
                         QMessageBox::Ok);
        }
      });
  applyFilter();
}

void frmHistory::matchSelected() {
  std::vector<MatchCell> cells;
  for (const TestRecord& r : selectedRows())
    if (r.capacityAh && *r.capacityAh > 0)
      cells.push_back({r.label.isEmpty() ? QStringLiteral("#%1").arg(r.id) : r.label, *r.capacityAh,
                       r.resistanceMohm, r.id});
  if (cells.empty()) {
    say(LangText(QStringLiteral("Select the discharge tests to match.")));
    return;
  }
  auto* dialog = new frmMatch(std::move(cells), m_services, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
}

// ---- matching
// ------------------------------------------------------------------------------------

frmMatch::frmMatch(std::vector<MatchCell> cells, HistoryServices services, QWidget* parent)
    : QDialog(parent), m_cells(std::move(cells)), m_services(std::move(services)) {
  setObjectName(QStringLiteral("frmMatch"));
  setWindowTitle(LangText(QStringLiteral("Match Cells")));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  m_series = new QSpinBox(this);
  m_series->setObjectName(QStringLiteral("txtSeries"));
  m_series->setRange(1, 200);
  m_parallel = new QSpinBox(this);
  m_parallel->setObjectName(QStringLiteral("txtParallel"));
  m_parallel->setRange(1, 100);
  form->addRow(LangText(QStringLiteral("Cells in series (S)")), m_series);
  form->addRow(LangText(QStringLiteral("Cells in parallel (P)")), m_parallel);
  m_series->setAccessibleName(LangText(QStringLiteral("Cells in series (S)")));
  m_parallel->setAccessibleName(LangText(QStringLiteral("Cells in parallel (P)")));
  layout->addLayout(form);
  auto* row = new QHBoxLayout;
  auto* go = new QPushButton(LangText(QStringLiteral("Match")), this);
  go->setObjectName(QStringLiteral("cmdMatch"));
  auto* save = new QPushButton(LangText(QStringLiteral("Export…")), this);
  save->setObjectName(QStringLiteral("cmdExport"));
  row->addWidget(go);
  row->addWidget(save);
  row->addStretch(1);
  layout->addLayout(row);
  connect(go, &QPushButton::clicked, this, &frmMatch::match);
  connect(save, &QPushButton::clicked, this, &frmMatch::exportCsv);
  m_groups = new QTableWidget(0, 4, this);
  m_groups->setObjectName(QStringLiteral("gridGroups"));
  m_groups->setAccessibleName(LangText(QStringLiteral("Groups")));
  m_groups->setHorizontalHeaderLabels(
      {LangText(QStringLiteral("Group")), LangText(QStringLiteral("Cells")),
       LangText(QStringLiteral("Capacity(Ah)")), LangText(QStringLiteral("Resistance(mΩ)"))});
  m_groups->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_groups->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(m_groups, 1);
  m_spread = new QLabel(this);
  m_spread->setObjectName(QStringLiteral("lblSpread"));
  m_spread->setWordWrap(true);
  layout->addWidget(m_spread);
  resize(640, 420);
  setPack(int(m_cells.size()), 1);
}

void frmMatch::setPack(int series, int parallel) {
  m_series->setValue(series);
  m_parallel->setValue(parallel);
}

QString frmMatch::spreadText() const {
  return m_spread->text();
}

void frmMatch::match() {
  m_result = matchCells(m_cells, m_series->value(), m_parallel->value());
  m_groups->setRowCount(0);
  if (!m_result.problem.isEmpty()) {
    m_spread->setText(m_result.problem);
    return;
  }
  const auto res = [](const std::optional<double>& r) {
    return r ? QString::number(*r, 'f', 1) : QString();
  };
  m_groups->setRowCount(int(m_result.groups.size()));
  for (int g = 0; g < int(m_result.groups.size()); ++g) {
    const MatchGroup& mg = m_result.groups[size_t(g)];
    QStringList names;
    for (int i : mg.cells)
      names << m_cells[size_t(i)].name;
    const QStringList cells{QString::number(g + 1), names.join(QStringLiteral(", ")),
                            QString::number(mg.capacityAh, 'f', 3), res(mg.resistanceMohm)};
    for (int c = 0; c < 4; ++c)
      m_groups->setItem(g, c, new QTableWidgetItem(cells[c]));
  }
  QStringList left;
  for (int i : m_result.leftOver)
    left << m_cells[size_t(i)].name;
  m_spread->setText(
      LangText(QStringLiteral("Spread %1 mAh (%2 %), resistance %3 mΩ. Left over: %4"))
          .arg(m_result.spreadMah, 0, 'f', 1)
          .arg(m_result.spreadPercent, 0, 'f', 2)
          .arg(m_result.resistanceSpreadMohm, 0, 'f', 1)
          .arg(left.isEmpty() ? LangText(QStringLiteral("none"))
                              : left.join(QStringLiteral(", "))));
}

void frmMatch::exportCsv() {
  if (m_result.groups.empty())
    return;
  const QString path =
      m_services.chooseFile(true, LangText(QStringLiteral("Export")), QStringLiteral("CSV (*.csv)|*.csv"),
                            QStringLiteral("pack.csv"), QStringLiteral("csv"));
  if (path.isEmpty())
    return;
  try {
    writeFileAtomically(path, matchCsv(m_cells, m_result).toUtf8());
  } catch (...) {
    m_spread->setText(LangText(QStringLiteral("The file was not written: ")) +
                      describeCurrentException());
  }
}

} // namespace ondrel
