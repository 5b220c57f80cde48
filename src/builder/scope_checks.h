// What a script's scope ("scope machine|user") allows and implies: a per-user setup asks for no
// elevation, installs below the user's local application data by default and writes nothing
// machine-wide; a per-machine setup is warned about writing the current user's registry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "builder/diagnostics.h"
#include "container/program_resources.h"
#include "container/setup_info.h"

namespace zq::builder {

// One command line of the script as the check sees it.
struct ScopeLine {
  std::string keyword;  // lower case
  const std::vector<std::string>* args = nullptr;
  std::uint32_t line = 0;
};

struct ScopeSource {
  std::string script;            // names the script in diagnostics
  std::uint32_t scope_line = 0;  // the scope command's line
  std::uint32_t level_line = 0;  // the executionlevel command's line, 0 without one
  std::uint32_t installdir_line = 0;
};

// Reports what the scope forbids and fills what it implies: the manifest's level and, for a
// per-user setup without one, the installation folder ($LOCALAPPDATA\Programs\<short name>).
void CheckScope(const ScopeSource& source, const std::vector<ScopeLine>& lines, ProgramFacts& facts,
                TSetupInfoFile& info, Diagnostics& diags);

}  // namespace zq::builder
