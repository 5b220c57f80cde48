#include "platform/run_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <mutex>
#include <set>

#include "platform/host_paths.h"

namespace zq::platform {

RunLock HoldRunLock(const std::string& product) {
  static std::mutex mutex;
  static std::set<std::string> held;
  const std::string file = host::ReadyPrefix() + "/run-" + RunLockName(product) + ".lock";
  std::lock_guard lock(mutex);
  if (held.count(file) != 0) return RunLock::Held;
  // Close-on-exec: a program the run starts must not keep the lock after the run has ended.
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return RunLock::Unavailable;
  int rc;
  do rc = flock(fd, LOCK_EX | LOCK_NB);
  while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy ? RunLock::Busy : RunLock::Unavailable;
  }
  held.insert(file);  // the descriptor stays open for the rest of the process
  return RunLock::Held;
}

}  // namespace zq::platform
