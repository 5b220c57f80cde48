#include "builder/preprocessor.h"

#include <optional>

#include "builder/build_paths.h"
#include "builder/script_syntax.h"
#include "builder/source_files.h"
#include "container/pak_string.h"
#include "platform/files.h"
#include "platform/text.h"

namespace zq::builder {

bool IsDefineName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Where(const LineOrigin& at) { return at.file + ":" + std::to_string(at.line); }

// A text as the script reads it: well-formed UTF-8 as it is, anything else as Windows-1252.
std::string ScriptText(const std::string& text) { return platform::IsUtf8(text) ? text : platform::LegacyToUtf8(text); }

class Preprocessor {
 public:
  explicit Preprocessor(const Defines& defines);
  void ReadFile(std::string text, const std::string& path, const std::string& identity);
  PreprocessedScript Result() { return std::move(out_); }

 private:
  struct Definition {
    std::string value;
    std::optional<LineOrigin> defined_at;  // nullopt: the command line's, which the script keeps
  };
  // One !ifdef or !ifndef whose !endif is still to come.
  struct Condition {
    LineOrigin opened;
    std::string directive;  // "!ifdef NAME", as errors name it
    bool outer_active;
    bool taking;
    bool seen_else = false;
  };
  // A file being read, and the line of it that includes the next.
  struct Frame {
    std::string path;
    std::string identity;
    std::uint32_t including_line = 0;
  };

  static bool Active(const std::vector<Condition>& conditions);
  void Line(const std::string& text, const LineOrigin& at, std::vector<Condition>& conditions);
  void Directive(const std::string& text, const LineOrigin& at, std::vector<Condition>& conditions);
  void Conditional(const std::string& keyword, const std::vector<std::string>* args, const LineOrigin& at,
                   std::vector<Condition>& conditions);
  void Define(const std::vector<std::string>& args, const LineOrigin& at);
  void Include(const std::vector<std::string>& args, const LineOrigin& at);
  std::optional<std::string> Expand(const std::string& text, const LineOrigin& at);
  std::optional<SourceLine> ExpandedLine(const std::string& text, const LineOrigin& at);
  void Emit(const std::string& text, const LineOrigin& at);

  std::map<std::string, Definition> defines_;
  std::vector<Frame> chain_;
  bool stopped_ = false;  // by !error: nothing after it is read
  PreprocessedScript out_;
};

Preprocessor::Preprocessor(const Defines& defines) {
  for (const auto& [name, value] : defines) {
    // A line break would split the line it is put into, and every line after it would be
    // told as the wrong one.
    if (value.find_first_of("\r\n") != std::string::npos) {
      out_.diagnostics.Error("", 0, "-D " + name + ": a value cannot hold a line break");
      continue;
    }
    defines_[name] = {ScriptText(value), std::nullopt};
  }
}

void Preprocessor::ReadFile(std::string text, const std::string& path, const std::string& identity) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  // Each file in its own encoding: one written in the ANSI code page may include one in UTF-8.
  const bool utf8 = platform::IsUtf8(text);
  const auto lines = SplitScriptLines(text);
  chain_.push_back({path, identity});
  std::vector<Condition> conditions;  // a file closes what it opens
  for (std::size_t i = 0; i < lines.size() && !stopped_; ++i) {
    const LineOrigin at{path, static_cast<std::uint32_t>(i + 1)};
    Line(utf8 ? lines[i] : platform::LegacyToUtf8(lines[i]), at, conditions);
  }
  for (const Condition& c : conditions) {
    if (!stopped_) out_.diagnostics.Error(c.opened.file, c.opened.line, c.directive + " without !endif");
  }
  chain_.pop_back();
}

bool Preprocessor::Active(const std::vector<Condition>& conditions) {
  return conditions.empty() || (conditions.back().outer_active && conditions.back().taking);
}

void Preprocessor::Line(const std::string& text, const LineOrigin& at, std::vector<Condition>& conditions) {
  std::size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (pos < text.size() && text[pos] == '!') {
    Directive(text.substr(pos + 1), at, conditions);
    return;
  }
  if (!Active(conditions) || text.find("${") == std::string::npos) {
    Emit(Active(conditions) ? text : std::string(), at);
    return;
  }
  auto line = ExpandedLine(text, at);
  if (!line) {
    Emit("", at);
    return;
  }
  // A line the compiler cannot read goes to it as written, to be reported there.
  if (!line->error.empty() || line->kind == SourceLine::Kind::Blank) {
    Emit(text, at);
    return;
  }
  // Written back argument by argument: a value holding blanks or quotes stays one argument.
  std::string rebuilt;
  if (line->kind == SourceLine::Kind::Label) {
    rebuilt = ":" + QuoteArgument(line->label);
  } else {
    rebuilt = QuoteArgument(line->keyword);
    for (const auto& a : line->args) rebuilt += " " + QuoteArgument(a);
  }
  Emit(rebuilt, at);
}

// The line read as the compiler reads it, each keyword, argument and label with "${NAME}"
// replaced; nullopt after an error. A comment is never expanded.
std::optional<SourceLine> Preprocessor::ExpandedLine(const std::string& text, const LineOrigin& at) {
  SourceLine line = ParseSourceLine(text);
  if (!line.error.empty()) return line;
  bool ok = true;
  auto expand = [&](std::string& token) {
    if (auto expanded = Expand(token, at)) {
      token = std::move(*expanded);
    } else {
      ok = false;
    }
  };
  expand(line.keyword);
  expand(line.label);
  for (auto& a : line.args) expand(a);
  if (!ok) return std::nullopt;
  return line;
}

std::optional<std::string> Preprocessor::Expand(const std::string& text, const LineOrigin& at) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text.compare(pos, 3, "$${") == 0) {
      out += "${";
      pos += 3;
      continue;
    }
    if (text.compare(pos, 2, "${") != 0) {
      out += text[pos++];
      continue;
    }
    const std::size_t close = text.find('}', pos + 2);
    if (close == std::string::npos) {
      out_.diagnostics.Error(at.file, at.line, "\"${\" without a closing \"}\" (write \"$${\" for a literal \"${\")");
      return std::nullopt;
    }
    const std::string name = text.substr(pos + 2, close - pos - 2);
    if (!IsDefineName(name)) {
      out_.diagnostics.Error(at.file, at.line, "\"${" + name + "}\": a name is letters, digits and \"_\"");
      return std::nullopt;
    }
    auto it = defines_.find(name);
    if (it == defines_.end()) {
      out_.diagnostics.Error(at.file, at.line, "${" + name + "} is not defined");
      return std::nullopt;
    }
    out += it->second.value;
    pos = close + 1;
  }
  return out;
}

void Preprocessor::Directive(const std::string& text, const LineOrigin& at, std::vector<Condition>& conditions) {
  Emit("", at);
  std::size_t end = 0;
  while (end < text.size() && !IsBlank(text[end]) && text[end] != ';') ++end;
  const std::string keyword = platform::LowerCase(text.substr(0, end));
  const bool conditional = keyword == "ifdef" || keyword == "ifndef" || keyword == "else" || keyword == "endif";
  if (!Active(conditions)) {
    // Lines not taken are not read, but their conditionals still nest.
    if (conditional) Conditional(keyword, nullptr, at, conditions);
    return;
  }
  auto line = ExpandedLine(text, at);
  if (line && !line->error.empty()) {
    out_.diagnostics.Error(at.file, at.line, line->error);
    line.reset();
  }
  const std::vector<std::string>* args = line ? &line->args : nullptr;
  if (conditional) {
    Conditional(keyword, args, at, conditions);
    return;
  }
  if (!line) return;
  auto text_of = [&] {
    std::string joined;
    for (const auto& a : *args) joined += (joined.empty() ? "" : " ") + a;
    return joined.empty() ? "!" + keyword : joined;
  };
  auto one_name = [&] {
    if (args->size() == 1 && IsDefineName(args->front())) return true;
    out_.diagnostics.Error(at.file, at.line, "!" + keyword + " takes one name (letters, digits and \"_\")");
    return false;
  };
  if (keyword == "define") {
    Define(*args, at);
  } else if (keyword == "undef") {
    if (one_name()) defines_.erase(args->front());
  } else if (keyword == "include") {
    Include(*args, at);
  } else if (keyword == "warning") {
    out_.diagnostics.Warning(at.file, at.line, text_of());
  } else if (keyword == "error") {
    out_.diagnostics.Error(at.file, at.line, text_of());
    stopped_ = true;
  } else if (keyword.empty()) {
    out_.diagnostics.Error(at.file, at.line, "\"!\" without a directive");
  } else {
    out_.diagnostics.Error(at.file, at.line,
                           "unknown directive \"!" + keyword +
                               "\" (!define, !undef, !ifdef, !ifndef, !else, !endif, !include, !error, !warning)");
  }
}

// `args` is null where the line is not taken or could not be read: it nests all the same.
void Preprocessor::Conditional(const std::string& keyword, const std::vector<std::string>* args, const LineOrigin& at,
                               std::vector<Condition>& conditions) {
  const std::string directive = "!" + keyword;
  if (keyword == "ifdef" || keyword == "ifndef") {
    Condition c{at, directive, Active(conditions), false};
    if (args && c.outer_active) {
      if (args->size() == 1 && IsDefineName(args->front())) {
        c.directive += " " + args->front();
        c.taking = defines_.count(args->front()) == (keyword == "ifdef" ? 1u : 0u);
      } else {
        out_.diagnostics.Error(at.file, at.line, directive + " takes one name (letters, digits and \"_\")");
      }
    }
    conditions.push_back(std::move(c));
    return;
  }
  if (args && !args->empty()) out_.diagnostics.Error(at.file, at.line, directive + " takes no arguments");
  if (conditions.empty()) {
    out_.diagnostics.Error(at.file, at.line, directive + " without !ifdef or !ifndef");
    return;
  }
  Condition& open = conditions.back();
  if (keyword == "endif") {
    conditions.pop_back();
  } else if (open.seen_else) {
    out_.diagnostics.Error(at.file, at.line, "a second !else for the " + open.directive + " at " + Where(open.opened));
  } else {
    open.seen_else = true;
    open.taking = !open.taking;
  }
}

void Preprocessor::Define(const std::vector<std::string>& args, const LineOrigin& at) {
  if (args.empty() || args.size() > 2 || !IsDefineName(args[0])) {
    out_.diagnostics.Error(at.file, at.line,
                           "!define takes a name (letters, digits and \"_\") and a value, quoted when it holds blanks");
    return;
  }
  const std::string value = args.size() > 1 ? args[1] : std::string();
  auto it = defines_.find(args[0]);
  if (it == defines_.end()) {
    defines_[args[0]] = {value, at};
    return;
  }
  // The command line chooses: the script's value is the default it overrides.
  if (!it->second.defined_at) return;
  if (it->second.value != value) {
    out_.diagnostics.Warning(at.file, at.line,
                             "!define " + args[0] + " replaces the value given at " + Where(*it->second.defined_at) +
                                 " (!undef it first to say so)");
  }
  it->second = {value, at};
}

void Preprocessor::Include(const std::vector<std::string>& args, const LineOrigin& at) {
  if (args.size() != 1 || args[0].empty()) {
    out_.diagnostics.Error(at.file, at.line, "!include takes one file");
    return;
  }
  const auto path = FindFileNoCase(DirName(at.file), args[0]);
  if (!path) {
    out_.diagnostics.Error(at.file, at.line, "included file \"" + args[0] + "\" not found beside " + BaseName(at.file));
    return;
  }
  const std::string identity = platform::ObjectIdentity(*path).value_or(*path);
  for (std::size_t i = 0; i < chain_.size(); ++i) {
    if (chain_[i].identity != identity) continue;
    std::string cycle;
    for (std::size_t k = i; k + 1 < chain_.size(); ++k) {
      cycle +=
          chain_[k].path + ":" + std::to_string(chain_[k].including_line) + " includes " + chain_[k + 1].path + ", ";
    }
    out_.diagnostics.Error(at.file, at.line, "include cycle: " + cycle + Where(at) + " includes " + *path);
    return;
  }
  const auto bytes = ReadWholeFile(*path);
  if (!bytes) {
    out_.diagnostics.Error(at.file, at.line, "cannot read the included file " + *path);
    return;
  }
  chain_.back().including_line = at.line;
  ReadFile(std::string(bytes->begin(), bytes->end()), *path, identity);
}

void Preprocessor::Emit(const std::string& text, const LineOrigin& at) {
  out_.text += text;
  out_.text += '\n';
  out_.origins.push_back(at);
}

}  // namespace

PreprocessedScript PreprocessSource(const std::string& text, const std::string& script, const Defines& defines) {
  Preprocessor pre(defines);
  pre.ReadFile(text, script, platform::ObjectIdentity(script).value_or(script));
  return pre.Result();
}

PreprocessedScript PreprocessScript(const std::string& script, const Defines& defines) {
  const auto bytes = ReadWholeFile(script);
  if (!bytes) {
    PreprocessedScript result;
    result.diagnostics.Error(script, 0, "cannot read the script");
    return result;
  }
  return PreprocessSource(std::string(bytes->begin(), bytes->end()), script, defines);
}

}  // namespace zq::builder
