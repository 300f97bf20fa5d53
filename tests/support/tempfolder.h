#pragma once

#include <QString>
#include <QTemporaryDir>

namespace ondrel::testing {

// A fresh program folder for one test: made the program's folder on construction (optionally
// with its "Data" and "Log" folders) and given back on destruction.
class TempProgramFolder {
public:
  enum Layout { Bare, WithDataAndLog };
  explicit TempProgramFolder(Layout layout = WithDataAndLog);
  ~TempProgramFolder();
  TempProgramFolder(const TempProgramFolder&) = delete;
  TempProgramFolder& operator=(const TempProgramFolder&) = delete;

  QString path() const { return m_dir.path(); }
  QString file(const QString& relative) const;

  // Writes bytes to a file in the folder, creating sub-folders; returns its path.
  QString write(const QString& relative, const QByteArray& bytes) const;
  QByteArray read(const QString& relative) const;
  // Today's main error log ("Log/ondrel-<date>.log"), empty when nothing was logged.
  QString mainLog() const;

private:
  QTemporaryDir m_dir;
  QString m_previous;
};

} // namespace ondrel::testing
