#include <unistd.h>

#include <string>

#include "platform/self_delete.h"

namespace zq::platform {

void DeleteSelfAndFolder() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return;
  const std::string self(buf, static_cast<std::size_t>(n));
  unlink(self.c_str());
  const auto slash = self.rfind('/');
  if (slash != std::string::npos && slash > 0) rmdir(self.substr(0, slash).c_str());
}

}  // namespace zq::platform
