#include "data/support/failure.h"

#include "data/support/errorlog.h"

namespace ondrel {

Failure::Failure(QString description)
    : m_description(std::move(description)), m_utf8(m_description.toStdString()) {}

QString describeCurrentException() {
  try {
    throw;
  } catch (const Failure& f) {
    return f.description();
  } catch (const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
  } catch (...) {
    return QStringLiteral("unknown failure");
  }
}

bool logFailures(const QString& tag, const std::function<void()>& operation) {
  try {
    operation();
    return true;
  } catch (...) {
    ErrLog(tag, describeCurrentException());
    return false;
  }
}

} // namespace ondrel
