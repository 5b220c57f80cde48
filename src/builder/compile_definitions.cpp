#include <map>
#include <string>
#include <vector>

#include "base/registry_roots.h"
#include "builder/compile_state.h"
#include "builder/scope_checks.h"

namespace zq::builder::compile {

void Definitions(State& s) {
  TSetupInfoFile& info = s.result.info;
  info.UninstallExeName = kDefaultUninstallExeName;
  std::map<BuildStep, std::uint32_t> seen;
  for (const Pending& p : s.lines) {
    if (p.is_label || !p.command.IsDefinition() || static_cast<int>(p.args.size()) < p.command.MinSourceArgs()) {
      continue;
    }
    const std::string keyword = p.command.keyword;
    const std::string& a = p.args[0];
    if (auto it = seen.find(p.command.build); it != seen.end()) {
      s.diags().Warning(s.script, p.source_line,
                        keyword + " overrides the " + keyword + " on " + s.diags().LineName(it->second));
    }
    seen[p.command.build] = p.source_line;
    switch (p.command.build) {
      case BuildStep::DefineName:
        if (auto it = seen.find(BuildStep::DefineShortName); it != seen.end()) {
          const std::string shortname = DefinitionCommand(BuildStep::DefineShortName).keyword;
          s.diags().Warning(s.script, p.source_line,
                            keyword + " also sets the short name, replacing the " + shortname + " on " +
                                s.diags().LineName(it->second) + " (put " + shortname + " after " + keyword + ")");
          seen.erase(it);
        }
        info.SetupName = a;
        info.ShortName = a;
        break;
      case BuildStep::DefineShortName: info.ShortName = a; break;
      case BuildStep::DefineOutFile: info.SetupExeName = a; break;
      case BuildStep::DefineInstallDir: info.InstallDir = a; break;
      case BuildStep::DefineInstallDirRegKey: {
        info.InstallDirRegKey.HKEY = RootNameToCode(a);
        info.InstallDirRegKey.Path = p.args[1];
        info.InstallDirRegKey.Key = p.args[2];
        break;
      }
      case BuildStep::DefineChangelog:
        info.Changelog = a;
        s.changelog_line = p.source_line;
        break;
      case BuildStep::DefinePages:
        info.Pages = a;
        s.pages_line = p.source_line;
        break;
      case BuildStep::DefineUninstallPages:
        info.UninstallPages = a;
        info.HasUninstaller = 1;
        s.uninstall_pages_line = p.source_line;
        break;
      case BuildStep::DefinePrefix:
        info.LogPrefix = a + "_";
        info.UninstallExeName = a + "_Uninstall.exe";
        break;
      case BuildStep::Store:
      case BuildStep::PackLanguage:
      case BuildStep::PackUninstallLanguage:
      case BuildStep::PackLicense:
      case BuildStep::Declare:
      case BuildStep::Component: break;
    }
  }
}

void CheckScope(State& s) {
  ScopeSource source{s.script, s.program_lines.LineOf(ProgramFact::Scope),
                     s.program_lines.LineOf(ProgramFact::ExecutionLevel), 0};
  std::vector<ScopeLine> lines;
  for (const Pending& p : s.lines) {
    if (p.is_label) continue;
    if (p.command.build == BuildStep::DefineInstallDir) source.installdir_line = p.source_line;
    lines.push_back({Lower(p.command.keyword), &p.args, p.source_line});
  }
  builder::CheckScope(source, lines, s.result.program, s.result.info, s.diags());
}

// The engine has no folder of its own to propose: without one the setup refuses at start-up
// ("Registry Key Not Found") unless the command line names it. A scope user default counts.
void CheckInstallDir(State& s) {
  if (!s.result.info.InstallDir.empty()) return;
  const bool from_registry = !s.result.info.InstallDirRegKey.Key.empty();
  s.diags().Warning(s.script, 0,
                    std::string("the script has no installdir: the setup installs only with /D=folder") +
                        (from_registry ? " or over an installation its installdirregkey value names" : ""));
}

}  // namespace zq::builder::compile
