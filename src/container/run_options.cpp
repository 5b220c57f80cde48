#include "container/run_options.h"

#include <algorithm>

namespace zq {

namespace {

constexpr std::string_view kLockedFilesReboot = "lockedfiles reboot";
constexpr std::string_view kVersion = "version";
constexpr std::string_view kAllowDowngrade = "allowdowngrade";

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string RunOptions::Serialize() const {
  std::string out;
  if (LockedFilesReboot) out += std::string(kLockedFilesReboot) + "\r\n";
  if (!Version.empty()) out += std::string(kVersion) + " " + Version + "\r\n";
  if (AllowDowngrade) out += std::string(kAllowDowngrade) + "\r\n";
  return out;
}

RunOptions RunOptions::Parse(std::string_view text) {
  RunOptions options;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line == kLockedFilesReboot) {
      options.LockedFilesReboot = true;
    } else if (line == kAllowDowngrade) {
      options.AllowDowngrade = true;
    } else if (line.substr(0, kVersion.size() + 1) == std::string(kVersion) + " ") {
      options.Version = std::string(Trim(line.substr(kVersion.size() + 1)));
    }
  }
  return options;
}

}  // namespace zq
