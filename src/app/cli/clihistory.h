#pragma once

#include "cli/cliargs.h"
#include "cli/clioutput.h"

namespace ondrel::cli {

// `history`: the catalogue's tests that pass the filters, newest first, as JSON lines or one
// text line each. Reads the lab store when one is configured (the local file when it does not
// answer, said on stderr). Answers the exit code: 0, or 1 when no catalogue could be read.
int listHistory(const Options& options, const QString& folder, Printer& out);

} // namespace ondrel::cli
