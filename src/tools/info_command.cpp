#include "container/entry_names.h"
#include "container/program_resources.h"
#include "container/run_options.h"
#include "container/setup_info.h"
#include "base/registry_roots.h"
#include "tools/commands.h"
#include "tools/open_setup.h"
#include "tools/tool_support.h"

namespace zq::tool {

namespace {
constexpr const char* kUsage = "zq info SETUP [--json]";
constexpr const char* kHelp =
    "Show a setup's information record (\"SetupInfo\"): names, installation folder, its registry\n"
    "lookup, page folders, whether it is a setup or an uninstaller; what its program's resources\n"
    "say (version, publisher, the execution level it asks for, whether it has an icon), the\n"
    "engine it runs on (x86 or x64, from the program's headers); and the\n"
    "package's layout.\n\n"
    "  --json   the same as one JSON object\n";
}  // namespace

int RunInfo(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  int code = kExitOk;
  const CommandSpec spec{kUsage, kHelp, {"--json"}, {}, 1, 1};
  auto parsed = ParseCommand(spec, argv, out, err, code);
  if (!parsed) return code;
  const Args& args = *parsed;
  auto pak = OpenSetup(args.Positionals()[0], err);
  if (!pak) return kExitFailed;
  auto buffer = pak->ExtractByName(kSetupInfoEntry, 0);
  TSetupInfoFile info;
  if (!buffer) {
    err << "zq: the package has no readable \"SetupInfo\" entry in group 0\n";
    return kExitFailed;
  }
  if (!info.LoadFromBuffer(buffer->data(), buffer->size())) {
    err << "zq: the \"SetupInfo\" entry ends before its last field (damaged record)\n";
    return kExitFailed;
  }
  if (!pak->TextIsUtf8()) info.MapText([&](const std::string& text) { return pak->Utf8Text(text); });
  const ProgramDescription program = DescribeProgramFile(args.Positionals()[0]);
  const auto machine = ReadProgramMachine(args.Positionals()[0]);
  const auto options_entry = pak->ExtractByName(kRunOptionsEntry, 0);
  const RunOptions options = options_entry ? ParseRunOptions(*options_entry) : RunOptions{};
  const std::string mode = info.Mode == SetupMode::Setup         ? "setup"
                           : info.Mode == SetupMode::Uninstaller ? "uninstaller"
                                                                 : "unknown";
  const std::pair<const char*, std::string> fields[] = {
      {"setup_name", info.SetupName},
      {"short_name", info.ShortName},
      {"setup_exe_name", info.SetupExeName},
      {"uninstall_exe_name", info.UninstallExeName},
      {"log_prefix", info.LogPrefix},
      {"install_dir", info.InstallDir},
      {"changelog", info.Changelog},
      {"install_dir_reg_root", RootCodeToName(info.InstallDirRegKey.HKEY)},
      {"install_dir_reg_path", info.InstallDirRegKey.Path},
      {"install_dir_reg_value", info.InstallDirRegKey.Key},
      {"pages", info.Pages},
      {"uninstall_pages", info.UninstallPages},
      {"version", program.version},
      {"publisher", program.publisher},
      {"execution_level", program.level ? ExecutionLevelName(*program.level) : ""},
      {"architecture", ArchitectureName(options.Arch)},
      {"engine", machine ? PeMachineName(*machine) : ""},
      {"scope", options.Scope == InstallScope::Default ? "default" : InstallScopeName(options.Scope)},
  };
  if (args.Has("--json")) {
    out << "{";
    for (const auto& [name, value] : fields) out << "\n  \"" << name << "\": " << JsonString(OutputUtf8(value)) << ",";
    out << "\n  \"icon\": " << (program.has_icon ? "true" : "false") << ",";
    out << "\n  \"mode\": " << static_cast<int>(info.Mode) << ",\n  \"mode_name\": \"" << mode
        << "\",\n  \"has_uninstaller\": " << int{info.HasUninstaller} << ",\n  \"entries\": " << pak->Entries().size()
        << ",\n  \"data_start\": " << pak->Header().DataStart << ",\n  \"dir_offset\": " << pak->Header().DirOffset
        << "\n}\n";
    return kExitOk;
  }
  for (const auto& [name, value] : fields) out << name << ": " << OutputUtf8(value) << "\n";
  out << "icon: " << (program.has_icon ? "yes" : "no") << "\n";
  out << "mode: " << static_cast<int>(info.Mode) << " (" << mode << ")\n"
      << "has_uninstaller: " << int{info.HasUninstaller} << "\n"
      << "entries: " << pak->Entries().size() << " (" << pak->CountGroupedEntries() << " in payload groups)\n"
      << "data_start: " << pak->Header().DataStart << "\n"
      << "dir_offset: " << pak->Header().DirOffset << "\n";
  return kExitOk;
}

}  // namespace zq::tool
