#pragma once

#include "history/catalogue.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace ondrel {

// The catalogue of a window, opened and read on a thread of its own: a lab server that does not
// answer costs the connect time there, never on the thread that paints. Work runs in the order it
// was given; its result is handed to a QObject on that object's thread.
class HistoryReader {
public:
  // What opening came to.
  struct Opened {
    bool open = false;     // a catalogue is open
    bool fallback = false; // the store asked for did not open; the local file is open instead
    QString problem;       // why the store asked for (and, when nothing is open, the local file) failed
  };

  // Opens `target` at once on the reader's thread; when that fails and `fallback` is given, that.
  HistoryReader(StoreTarget target, std::optional<StoreTarget> fallback);
  // Drops work not started and hands over no more results; never waits for a connect in progress
  // (the thread ends by itself; the program's end waits for it).
  ~HistoryReader();
  HistoryReader(const HistoryReader&) = delete;
  HistoryReader& operator=(const HistoryReader&) = delete;

  // Work for the reader's thread: given the open catalogue (none when nothing opened), it answers
  // what to do on the receiving object's thread afterwards.
  using Job = std::function<std::function<void()>(Catalogue* catalogue)>;
  void post(QObject* receiver, Job job);

  // `done(result)` on the receiver's thread, or `failed(reason)` when the work threw; `failed`
  // with an empty reason when no catalogue is open (the opening said why).
  template <class Work, class Done, class Failed>
  void run(QObject* receiver, Work work, Done done, Failed failed);

  // `done` with what opening came to, once it is known.
  void whenOpen(QObject* receiver, std::function<void(const Opened&)> done);

  struct State;

private:
  std::shared_ptr<State> m_state;
  std::thread m_thread;
  static QString describeFailure();
};

template <class Work, class Done, class Failed>
void HistoryReader::run(QObject* receiver, Work work, Done done, Failed failed) {
  post(receiver, [work = std::move(work), done = std::move(done),
                  failed = std::move(failed)](Catalogue* c) -> std::function<void()> {
    if (!c)
      return [failed] { failed(QString()); };
    try {
      auto result = work(*c);
      return [done, result = std::move(result)] { done(result); };
    } catch (...) {
      return [failed, why = describeFailure()] { failed(why); };
    }
  });
}

} // namespace ondrel
