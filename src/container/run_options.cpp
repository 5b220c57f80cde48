#include "container/run_options.h"

#include "base/path_text.h"

namespace zq {

namespace {

// Keywords and values are ASCII words.
std::string Lower(const std::string& s) { return AsciiLowerCase(s); }

std::string Trimmed(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

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
  std::string text(entry.begin(), entry.end());
  for (char& c : text) c = c == '\r' ? '\n' : c;  // CR, LF or CR LF end a line
  // Split by hand: a string stream would link the locale machinery into the engine (~700 KB).
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trimmed(text.substr(start, end - start));
    start = end + 1;
    const std::size_t blank = line.find(' ');
    const std::string word = Lower(line.substr(0, blank));
    const std::string value = blank == std::string::npos ? std::string() : Trimmed(line.substr(blank + 1));
    if (word == "lockedfiles") {
      options.LockedFilesReboot = Lower(value) == "reboot";
    } else if (word == "architecture") {
      options.Arch = ParseArchitecture(value).value_or(options.Arch);
    } else if (word == "scope") {
      options.Scope = ParseInstallScope(value).value_or(options.Scope);
    } else if (word == "version") {
      options.Version = value;
    } else if (word == "allowdowngrade" && value.empty()) {
      options.AllowDowngrade = true;
    } else if (word == "needs" && !value.empty()) {
      options.Needs.push_back(Lower(value));
    }
  }
  return options;
}

std::string UnknownNeed(const RunOptions& options) {
  for (const std::string& need : options.Needs) {
    bool known = false;
    for (const char* word : kKnownNeeds) known = known || need == word;
    if (!known) return need;
  }
  return {};
}

std::string FormatRunOptions(const RunOptions& options) {
  std::string out;
  if (options.LockedFilesReboot) out += "lockedfiles reboot\r\n";
  if (options.Arch != Architecture::X86) out += std::string("architecture ") + ArchitectureName(options.Arch) + "\r\n";
  if (options.Scope != InstallScope::Default) out += std::string("scope ") + InstallScopeName(options.Scope) + "\r\n";
  if (!options.Version.empty()) out += "version " + options.Version + "\r\n";
  if (options.AllowDowngrade) out += "allowdowngrade\r\n";
  for (const std::string& need : options.Needs) out += "needs " + need + "\r\n";
  return out;
}

}  // namespace zq
