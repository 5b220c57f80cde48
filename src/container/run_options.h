// How a setup's runs treat the machine, beyond its script: files in use ("lockedfiles"), the
// Windows it is made for ("architecture"), whose installation it is ("scope"), its own version
// and whether it may go below a newer one. Stored as the package entry RunOptions.txt, one
// "keyword [value]" line each; the uninstaller carries a copy, so it removes what its setup
// made from where the setup made it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zq {

// x86: the 32-bit view of a 64-bit machine (Program Files (x86), WOW6432Node), as every setup
// before the option. x64: the machine's own view, with the system's redirections off.
enum class Architecture : std::uint8_t { X86, X64 };
// Default: as every setup before the option (per-user shortcuts, Add/Remove entry in HKLM).
// Machine: all users' folders, HKLM. User: the user's folders, HKCU, no elevation.
enum class InstallScope : std::uint8_t { Default, Machine, User };

struct RunOptions {
  // "lockedfiles reboot": a file another program holds is put in place at the next restart.
  bool LockedFilesReboot = false;
  Architecture Arch = Architecture::X86;
  InstallScope Scope = InstallScope::Default;
  // "version 2.1": the setup's own version, as in its version resource; empty: none.
  std::string Version;
  // "allowdowngrade": the setup may install over a newer version of its product.
  bool AllowDowngrade = false;
  // "needs WORD", one line each: what the script uses that not every engine knows
  // ("decisions": variables and conditions). An engine refuses a setup that needs what it
  // does not know, before anything is written.
  std::vector<std::string> Needs;

  bool operator==(const RunOptions&) const = default;
  bool IsDefault() const { return *this == RunOptions{}; }
};

// What this engine knows of the words a setup may need.
inline constexpr const char* kKnownNeeds[] = {"decisions"};
// The first of `options.Needs` this engine does not know; empty when it knows them all.
std::string UnknownNeed(const RunOptions& options);

// Keywords are compared without regard to case; a line the reader does not know is skipped, so
// an older engine reads a newer entry's options that it knows.
RunOptions ParseRunOptions(const std::vector<std::uint8_t>& entry);
// One line per option that differs from the default, each ending in CR LF.
std::string FormatRunOptions(const RunOptions& options);

// "x86" or "x64" / "machine" or "user", without regard to case; nullopt for any other word.
std::optional<Architecture> ParseArchitecture(const std::string& word);
std::optional<InstallScope> ParseInstallScope(const std::string& word);
const char* ArchitectureName(Architecture arch);
const char* InstallScopeName(InstallScope scope);  // "" for Default

}  // namespace zq
