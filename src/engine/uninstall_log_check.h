// The uninstall log's keyed check as the engine uses it: a run signs the log it saves with the
// secret of its scope, and the uninstaller believes what the log names outside the installation
// folder only when that check holds (docs/engine.md, "Uninstalling").
#pragma once

#include <optional>
#include <string>

#include "uninstall/uninstall_list.h"

namespace zq {

struct LoadedSetup;
struct RunScope;

// The secret of the setup's scope: the user's for "scope user", else the machine's. Nothing,
// with `problem`, when its folder or the key cannot be had.
std::optional<LogKey> UninstallLogKey(const LoadedSetup& setup, std::string* problem);

// Saves the run's log in `directory`, with its check when `sign` and the key can be had (else
// without, and the run log says why); ctx.Run.UninstallLogCheck says which it was. False when
// the log could not be written whole.
bool SaveUninstallLog(const RunScope& ctx, const std::string& directory, const std::string& prefix, bool sign = true);

// The uninstaller's reading of the installation's log into ctx.Run.UninstallList, and how far
// it is believed (ctx.Run.UninstallLogCheck): Verified; Absent for a log of an older engine
// (no check, and the Add/Remove entry does not say the log was signed); Failed for a check
// that does not hold or cannot be tested, or a log without one whose entry says it was signed.
// False (with `problem`) when the log is missing or damaged.
bool LoadUninstallLog(const RunScope& ctx, std::string* problem);

}  // namespace zq
