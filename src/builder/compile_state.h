// What the script compiler's passes share: the script's lines as they are read and rewritten,
// its labels, and the entries planned so far. Each pass is a function of the file its comment
// names; script_compiler.cpp runs them in order, and the order is part of the output (the
// diagnostics come in it, and later passes read what earlier ones wrote).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "builder/build_paths.h"
#include "builder/build_plan.h"
#include "builder/diagnostics.h"
#include "builder/program_lines.h"
#include "builder/script_compiler.h"
#include "platform/text.h"
#include "script/command_table.h"

namespace zq::builder::compile {

// The most lines, groups, entries and bytes of one argument the stored counts can hold.
inline constexpr std::size_t kMaxCount = 0xFFFF;

// One script line with a command or a label, which the passes rewrite into a compiled line.
struct Pending {
  bool is_label = false;
  CommandInfo command{};
  std::string label;
  std::vector<std::string> args;
  std::uint32_t source_line = 0;
  std::int64_t files_size = 0;  // a "file" line: the bytes of its files
};

struct State {
  State(const std::string& script_path, const CompileOptions& compile_options)
      : script(script_path), dir(DirName(script_path)), options(compile_options), program_lines(script, dir) {
    // Mapped before the first diagnostic: the messages that name an earlier line name it as written.
    if (!options.origins.empty()) result.diagnostics.MapLines(script, options.origins);
  }

  Diagnostics& diags() { return result.diagnostics; }
  // A group-0 entry, checked; one whose name (any case) is already planned is left out.
  void AddSetupFile(PlannedEntry entry, std::uint32_t line);
  // Reports a name or a source file the package cannot hold.
  void CheckEntry(const PlannedEntry& e, std::uint32_t line);

  std::string script;
  std::string dir;
  const CompileOptions& options;
  CompileResult result;
  std::vector<Pending> lines;
  std::map<std::string, std::vector<std::size_t>> labels;  // lower-case name -> positions
  std::map<std::string, bool> label_used;
  std::vector<PlannedEntry> setup_files;
  std::vector<std::vector<PlannedEntry>> groups;
  std::uint32_t pages_line = 0, uninstall_pages_line = 0, changelog_line = 0;
  bool has_components = false, has_license = false;
  std::vector<std::string> install_toggles;  // the install pages' check boxes and radio buttons
  std::set<std::string> variables;           // declared with "var", upper case
  ProgramLines program_lines;
};

inline std::string Lower(const std::string& s) { return platform::LowerCase(s); }

// compile_reading.cpp: the lines, labels and program commands of the text, each line's
// argument count checked against its command.
void ReadLines(State& s, const std::string& text);

// compile_definitions.cpp: the setup information record from the definition lines, and what
// the scope and the installation folder imply.
void Definitions(State& s);
void CheckScope(State& s);
void CheckInstallDir(State& s);

// compile_decisions.cpp: the declared variables, the words the decisions take, and what the
// setup then needs of its engine.
void Decisions(State& s);

// compile_checks.cpp: what the engine would make of the arguments, and of the script as a whole.
void CheckArguments(State& s);
void CheckUninstallLogLoad(State& s);
void CheckToggles(State& s);

// compile_jumps.cpp: jump targets from labels to line positions.
void ResolveJumps(State& s);

// compile_groups.cpp: secrets scrambled, and the payload groups numbered and filled.
void Groups(State& s);

// compile_lines.cpp: the component and runafter lines written out as the engine reads them.
void Components(State& s);
void RunAfter(State& s);

// compile_languages.cpp: the language tables and licences packed.
void Languages(State& s);
void Licenses(State& s);

// compile_pages.cpp: the page sets, change log, finaliser and uninstaller icon packed.
void SetupFiles(State& s);

}  // namespace zq::builder::compile
