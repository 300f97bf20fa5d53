#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <string>

namespace ondrel {

// A failure caught inside an operation: it carries the description that the error log writes
// after the operation's tag. Core code throws it; the operation's handler logs and goes on.
class Failure : public std::exception {
public:
  explicit Failure(QString description);
  const QString& description() const noexcept { return m_description; }
  const char* what() const noexcept override { return m_utf8.c_str(); }

private:
  QString m_description;
  std::string m_utf8;
};

// The description of the exception being handled (call only inside a catch block).
QString describeCurrentException();

// Runs `operation`; a failure inside it is written to the main log under `tag` and swallowed,
// so the caller goes on as if the operation had ended quietly. Returns true when it completed.
bool logFailures(const QString& tag, const std::function<void()>& operation);

} // namespace ondrel
