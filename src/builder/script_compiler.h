// Compiles a setup script: checks every line, resolves labels, numbers the package groups,
// fills the setup information record, and plans the entries of the package.
#pragma once

#include <string>
#include <vector>

#include "builder/build_plan.h"
#include "builder/diagnostics.h"
#include "container/program_resources.h"
#include "container/setup_info.h"
#include "script/comp_lines.h"

namespace zq::builder {

struct CompileOptions {
  // Folders of the stock language tables, in search order (see StockLanguageDirs).
  std::vector<std::string> stock_language_dirs;
  // Where page folders are looked for after the script's own folder; a script without
  // "pages" gets the "install" set found here.
  std::vector<std::string> stock_page_dirs;
  // The uninstaller's finaliser program and icon, when given outside the script.
  std::string finaliser;
  // The finaliser packed when neither the options nor the uninstall pages folder give one
  // (the engine's own, beside the engine program); for an x64 script the second, when set, as
  // such a script gets the 64-bit engine.
  std::string default_finaliser;
  std::string default_finaliser_x64;
  std::string uninstall_icon;
  // Where each line of the script was written, when the preprocessor joined several files.
  std::vector<LineOrigin> origins;
};

// The default name of the uninstaller copy when the script has no `prefix`.
inline constexpr const char* kDefaultUninstallExeName = "Uninstall.exe";
// The longest payload entry name.
inline constexpr std::size_t kMaxEntryName = 127;

struct CompileResult {
  TCompLines lines;
  TSetupInfoFile info;
  // "SetupInfo" and "CompiledLines" first, then the other group-0 entries, then the payload
  // groups in order.
  std::vector<PlannedEntry> entries;
  Diagnostics diagnostics;
  std::uint16_t group_count = 0;
  // Written into the engine program's resources, not into the package.
  ProgramFacts program;
};

// `script` is the path of the script as the user gave it: diagnostics name it, and relative
// paths of the script are taken from its folder.
CompileResult CompileScript(const std::string& script, const CompileOptions& options);
// The same for a script already in memory.
CompileResult CompileSource(const std::string& text, const std::string& script, const CompileOptions& options);

// Sets `SetupExeName` and brings the "SetupInfo" entry up to date.
void SetSetupExeName(CompileResult& result, const std::string& name);

}  // namespace zq::builder
