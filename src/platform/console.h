// The terminal the tools write to.
#pragma once

namespace zq::platform {

// True when standard error is an interactive terminal (progress bars go there only then).
bool StderrIsTerminal();
// Columns of the terminal on standard error; 80 when unknown.
int TerminalColumns();

}  // namespace zq::platform
