// The script's program commands (executionlevel, version, publisher, icon): what the setup
// program says of itself, read at build time and written into its resources.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "builder/diagnostics.h"
#include "container/program_resources.h"
#include "script/command_table.h"

namespace zq::builder {

class ProgramLines {
 public:
  // `script` names the script in diagnostics; the icon is looked for in `dir`.
  ProgramLines(const std::string& script, const std::string& dir) : script_(script), dir_(dir) {}

  // One source line of a program command.
  void Read(const ProgramCommandInfo& command, const std::vector<std::string>& args, std::uint32_t line,
            ProgramFacts& facts, Diagnostics& diags);
  // The line that last set `fact`, 0 when none did.
  std::uint32_t LineOf(ProgramFact fact) const {
    auto it = seen_.find(fact);
    return it == seen_.end() ? 0 : it->second;
  }

 private:
  std::string script_;
  std::string dir_;
  std::map<ProgramFact, std::uint32_t> seen_;
};

}  // namespace zq::builder
