#include <string>
#include <vector>

#include "builder/compile_state.h"
#include "builder/script_syntax.h"
#include "platform/text.h"

namespace zq::builder::compile {

namespace {

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }
std::string Plural(std::size_t n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

// The argument counts a source line may give, in words ("1, 2 or 7").
std::string SourceCounts(const CommandInfo& command) {
  std::string out;
  std::vector<int> counts;
  for (int n = 0; n < 32; ++n) {
    if (command.arg_counts >> n & 1u) counts.push_back(n - command.AppendedArgs());
  }
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (i > 0) out += i + 1 == counts.size() ? " or " : ", ";
    out += std::to_string(counts[i]);
  }
  return out;
}

// Where each jumping command goes when a label is defined twice.
std::string DuplicateLabelRule() {
  auto first = [](const CommandInfo& c) { return c.Jumps() && c.first_label; };
  auto last = [](const CommandInfo& c) { return c.Jumps() && !c.first_label; };
  return "a jump of " + KeywordList(first) + " goes to the first, of " + KeywordList(last) + " to the last";
}

void ReadLabel(State& s, Pending p) {
  const std::uint32_t number = p.source_line;
  if (p.label.size() > kMaxCount) s.diags().Error(s.script, number, "label name longer than 65535 bytes");
  auto& positions = s.labels[Lower(p.label)];
  if (!positions.empty()) {
    s.diags().Warning(s.script, number,
                      "label \"" + p.label + "\" is also defined on " +
                          s.diags().LineName(s.lines[positions.front()].source_line) + "; " + DuplicateLabelRule());
  }
  positions.push_back(s.lines.size());
  s.lines.push_back(std::move(p));
}

void ReadCommand(State& s, Pending p, const CommandInfo& command) {
  const std::uint32_t number = p.source_line;
  p.command = command;
  const int count = static_cast<int>(p.args.size());
  const std::size_t stored = p.args.size() + static_cast<std::size_t>(command.AppendedArgs());
  if (count < command.MinSourceArgs()) {
    s.diags().Error(s.script, number,
                    Quoted(command.keyword) + " needs at least " + Plural(command.MinSourceArgs(), "argument") + ", " +
                        std::to_string(count) + " given");
  } else if (command.Jumps() && count < command.JumpArg(0, p.args.size())) {
    s.diags().Warning(s.script, number, std::string(command.keyword) + " without a label never jumps");
  }
  for (std::size_t a = 0; a < p.args.size(); ++a) {
    if (p.args[a].size() > kMaxCount) {
      s.diags().Error(s.script, number, "argument " + std::to_string(a + 1) + " is longer than 65535 bytes");
    }
  }
  if (command.jump_last && !command.AcceptsArgCount(stored)) {
    // The label is found by its place: with another count it would be taken from the wrong one.
    s.diags().Error(s.script, number,
                    Quoted(command.keyword) + " takes " + SourceCounts(command) + " arguments, " +
                        std::to_string(count) + " given");
  } else if (count >= command.MinSourceArgs() && !command.AcceptsArgCount(stored)) {
    s.diags().Warning(s.script, number,
                      std::string(command.keyword) + " takes " + SourceCounts(command) +
                          " arguments (source, subfolder, registry condition); with " + std::to_string(count) +
                          " the setup shows \"Param Count Invalid\" and skips it");
  }
  s.lines.push_back(std::move(p));
}

}  // namespace

void ReadLines(State& s, const std::string& text) {
  // A script that is not UTF-8 was written in the ANSI code page (Windows-1252 here).
  const bool utf8 = platform::IsUtf8(text);
  const auto source_lines = SplitScriptLines(text);
  for (std::size_t i = 0; i < source_lines.size(); ++i) {
    const auto number = static_cast<std::uint32_t>(i + 1);
    std::string line = source_lines[i];
    if (!utf8) line = platform::LegacyToUtf8(line);
    SourceLine parsed = ParseSourceLine(line);
    if (!parsed.error.empty()) {
      s.diags().Error(s.script, number, parsed.error);
      continue;
    }
    if (parsed.kind == SourceLine::Kind::Blank) continue;
    Pending p;
    p.source_line = number;
    if (parsed.kind == SourceLine::Kind::Label) {
      p.is_label = true;
      p.label = parsed.label;
      ReadLabel(s, std::move(p));
      continue;
    }
    // Program commands take no line of their own, so labels keep their positions.
    if (auto program = FindProgramCommand(parsed.keyword)) {
      s.program_lines.Read(*program, parsed.args, number, s.result.program, s.diags());
      continue;
    }
    auto command = FindCommand(parsed.keyword);
    if (!command) {
      s.diags().Error(s.script, number, "unknown command \"" + parsed.keyword + "\"");
      continue;
    }
    p.args = std::move(parsed.args);
    ReadCommand(s, std::move(p), *command);
  }
  if (s.lines.size() > kMaxCount) {
    s.diags().Error(
        s.script, 0,
        "the script has " + std::to_string(s.lines.size()) + " lines with commands or labels; at most 65535 fit");
  }
}

}  // namespace zq::builder::compile
