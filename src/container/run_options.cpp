#include "container/run_options.h"

#include <sstream>

#include "platform/text.h"

namespace zq {

namespace {

std::string Lower(const std::string& s) { return platform::AnsiLowerCase(s); }

}  // namespace

std::optional<Architecture> ParseArchitecture(const std::string& word) {
  const std::string w = Lower(word);
  if (w == "x86") return Architecture::X86;
  if (w == "x64") return Architecture::X64;
  return std::nullopt;
}

std::optional<InstallScope> ParseInstallScope(const std::string& word) {
  const std::string w = Lower(word);
  if (w == "machine") return InstallScope::Machine;
  if (w == "user") return InstallScope::User;
  return std::nullopt;
}

const char* ArchitectureName(Architecture arch) { return arch == Architecture::X64 ? "x64" : "x86"; }

const char* InstallScopeName(InstallScope scope) {
  switch (scope) {
    case InstallScope::Machine: return "machine";
    case InstallScope::User: return "user";
    case InstallScope::Default: break;
  }
  return "";
}

RunOptions ParseRunOptions(const std::vector<std::uint8_t>& entry) {
  RunOptions options;
  std::istringstream in(std::string(entry.begin(), entry.end()));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t blank = line.find(' ');
    if (blank == std::string::npos) continue;
    const std::string word = Lower(line.substr(0, blank));
    const std::string value = line.substr(blank + 1);
    if (word == "lockedfiles") {
      options.LockedFilesReboot = Lower(value) == "reboot";
    } else if (word == "architecture") {
      options.Arch = ParseArchitecture(value).value_or(options.Arch);
    } else if (word == "scope") {
      options.Scope = ParseInstallScope(value).value_or(options.Scope);
    }
  }
  return options;
}

std::string FormatRunOptions(const RunOptions& options) {
  std::string out;
  if (options.LockedFilesReboot) out += "lockedfiles reboot\r\n";
  if (options.Arch != Architecture::X86) out += std::string("architecture ") + ArchitectureName(options.Arch) + "\r\n";
  if (options.Scope != InstallScope::Default) out += std::string("scope ") + InstallScopeName(options.Scope) + "\r\n";
  return out;
}

}  // namespace zq
