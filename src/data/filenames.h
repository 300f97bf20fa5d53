#pragma once

#include <QString>

namespace ondrel {

// A name that comes from a device or a file (the grid's model name, a recording's header) made
// fit to stand inside a file name: / \ : * ? " < > | and control characters become '_', and
// the answer is never empty, "." or "..", so it cannot climb out of the folder or name none.
QString fileNameSafe(const QString& name);

} // namespace ondrel
