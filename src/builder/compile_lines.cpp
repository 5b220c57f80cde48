#include <map>
#include <optional>
#include <string>

#include "builder/compile_state.h"
#include "script/components.h"

namespace zq::builder::compile {

// Each component line gets its state and description written out, then the bytes of the files
// of its "file" lines and the position of its last line, so the engine needs no second pass.
void Components(State& s) {
  std::map<std::string, std::uint32_t> names;
  std::optional<std::size_t> open;
  auto close = [&](std::size_t last) {
    if (!open) return;
    Pending& c = s.lines[*open];
    std::int64_t size = 0;
    for (std::size_t i = *open + 1; i <= last && i < s.lines.size(); ++i) size += s.lines[i].files_size;
    c.args.push_back(std::to_string(size));
    c.args.push_back(std::to_string(last));
    open.reset();
  };
  for (std::size_t i = 0; i < s.lines.size(); ++i) {
    Pending& p = s.lines[i];
    if (p.is_label) continue;
    const std::string keyword = p.command.keyword;
    if (keyword == "endcomponent") {
      if (!open) s.diags().Warning(s.script, p.source_line, "endcomponent without a component before it");
      close(i);
      continue;
    }
    if (p.command.build != BuildStep::Component || static_cast<int>(p.args.size()) < p.command.MinSourceArgs())
      continue;
    close(i - 1);
    s.has_components = true;
    if (p.args.size() > 4)
      s.diags().Error(s.script, p.source_line,
                      "component takes at most 4 arguments: name, caption, state, description");
    p.args.resize(4);
    const std::string& name = p.args[0];
    if (!IsValidComponentName(name)) {
      s.diags().Error(
          s.script, p.source_line,
          "component name \"" + name + "\" must be letters, digits, \"_\", \"-\" or \".\" (/COMPONENTS= lists it)");
    } else if (auto [it, fresh] = names.emplace(Lower(name), p.source_line); !fresh) {
      s.diags().Error(s.script, p.source_line,
                      "component \"" + name + "\" is already defined on " + s.diags().LineName(it->second));
    }
    std::string& state = p.args[2];
    if (state.empty()) state = "on";
    if (const auto word = ComponentStateFromWord(state)) {
      state = ComponentStateWord(*word);
    } else {
      s.diags().Error(s.script, p.source_line, "component state \"" + state + "\" is not on, off or fixed");
    }
    open = i;
  }
  if (open) close(s.lines.size() - 1);
}

void RunAfter(State& s) {
  std::uint32_t earlier = 0;
  for (Pending& p : s.lines) {
    if (p.is_label || std::string(p.command.keyword) != "runafter" || p.args.empty()) continue;
    if (earlier != 0) {
      s.diags().Warning(s.script, p.source_line, "runafter overrides the runafter on " + s.diags().LineName(earlier));
    }
    earlier = p.source_line;
    // The arguments after the program are one command line: one argument is taken as it is,
    // several are joined, each quoted again where it needs it.
    if (p.args.size() <= 2) continue;
    std::string arguments;
    for (std::size_t a = 1; a < p.args.size(); ++a) {
      const std::string& word = p.args[a];
      const bool quote = word.empty() || word.find_first_of(" \t") != std::string::npos;
      arguments += (a > 1 ? " " : "") + (quote ? "\"" + word + "\"" : word);
    }
    p.args = {p.args[0], arguments};
  }
}

}  // namespace zq::builder::compile
