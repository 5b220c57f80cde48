// Making the uninstaller at the end of a run, and what the uninstaller does: remove what the
// log lists in three phases, unregister itself, and hand over to the finaliser.
#pragma once

#include <cstdint>
#include <string>

namespace zq {

class SetupContext;

inline constexpr const char* kUninstallKeyBase = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Writes InstallDir\UninstallExeName: this program without its package, then a package of the
// "UNINSTALL_" entries under their plain names and a "SetupInfo" record with Mode 1; gives it
// the "UNINSTALL_ICON.ICO" icon and registers it. The running setup keeps its own Mode.
// `program_path` is the running program (the stub is read from it).
void MakeUninstaller(SetupContext& ctx, const std::string& program_path);

// Language text 19 with <%ZQPNAME%>, <%FNUM%> and <%FTOTAL%> replaced.
std::u16string FormatProgressText(SetupContext& ctx, const std::u16string& name, std::int64_t k, std::int64_t n);

// Deletes the value a registry line of the uninstall log names (key opened without creating).
void DeleteRegValue(SetupContext& ctx, const std::string& line);

// The three phases (files, folders last to first, registry values), then the uninstall key
// and the log itself. Runs on the calling thread.
void Uninstall(SetupContext& ctx);

// Writes "FINALISE.EXE" to a fresh private folder under the temporary folder and starts it
// with the quoted path of the running uninstaller, without waiting. False when it could not
// be started.
bool StartFinaliser(SetupContext& ctx, const std::string& program_path);

}  // namespace zq
