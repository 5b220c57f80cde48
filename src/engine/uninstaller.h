// Making the uninstaller at the end of a run, and what the uninstaller does: remove what the
// log lists in three phases, unregister itself, and hand over to the finaliser.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "container/setup_info.h"
#include "engine/run_changes.h"

namespace zq::platform {
class Registry;
}

namespace zq {

struct LoadedSetup;
struct RunScope;
struct UserChoices;

inline constexpr const char* kUninstallKeyBase = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The installed product's Add/Remove Programs entry.
struct UninstallEntry {
  std::string Name;
  std::string Version;    // empty: not known
  std::string Publisher;  // empty: not known
  std::string InstallLocation;
  std::string Uninstaller;  // the uninstaller's full path
  std::uint32_t EstimatedSizeKb = 0;
  // The uninstall log carries its keyed check ("ZqLogSigned"), so a log stripped of it is not
  // taken for an older engine's.
  bool LogSigned = false;
};

// What RegisterUninstallEntry writes for `entry`, for the run's journal (0: a value it deletes).
std::vector<RegWrite> UninstallEntryWrites(const UninstallEntry& entry);

// Every value RegisterUninstallEntry may write; the uninstall removes them all.
inline constexpr const char* kUninstallEntryValues[] = {
    "DisplayName",     "DisplayVersion",       "Publisher", "DisplayIcon", "InstallLocation", "EstimatedSize",
    "UninstallString", "QuietUninstallString", "NoModify",  "NoRepair",    "ZqLogSigned"};

// The uninstaller's record: the loaded one marked as an uninstaller, with the folder the user
// chose. The running setup's own record is left as it was loaded.
TSetupInfoFile UninstallerRecord(const TSetupInfoFile& setup, const UserChoices& choices);

// The entry of the setup that has just run: its short name, the version and publisher of the
// program's version resource (`program_path`, the running setup), its installation directory
// and uninstaller, and the size the uninstall would free.
UninstallEntry DescribeUninstallEntry(const RunScope& ctx, const std::string& program_path);

// HKEY_CURRENT_USER for a per-user setup ("scope user"), else HKEY_LOCAL_MACHINE.
std::uint32_t UninstallEntryRoot(const LoadedSetup& setup);

// Writes the entry under `root`\...\Uninstall\<key_name>: DisplayName (the name, then the
// version when known), DisplayVersion and Publisher when known (else an earlier one is
// removed), DisplayIcon (the uninstaller),
// InstallLocation, EstimatedSize (KiB, REG_DWORD), UninstallString (the quoted uninstaller),
// QuietUninstallString (the same with /S), NoModify and NoRepair (REG_DWORD 1), and ZqLogSigned
// (REG_DWORD 1) when the log was saved with its check (else an earlier one is removed).
void RegisterUninstallEntry(platform::Registry& reg, std::uint32_t root, const std::string& key_name,
                            const UninstallEntry& entry);

// The entry an earlier installation registered where RegisterUninstallEntry writes (the same
// root, and the registry view this program sees): its version, publisher, location and
// uninstaller as far as it gives them. nullopt when there is none (or no key name).
std::optional<UninstallEntry> ReadUninstallEntry(platform::Registry& reg, std::uint32_t root,
                                                 const std::string& key_name);

// Writes InstallDir\UninstallExeName: this program without its package (and, when it was signed,
// without the claim of a signature in its headers), then a package of the
// "UNINSTALL_" entries under their plain names and a "SetupInfo" record with Mode 1; gives it
// the "UNINSTALL_ICON.ICO" icon (all its images; else it keeps the setup's) and registers it. The running setup keeps
// its own Mode. `program_path` is the running program (the stub is read from it). False, with a log line, when the
// uninstaller could not be written and read back whole; nothing is registered then.
bool MakeUninstaller(const RunScope& ctx, const std::string& program_path);

// Language text ArchiveProgress (19) with <%ZQPNAME%>, <%FNUM%> and <%FTOTAL%> replaced.
std::u16string FormatProgressText(const RunScope& ctx, const std::u16string& name, std::int64_t k, std::int64_t n);

// Deletes the value a registry line of the uninstall log names (key opened without creating).
void DeleteRegValue(platform::Registry& reg, const std::string& line);

// The three phases (files, folders last to first, registry values), then the uninstall key
// and the log itself. Runs on the calling thread. A log whose check fails
// (ctx.Run.UninstallLogCheck) removes only what lies in the installation folder and ends the
// run unfinished; an older engine's log removes outside it only shortcuts.
void Uninstall(const RunScope& ctx);

// Writes "FINALISE.EXE" to a fresh private folder under the temporary folder and starts it
// with the quoted path of the running uninstaller, without waiting. False when it could not
// be started.
bool StartFinaliser(const RunScope& ctx, const std::string& program_path);

}  // namespace zq
