#include <string>

#include "builder/compile_state.h"

namespace zq::builder::compile {

namespace {

// A label becomes the position of its line; a target of 0, "no jump", is stored as -1.
void ResolveTarget(State& s, Pending& p, std::size_t arg, bool first) {
  if (arg >= p.args.size()) return;
  std::string& target = p.args[arg];
  if (target == "0") {
    target = "-1";
    return;
  }
  auto it = s.labels.find(Lower(target));
  if (it == s.labels.end()) {
    s.diags().Error(s.script, p.source_line, "unknown label \"" + target + "\"");
    return;
  }
  s.label_used[it->first] = true;
  target = std::to_string(first ? it->second.front() : it->second.back());
}

}  // namespace

void ResolveJumps(State& s) {
  for (Pending& p : s.lines) {
    if (p.is_label) continue;
    for (int k = 0; const int n = p.command.JumpArg(k, p.args.size()); ++k) {
      ResolveTarget(s, p, static_cast<std::size_t>(n - 1), p.command.first_label);
    }
  }
  for (const auto& [name, positions] : s.labels) {
    if (!s.label_used.count(name)) {
      s.diags().Warning(s.script, s.lines[positions.front()].source_line,
                        "label \"" + s.lines[positions.front()].label + "\" is never used");
    }
  }
}

}  // namespace zq::builder::compile
