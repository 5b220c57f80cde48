#include "base/private_temp.h"

#include <atomic>

#include "platform/files.h"
#include "platform/system.h"

namespace zq {

namespace {
std::atomic<unsigned> g_serial{0};
}

PrivateTempFolder::PrivateTempFolder(bool keep) : keep_(keep) {
  const std::string base = platform::TempDir();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::string candidate =
        base + "zqsetup-" + std::to_string(platform::TickCountMs()) + "-" + std::to_string(g_serial++);
    if (platform::CreateDir(candidate)) {
      path_ = candidate;
      return;
    }
  }
}

PrivateTempFolder::~PrivateTempFolder() {
  if (path_.empty() || keep_) return;
  // Only what this program put there: plain files, no tree walk through links.
  if (auto entries = platform::ListDir(path_)) {
    for (const auto& e : *entries) {
      if (!e.is_directory && !e.is_link) platform::DeleteFileAt(path_ + "\\" + e.name);
    }
  }
  platform::RemoveDir(path_);
}

}  // namespace zq
