#pragma once

#include <QObject>

#include <functional>

namespace ondrel {

// Lets the events that are already queued run twice over (redraws, queued signals, the reactions
// to a command just raised for channel 0), as a two-channel action does between its channels.
// Answers whether `guard` still exists afterwards: the events may have destroyed it.
bool letPendingEventsRunTwice(const QObject* guard);

// Waits for a sub-window that the caller treats as modal while it is shown modeless: processes
// events (timers and device reports keep running) until `closed` answers true.
void waitUntilClosed(const std::function<bool()>& closed);

// Shows `window` and waits as waitUntilClosed does until the window emits `closed`.
template <typename Window, typename Signal> void showAndWaitUntil(Window* window, Signal closed) {
  bool done = false;
  QObject::connect(window, closed, window, [&done] { done = true; });
  window->show();
  waitUntilClosed([&done] { return done; });
}

} // namespace ondrel
