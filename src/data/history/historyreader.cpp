#include "history/historyreader.h"

#include "data/support/failure.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace ondrel {

struct HistoryReader::State {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::pair<QObject*, Job>> jobs;
  bool stop = false;
  Opened opened; // the reader's thread only
};

namespace {

// Threads of readers whose window has gone, still finishing a connect; joined at the program's
// end, before Qt SQL's own state goes.
std::mutex retiredMutex;
std::vector<std::thread> retired;

void joinRetired() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(retiredMutex);
    threads.swap(retired);
  }
  for (std::thread& t : threads)
    t.join();
}

void retire(std::thread thread) {
  static std::once_flag registered;
  if (!QCoreApplication::instance()) {
    thread.join();
    return;
  }
  std::call_once(registered, [] { qAddPostRoutine(joinRetired); });
  std::lock_guard lock(retiredMutex);
  retired.push_back(std::move(thread));
}

void serve(const std::shared_ptr<HistoryReader::State>& s, const StoreTarget& target,
           const std::optional<StoreTarget>& fallback) {
  std::unique_ptr<Catalogue> catalogue;
  HistoryReader::Opened opened;
  try {
    catalogue = std::make_unique<Catalogue>(target);
    catalogue->open();
    opened.open = true;
  } catch (...) {
    catalogue.reset();
    opened.problem = describeCurrentException();
    if (fallback) {
      try {
        catalogue = std::make_unique<Catalogue>(*fallback);
        catalogue->open();
        opened.open = opened.fallback = true;
      } catch (...) {
        catalogue.reset();
        opened.problem += QStringLiteral("; ") + describeCurrentException();
      }
    }
  }
  s->opened = opened;
  for (;;) {
    std::pair<QObject*, HistoryReader::Job> job;
    {
      std::unique_lock lock(s->mutex);
      s->wake.wait(lock, [&] { return s->stop || !s->jobs.empty(); });
      if (s->stop)
        break;
      job = std::move(s->jobs.front());
      s->jobs.pop_front();
    }
    std::function<void()> then = job.second(catalogue.get());
    std::lock_guard lock(s->mutex);
    // The receiver lives while the reader does: its owner ends the reader first.
    if (!s->stop && then)
      QMetaObject::invokeMethod(job.first, std::move(then), Qt::QueuedConnection);
  }
  // Closed on the thread that opened it, as Qt SQL wants.
  catalogue.reset();
}

} // namespace

HistoryReader::HistoryReader(StoreTarget target, std::optional<StoreTarget> fallback)
    : m_state(std::make_shared<State>()) {
  std::thread thread([s = m_state, target = std::move(target), fallback = std::move(fallback)] {
    serve(s, target, fallback);
  });
  // Owned by the program from here: see retire().
  m_thread = std::move(thread);
}

HistoryReader::~HistoryReader() {
  {
    std::lock_guard lock(m_state->mutex);
    m_state->stop = true;
    m_state->jobs.clear();
  }
  m_state->wake.notify_all();
  retire(std::move(m_thread));
}

void HistoryReader::post(QObject* receiver, Job job) {
  {
    std::lock_guard lock(m_state->mutex);
    m_state->jobs.emplace_back(receiver, std::move(job));
  }
  m_state->wake.notify_one();
}

void HistoryReader::whenOpen(QObject* receiver, std::function<void(const Opened&)> done) {
  // The state outlives the job: the reader's thread holds it while it runs jobs.
  post(receiver, [s = m_state.get(), done = std::move(done)](Catalogue*) -> std::function<void()> {
    return [done, opened = s->opened] { done(opened); };
  });
}

QString HistoryReader::describeFailure() {
  return describeCurrentException();
}

} // namespace ondrel
