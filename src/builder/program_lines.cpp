#include "builder/program_lines.h"

#include "builder/source_files.h"
#include "container/pak_string.h"

namespace zq::builder {

void ProgramLines::Read(const ProgramCommandInfo& command, const std::vector<std::string>& args, std::uint32_t line,
                        ProgramFacts& facts, Diagnostics& diags) {
  const std::string keyword = command.keyword;
  if (args.size() != static_cast<std::size_t>(command.args)) {
    diags.Error(script_, line,
                "\"" + keyword + "\" takes " + std::to_string(command.args) +
                    (command.args == 1 ? " argument, " : " arguments, ") + std::to_string(args.size()) + " given");
    return;
  }
  if (auto it = seen_.find(command.fact); it != seen_.end()) {
    diags.Warning(script_, line, keyword + " overrides the " + keyword + " on " + diags.LineName(it->second));
  }
  seen_[command.fact] = line;
  const std::string a = args.empty() ? std::string() : args[0];
  switch (command.fact) {
    case ProgramFact::ExecutionLevel:
      if (auto level = ParseExecutionLevel(a)) {
        facts.level = *level;
        facts.level_given = true;
      } else {
        diags.Error(script_, line, "executionlevel must be admin, highest or user, not \"" + a + "\"");
      }
      break;
    case ProgramFact::LockedFiles:
      if (a == "fail" || a == "reboot") {
        facts.run.LockedFilesReboot = a == "reboot";
      } else {
        diags.Error(script_, line, "lockedfiles must be fail or reboot, not \"" + a + "\"");
      }
      break;
    case ProgramFact::Architecture:
      if (auto arch = ParseArchitecture(a)) {
        facts.run.Arch = *arch;
      } else {
        diags.Error(script_, line, "architecture must be x86 or x64, not \"" + a + "\"");
      }
      break;
    case ProgramFact::Scope:
      if (auto scope = ParseInstallScope(a)) {
        facts.run.Scope = *scope;
      } else {
        diags.Error(script_, line, "scope must be machine or user, not \"" + a + "\"");
      }
      break;
    case ProgramFact::Compression:
      if (a == "zlib" || a == "solid") {
        facts.solid_compression = a == "solid";
      } else {
        diags.Error(script_, line, "compression must be zlib or solid, not \"" + a + "\"");
      }
      break;
    case ProgramFact::Version: facts.version = a; break;
    case ProgramFact::AllowDowngrade: facts.run.AllowDowngrade = true; break;
    case ProgramFact::Publisher: facts.publisher = a; break;
    case ProgramFact::Icon: {
      auto path = FindFileNoCase(dir_, a);
      auto bytes = path ? ReadWholeFile(*path) : std::nullopt;
      if (!path) {
        diags.Error(script_, line, "icon file \"" + a + "\" not found beside the script");
      } else if (!bytes) {
        diags.Error(script_, line, "cannot read " + *path);
      } else if (std::string problem = IconFileProblem(*bytes); !problem.empty()) {
        diags.Error(script_, line, *path + ": " + problem);
      } else {
        facts.icon = std::move(*bytes);
      }
      break;
    }
  }
}

}  // namespace zq::builder
