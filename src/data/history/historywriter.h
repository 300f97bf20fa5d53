#pragma once

#include "history/catalogue.h"
#include "history/testrecord.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
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
  // Rows kept aside are tried again after retryFirstMs, the wait doubling after each failed try
  // up to retryMaxMs, and back to the first once a try works. A lab store being waited for is
  // not tried for new rows either: they go to the local file at once.
  int retryFirstMs = 1000;
  int retryMaxMs = 60000;
};
HistoryConfig readHistoryConfig(const QString& folder);

// The side file in the program folder: rows that no catalogue took, one JSON object a line.
inline constexpr char kHistorySideFile[] = "ondrel-history-pending.jsonl";

// A side file taken for sending by the process of that id and not removed (the process died while
// sending): "ondrel-history-pending.jsonl.sending-<pid>", or "...sending-<pid>.<n>" once another
// process took it over. Nothing for other names.
std::optional<qint64> sideFileSender(const QString& fileName);
// The process of that id runs (on systems where that cannot be asked: true).
bool processRuns(qint64 pid);

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
  // Into the lab store, else the local one marked unsent; answers the rows neither took.
  std::vector<TestRecord> store(std::vector<TestRecord> rows);
  bool openLocal();
  bool openLab();
  bool labDue() const;
  void backOff();
  void labFailed();
  void localFailed();
  void drainSideFile();
  QStringList takeSideFiles();
  void sendUnsent();
  bool keepAside(const std::vector<TestRecord>& rows);
  bool pendingWork() const;
  void tell(const QString& reason, bool* down);
  void cleared();

  using Clock = std::chrono::steady_clock;
  HistoryConfig m_config;
  std::unique_ptr<Catalogue> m_local, m_lab; // the writer thread's own connections
  bool m_told = false;
  bool m_labDown = false, m_localDown = false; // each outage is logged once
  bool m_sideRows = false, m_unsentRows = false;
  int m_backoffMs = 0;          // 0: nothing waits for a store
  bool m_failedNow = false;     // a store failed in this batch
  Clock::time_point m_nextTry;  // no store that failed is tried again before

  std::mutex m_mutex;
  std::condition_variable m_wake, m_done;
  std::deque<TestRecord> m_queue;
  qint64 m_queued = 0, m_handled = 0;
  bool m_stop = false, m_retry = false;
  std::thread m_thread;
};

} // namespace ondrel
