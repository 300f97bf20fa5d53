#pragma once

#include <QByteArray>
#include <QString>

namespace ondrel::sim {

// One pseudo-terminal in raw mode. The simulator keeps the master (non-blocking) and also holds
// the slave open itself, so that the program may open and close its side as often as it likes
// without the line hanging up. The slave is registered as ports/COM<n> in a program folder.
class Pty {
public:
  Pty() = default;
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  // Opens the pair and creates the link (replacing a stale one). False with a reason on error.
  bool open(const QString& linkPath, QString* error);
  // Removes the link (when it still points at this pty) and closes both ends.
  void close();
  bool isOpen() const { return m_master >= 0; }

  // Everything the program has written so far (non-blocking; empty when nothing).
  QByteArray readAvailable();
  // Writes what the line takes now; returns the number of bytes taken (a full buffer drops).
  int write(const char* data, int size);

  QString slavePath() const { return m_slavePath; }
  QString linkPath() const { return m_linkPath; }
  int masterFd() const { return m_master; }

private:
  int m_master = -1;
  int m_slave = -1;
  QString m_slavePath;
  QString m_linkPath;
};

} // namespace ondrel::sim
