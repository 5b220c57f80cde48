#include "builder/scope_checks.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/text.h"

namespace zq::builder {

namespace {

// The folders of the machine rather than of the user.
constexpr std::array<std::string_view, 6> kMachineMacros = {"$PROGRAMFILES",     "$PROGRAMFILES32", "$PROGRAMFILES64",
                                                            "$COMMONSMPROGRAMS", "$COMMONDESKTOP",  "$COMMONAPPDATA"};

// The argument (1-based) each command writes to; the others only read or run.
struct WrittenPath {
  std::string_view keyword;
  std::size_t arg;
};
constexpr std::array<WrittenPath, 7> kWrittenPaths = {{{"copyfile", 2},
                                                       {"rename", 2},
                                                       {"delete", 1},
                                                       {"rmdir", 1},
                                                       {"createdirectory", 1},
                                                       {"createshortcut", 1},
                                                       {"uninstalllogsave", 1}}};

// The machine-wide macro a path starts with, or "".
std::string MachineFolder(const std::string& path) {
  const std::string upper = platform::UpperCase(path);
  std::string_view found;
  for (std::string_view macro : kMachineMacros) {
    if (upper.rfind(macro, 0) == 0 && macro.size() > found.size()) found = macro;
  }
  return std::string(found);
}

std::string Upper(const std::string& s) { return platform::UpperCase(s); }

}  // namespace

void CheckScope(const ScopeSource& source, const std::vector<ScopeLine>& lines, ProgramFacts& facts,
                TSetupInfoFile& info, Diagnostics& diags) {
  const InstallScope scope = facts.run.Scope;
  if (scope == InstallScope::Machine) {
    for (const ScopeLine& l : lines) {
      if (l.keyword == "writeregstr" && !l.args->empty() && Upper(l.args->front()) == "HKCU") {
        diags.Warning(source.script, l.line,
                      "scope machine: HKCU is the account that runs the setup (SYSTEM under a deployment tool), "
                      "not every user");
      }
    }
    return;
  }
  if (scope != InstallScope::User) return;

  if (facts.level_given && facts.level != ExecutionLevel::User) {
    diags.Error(source.script, source.level_line,
                std::string("scope user asks for no elevation; executionlevel ") + ExecutionLevelName(facts.level) +
                    " contradicts it (leave it out or say user)");
  }
  facts.level = ExecutionLevel::User;
  if (info.InstallDir.empty()) {
    info.InstallDir = "$LOCALAPPDATA\\Programs\\" + (info.ShortName.empty() ? info.SetupName : info.ShortName);
  } else if (const std::string macro = MachineFolder(info.InstallDir); !macro.empty()) {
    diags.Error(source.script, source.installdir_line,
                "scope user installs nothing in " + macro + "; install below $LOCALAPPDATA\\Programs");
  }
  for (const ScopeLine& l : lines) {
    const std::vector<std::string>& args = *l.args;
    if (l.keyword == "writeregstr" && !args.empty() && (Upper(args[0]) == "HKLM" || Upper(args[0]) == "HKCR")) {
      diags.Error(source.script, l.line,
                  "scope user writes nothing to " + Upper(args[0]) +
                      "; write below HKCU (HKCU\\Software\\Classes "
                      "for file types and protocols)");
    }
    if (l.keyword == "writeregstr_url") {
      diags.Error(source.script, l.line,
                  "scope user writes nothing to HKCR; register the protocol below HKCU\\Software\\Classes with "
                  "writeregstr");
    }
    const auto written = std::find_if(kWrittenPaths.begin(), kWrittenPaths.end(),
                                      [&](const WrittenPath& w) { return w.keyword == l.keyword; });
    if (written == kWrittenPaths.end() || args.size() < written->arg) continue;
    if (const std::string macro = MachineFolder(args[written->arg - 1]); !macro.empty()) {
      diags.Error(source.script, l.line, "scope user writes nothing to " + macro + " (" + l.keyword + ")");
    }
  }
}

}  // namespace zq::builder
