#pragma once

#include "history/catalogue.h"
#include "history/testrecord.h"

#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace ondrel {

// Where the program keeps its catalogue, from "ondrel.ini": the local file, and the lab's
// PostgreSQL when `[ARCHIVE] URL` names one (its password read from the file `PASSFILE` names).
struct HistoryConfig {
  QString folder;                // the program folder: ondrel.db and the side file
  std::optional<StoreTarget> lab; // the lab store, when configured
  QString problem;               // why the configured lab store is not used (bad address, ...)
  int retryMs = 30000;           // how often rows kept aside are tried again
};
HistoryConfig readHistoryConfig(const QString& folder);

// The side file in the program folder: rows that no catalogue took, one JSON object a line.
inline constexpr char kHistorySideFile[] = "ondrel-history-pending.jsonl";

// The local catalogue file of a program folder.
StoreTarget localStore(const QString& folder);

// Adds rows to the catalogue on a thread of its own, so that a test's end never waits for a disk
// or a server. A store that cannot take a row does not lose it: a lab store that does not answer
// gets it later from the local file (kept there marked unsent), a local file that cannot be opened
// (corrupt, locked, a newer schema) gets it later from the side file. Each row has its key, so
// one sent twice is stored once.
class HistoryWriter : public QObject {
  Q_OBJECT
public:
  explicit HistoryWriter(HistoryConfig config, QObject* parent = nullptr);
  // Writes what is queued (a lab store that does not answer costs its connect time), then stops.
  ~HistoryWriter() override;

  // Queues the row; never waits for the store.
  void add(TestRecord row);
  // Waits until every row queued so far has been handled (written or kept aside). For tests and
  // the end of the command-line runner.
  void flush();
  // Tries the stores again now instead of at the next retry.
  void retryNow();

signals:
  // A store could not take rows: said once until it works again (from the writer's thread).
  void unavailable(const QString& reason);
  // Rows kept aside have reached their store.
  void recovered();

private:
  void run();
  void writeBatch(std::vector<TestRecord> rows);
  bool openLocal();
  bool openLab();
  void drainSideFile();
  void sendUnsent();
  void keepAside(const std::vector<TestRecord>& rows);
  bool pendingWork() const;
  void tell(const QString& reason);
  void cleared();

  HistoryConfig m_config;
  std::unique_ptr<Catalogue> m_local, m_lab; // the writer thread's own connections
  bool m_told = false;
  bool m_sideRows = false, m_unsentRows = false;

  std::mutex m_mutex;
  std::condition_variable m_wake, m_done;
  std::deque<TestRecord> m_queue;
  qint64 m_queued = 0, m_handled = 0;
  bool m_stop = false, m_retry = false;
  std::thread m_thread;
};

} // namespace ondrel
