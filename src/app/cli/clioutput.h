#pragma once

#include "test/slotjson.h"
#include "test/slotmodel.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <map>

namespace ondrel::cli {

// What the runner prints, as JSON objects (one per line) and as the terminal's texts.

// One line per channel for a terminal: elapsed time, V, A, W, Ah, Wh, temperature, run state.
QString statusLine(const SlotModel& m, int c);
// The device as `info` prints it on a terminal.
QStringList infoLines(const SlotModel& m);

// Writes to standard output: JSON lines, or status lines rewritten in place with plain lines for
// events between them.
class Printer {
public:
  Printer(bool json, std::FILE* out = stdout, std::FILE* err = stderr)
      : m_json(json), m_out(out), m_err(err) {}
  bool json() const { return m_json; }

  // An event: the object on a JSON line, else `text` as a plain line.
  void event(const QJsonObject& object, const QString& text);
  // A sample: a JSON line, else the channel's status line rewritten.
  void sample(const SlotModel& m, int c);
  // The channel's status line redrawn from the model (terminal only: no JSON line).
  void status(const SlotModel& m, int c);
  // A message for the user on the error stream (and, in JSON, an "error" event).
  void error(const QString& port, const QString& message, int exitCode);
  // A plain line (terminal only).
  void line(const QString& text);
  // The status lines end; later output starts below them.
  void finish();

private:
  void clearStatus();
  void drawStatus();
  void writeJson(const QJsonObject& object);

  bool m_json;
  std::FILE* m_out;
  std::FILE* m_err;
  std::map<int, QString> m_status; // channel -> its status line
  int m_drawn = 0;                 // status lines on the screen now
};

} // namespace ondrel::cli
