#pragma once

#include "history/testrecord.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>

#include <optional>
#include <vector>

namespace ondrel {

// Where the catalogue lives: the SQLite file in the program folder, or the lab's PostgreSQL.
struct StoreTarget {
  enum class Kind { Sqlite, Postgres };
  Kind kind = Kind::Sqlite;
  QString path; // SQLite
  QString host, user, password, database;
  int port = 5432;
  // For messages: the file, or "user@host:port/db" (never the password).
  QString describe() const;
};

// "postgresql://user@host:port/db" (port and user optional); nothing, with the reason, when the
// text is no such address.
std::optional<StoreTarget> parseArchiveUrl(const QString& url, QString* error);

// The local catalogue file's name in the program folder.
inline constexpr char kCatalogueFile[] = "ondrel.db";
// The schema this program writes; a catalogue of a later one is left alone.
inline constexpr int kSchemaVersion = 1;

// What the history window and `ondrel-cli history` filter by. Empty fields do not filter.
struct HistoryFilter {
  QString label; // part of the label, any case
  QString model; // part of the model's name, any case
  QString mode;  // part of the mode, any case
  QString kind;  // one kind exactly
  std::optional<QDate> from, to; // start dates, both days included (UTC)
  std::optional<double> capacityMinAh, capacityMaxAh;
  std::optional<double> resistanceMinMohm, resistanceMaxMohm;
};

// A column of `tests` to sort by, and the direction. Unknown columns sort by start time.
struct HistorySort {
  QString column = QStringLiteral("started_utc");
  bool descending = true;
};

// The count and sums line.
struct HistorySums {
  qint64 count = 0;
  double capacityAh = 0, energyWh = 0;
  std::optional<double> meanResistanceMohm;
};

// One open connection to the catalogue, used on the thread that made it. Every failure throws
// Failure with a description a user can read.
class Catalogue {
public:
  explicit Catalogue(StoreTarget target);
  ~Catalogue();
  Catalogue(const Catalogue&) = delete;
  Catalogue& operator=(const Catalogue&) = delete;

  // Opens the store and brings its schema up to this program's; refuses (throws) a file that is
  // no catalogue and one of a newer schema, changing nothing in either.
  void open();
  bool isOpen() const { return m_open; }
  const StoreTarget& target() const { return m_target; }
  int schemaVersion();

  // Stores the rows in one transaction; a row whose key is stored already is left as it is.
  // Answers how many were new.
  int add(const std::vector<TestRecord>& rows);
  std::vector<TestRecord> query(const HistoryFilter& filter, const HistorySort& sort = {},
                                int limit = -1, int offset = 0);
  HistorySums sums(const HistoryFilter& filter);
  std::vector<TestRecord> byIds(const std::vector<qint64>& ids);
  // Removes rows (the files stay). Answers how many went.
  int remove(const std::vector<qint64>& ids);
  // A row names the file or carries its content hash.
  bool knowsFile(const QString& path, const QString& hash);

  // The rows kept while the lab store was away, oldest first, and marking them sent.
  std::vector<TestRecord> unsent(int limit);
  void markSent(const std::vector<QString>& uids);

private:
  void migrate();
  bool begin();
  bool commit();
  void rollback();
  QSqlDatabase db() const;
  [[noreturn]] void fail(const QString& what, const QString& detail) const;

  StoreTarget m_target;
  QString m_name;
  bool m_open = false;
};

// The columns of `tests` in the order rows are written.
const QStringList& testColumns();

} // namespace ondrel
