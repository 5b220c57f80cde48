#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/console.h"

namespace zq::platform {

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

int TerminalColumns() {
  winsize ws{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 80;
}

}  // namespace zq::platform
