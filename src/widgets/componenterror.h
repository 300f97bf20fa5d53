#pragma once

#include "data/support/failure.h"

namespace ondrel {

// An error that a display component reports to its caller, with the classic error number that
// callers and logs use to tell the kinds apart: 9 for an index out of range, 380 for a value
// the property does not accept. The component's state is unchanged when it is thrown.
class ComponentError : public Failure {
public:
  ComponentError(int code, QString description) : Failure(std::move(description)), m_code(code) {}
  int code() const noexcept { return m_code; }

  static ComponentError subscriptOutOfRange() {
    return ComponentError(9, QStringLiteral("Subscript out of range"));
  }
  static ComponentError invalidValue() {
    return ComponentError(380, QStringLiteral("Invalid property value"));
  }

private:
  int m_code;
};

} // namespace ondrel
