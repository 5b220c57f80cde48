// One run of a product at a time, across processes: a second setup or uninstaller of the same
// product would race the first over its files, its log and its registration.
// win32: a named mutex "Global\zqsetup-run-<name>", so runs in other sessions (a deployment
// service, a second user) count too. Host: flock on "<prefix>/run-<name>.lock", beside the
// registry database, so runs against one prefix count.
#pragma once

#include <string>

namespace zq::platform {

enum class RunLock {
  Held,         // this process holds it now, until it ends
  Busy,         // another process holds it
  Unavailable,  // the system would not make it; nothing is known
};

// Takes the product's lock and keeps it until the process ends (the system lets it go then,
// however the process ends). Asking again in the same process answers Held.
RunLock HoldRunLock(const std::string& product);

// The lock's name for a product, compared without regard to case: its letters, digits, '.',
// '-' and '_' (others become '_', at most 48), then '-' and a hash of the whole name, so names
// that differ only in what was replaced or cut stay apart. Never a '\' or '/'.
std::string RunLockName(const std::string& product);

}  // namespace zq::platform
