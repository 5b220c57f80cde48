#include "builder/script_compiler.h"

#include <string>
#include <utility>

#include "builder/compile_state.h"
#include "container/entry_names.h"
#include "container/pak_string.h"
#include "container/run_options.h"

namespace zq::builder {

namespace {

// The compiled lines in the order read, then the package's entries: the records first, then
// the setup's own files, then the payload groups.
void Assemble(compile::State& s) {
  auto& out = s.result.lines.Lines;
  out.reserve(s.lines.size());
  for (std::size_t i = 0; i < s.lines.size(); ++i) {
    const compile::Pending& p = s.lines[i];
    TCompLine line;
    if (p.is_label) {
      line.CommandIndex = 0;
      line.LineNumber = static_cast<std::uint32_t>(i);
      line.Args = {p.label};
    } else if (p.command.IsDefinition()) {
      line.CommandIndex = kDefinitionOnlyIndex;
      line.LineNumber = kDefinitionOnlyLineNumber;
    } else {
      line.CommandIndex = p.command.index;
      line.LineNumber = static_cast<std::uint32_t>(i);
      line.Args = p.args;
    }
    line.ArgCount = static_cast<std::int32_t>(line.Args.size());
    out.push_back(std::move(line));
  }
  auto& entries = s.result.entries;
  auto info = s.result.info.Serialize();
  entries.push_back({kSetupInfoEntry, 0, {}, {info.begin(), info.end()}});
  auto compiled = s.result.lines.Serialize();
  entries.push_back({kCompiledLinesEntry, 0, {}, {compiled.begin(), compiled.end()}});
  RunOptions run_options = s.result.program.run;
  run_options.Version = s.result.program.version;
  if (!run_options.IsDefault()) {
    const std::string options = FormatRunOptions(run_options);
    entries.push_back({kRunOptionsEntry, 0, {}, {options.begin(), options.end()}});
  }
  for (auto& e : s.setup_files) entries.push_back(std::move(e));
  for (auto& g : s.groups) {
    for (auto& e : g) entries.push_back(std::move(e));
  }
  if (entries.size() > compile::kMaxCount) {
    s.diags().Error(s.script, 0,
                    "the package would hold " + std::to_string(entries.size()) + " entries; at most 65535 fit");
  }
}

}  // namespace

// Each pass reads what the ones before it wrote or must see the lines before they change: the
// definitions before the checks that read the record, the variables before the arguments that
// use them, the arguments checked before secrets
// are scrambled and labels resolved, the groups' file sizes before the components, the
// components and licences before the pages that show them, the pages' check boxes before the
// lines that name them.
CompileResult CompileSource(const std::string& text, const std::string& script, const CompileOptions& options) {
  compile::State s(script, options);
  compile::ReadLines(s, text.rfind("\xEF\xBB\xBF", 0) == 0 ? text.substr(3) : text);
  compile::Definitions(s);
  compile::CheckScope(s);
  compile::CheckInstallDir(s);
  s.result.program.name = s.result.info.SetupName;
  compile::Decisions(s);
  compile::CheckArguments(s);
  compile::CheckUninstallLogLoad(s);
  compile::ResolveJumps(s);
  compile::Groups(s);
  compile::Components(s);
  compile::Languages(s);
  compile::Licenses(s);
  compile::RunAfter(s);
  compile::SetupFiles(s);
  compile::CheckToggles(s);
  Assemble(s);
  return std::move(s.result);
}

CompileResult CompileScript(const std::string& script, const CompileOptions& options) {
  auto bytes = ReadWholeFile(script);
  if (!bytes) {
    CompileResult result;
    result.diagnostics.Error(script, 0, "cannot read the script");
    return result;
  }
  return CompileSource(std::string(bytes->begin(), bytes->end()), script, options);
}

void SetSetupExeName(CompileResult& result, const std::string& name) {
  result.info.SetupExeName = name;
  auto info = result.info.Serialize();
  for (auto& e : result.entries) {
    if (e.name == kSetupInfoEntry && e.group == 0) e.data.assign(info.begin(), info.end());
  }
}

}  // namespace zq::builder
