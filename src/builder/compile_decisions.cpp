#include <cctype>
#include <string>

#include "base/macro_names.h"
#include "base/version_compare.h"
#include "builder/compile_state.h"

namespace zq::builder::compile {

namespace {

// Letters, digits and "_", a letter first: what "$NAME" reads as one name.
bool IsVariableName(const std::string& name) {
  if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  for (const char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

bool IsMacroName(const std::string& upper) {
  for (const std::string_view macro : kMacroNames) {
    if (macro.substr(1) == upper) return true;
  }
  return false;
}

}  // namespace

void Decisions(State& s) {
  const std::int32_t first = CommandIndexOf("var"), last = CommandIndexOf("ifsilent");
  bool decides = false;
  for (const Pending& p : s.lines) {
    if (p.is_label || p.command.index < first || p.command.index > last ||
        static_cast<int>(p.args.size()) < p.command.MinSourceArgs()) {
      continue;
    }
    decides = true;
    const std::string keyword = p.command.keyword;
    const auto error = [&](const std::string& text) { s.diags().Error(s.script, p.source_line, text); };
    // The commands that name a variable name it first.
    if (keyword == "var" || keyword == "set" || keyword.rfind("read", 0) == 0 || keyword == "fileversion") {
      const std::string& name = p.args[0];
      const std::string upper = platform::UpperCase(name);
      if (!IsVariableName(name)) {
        error("variable name \"" + name + "\" must be letters, digits and \"_\", a letter first");
      } else if (IsMacroName(upper)) {
        error("variable name \"" + name + "\" is the name of a macro");
      } else if (keyword == "var") {
        s.variables.insert(upper);
      }
    }
    if (keyword == "ifversion" && !ParseCompareOp(p.args[1])) {
      error("comparison \"" + p.args[1] + "\" is not one of <, <=, =, >=, >, <>");
    }
    if (keyword == "ifwindows") {
      if (!ParseCompareOp(p.args[0])) error("comparison \"" + p.args[0] + "\" is not one of <, <=, =, >=, >, <>");
      if (!NormalizedVersion(p.args[1])) error("Windows version \"" + p.args[1] + "\" is not a dotted version");
    }
    if (keyword == "ifmachine") {
      const std::string word = Lower(p.args[0]);
      if (word != "x86" && word != "x64" && word != "arm64") {
        error("processor \"" + p.args[0] + "\" is not one of x86, x64, arm64");
      }
    }
  }
  // Engines before these commands refuse the compiled lines; later ones name what is missing.
  if (decides) s.result.program.run.Needs = {"decisions"};
}

}  // namespace zq::builder::compile
