#include "builder/script_compiler.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <unordered_map>

#include "builder/build_paths.h"
#include "builder/page_files.h"
#include "builder/program_lines.h"
#include "builder/scope_checks.h"
#include "builder/script_syntax.h"
#include "builder/source_files.h"
#include "builder/table_fallback.h"
#include "container/entry_name.h"
#include "container/entry_names.h"
#include "container/pak_string.h"
#include "container/run_options.h"
#include "base/macro_names.h"
#include "base/registry_roots.h"
#include "base/scrambler.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/text.h"
#include "script/command_table.h"
#include "script/components.h"
#include "script/exit_code.h"
#include "uninstall/log_prefix.h"
#include "ui/control.h"
#include "ui/language.h"
#include "ui/language_error.h"
#include "ui/languages.h"

namespace zq::builder {

namespace {

constexpr std::size_t kMaxCount = 0xFFFF;

struct Pending {
  bool is_label = false;
  CommandInfo command{};
  std::string label;
  std::vector<std::string> args;
  std::uint32_t source_line = 0;
  std::int64_t files_size = 0;  // a "file" line: the bytes of its files
};

std::string Lower(const std::string& s) { return platform::LowerCase(s); }
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

class Compiler {
 public:
  Compiler(const std::string& script, const CompileOptions& options)
      : script_(script), dir_(DirName(script)), options_(options), program_lines_(script, dir_) {}

  CompileResult Run(std::string text);

 private:
  void ReadLines(const std::string& text);
  void Definitions();
  void CheckArguments();
  void CheckUninstallLogLoad();
  void ResolveJumps();
  void Groups();
  void CheckScope();
  void CheckInstallDir();
  void Languages();
  void Components();
  void Licenses();
  void RunAfter();
  std::optional<std::pair<std::string, TLanguage>> StockEnglish(bool uninstall) const;
  void SetupFiles();
  void CheckToggles();
  void Assemble();

  void ResolveTarget(Pending& p, std::size_t arg, bool first);
  std::optional<std::vector<SourceFile>> SourceFiles(const Pending& p);
  void AddSetupFile(PlannedEntry entry, std::uint32_t line);
  void CheckEntry(const PlannedEntry& e, std::uint32_t line);

  Diagnostics& diags() { return result_.diagnostics; }

  std::string script_;
  std::string dir_;
  const CompileOptions& options_;
  CompileResult result_;
  std::vector<Pending> lines_;
  std::map<std::string, std::vector<std::size_t>> labels_;  // lower-case name -> positions
  std::map<std::string, bool> label_used_;
  std::vector<PlannedEntry> setup_files_;
  std::vector<std::vector<PlannedEntry>> groups_;
  std::uint32_t pages_line_ = 0, uninstall_pages_line_ = 0, changelog_line_ = 0;
  bool has_components_ = false, has_license_ = false;
  std::vector<std::string> install_toggles_;  // the install pages' check boxes and radio buttons
  ProgramLines program_lines_;
};

CompileResult Compiler::Run(std::string text) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  ReadLines(text);
  if (lines_.size() > kMaxCount) {
    diags().Error(
        script_, 0,
        "the script has " + std::to_string(lines_.size()) + " lines with commands or labels; at most 65535 fit");
  }
  Definitions();
  CheckScope();
  CheckInstallDir();
  result_.program.name = result_.info.SetupName;
  CheckArguments();
  CheckUninstallLogLoad();
  ResolveJumps();
  Groups();
  Components();
  Languages();
  Licenses();
  RunAfter();
  SetupFiles();
  CheckToggles();
  Assemble();
  return std::move(result_);
}

void Compiler::ReadLines(const std::string& text) {
  // A script that is not UTF-8 was written in the ANSI code page (Windows-1252 here).
  const bool utf8 = platform::IsUtf8(text);
  const auto source_lines = SplitScriptLines(text);
  for (std::size_t i = 0; i < source_lines.size(); ++i) {
    const auto number = static_cast<std::uint32_t>(i + 1);
    std::string line = source_lines[i];
    if (!utf8) line = platform::LegacyToUtf8(line);
    SourceLine parsed = ParseSourceLine(line);
    if (!parsed.error.empty()) {
      diags().Error(script_, number, parsed.error);
      continue;
    }
    if (parsed.kind == SourceLine::Kind::Blank) continue;
    Pending p;
    p.source_line = number;
    if (parsed.kind == SourceLine::Kind::Label) {
      p.is_label = true;
      p.label = parsed.label;
      if (p.label.size() > kMaxCount) diags().Error(script_, number, "label name longer than 65535 bytes");
      auto& positions = labels_[Lower(p.label)];
      if (!positions.empty()) {
        diags().Warning(script_, number,
                        "label \"" + p.label + "\" is also defined on line " +
                            std::to_string(lines_[positions.front()].source_line) + "; " + DuplicateLabelRule());
      }
      positions.push_back(lines_.size());
      lines_.push_back(std::move(p));
      continue;
    }
    // Program commands take no line of their own, so labels keep their positions.
    if (auto program = FindProgramCommand(parsed.keyword)) {
      program_lines_.Read(*program, parsed.args, number, result_.program, diags());
      continue;
    }
    auto command = FindCommand(parsed.keyword);
    if (!command) {
      diags().Error(script_, number, "unknown command \"" + parsed.keyword + "\"");
      continue;
    }
    p.command = *command;
    p.args = std::move(parsed.args);
    const int count = static_cast<int>(p.args.size());
    const std::size_t stored = p.args.size() + static_cast<std::size_t>(command->AppendedArgs());
    if (count < command->MinSourceArgs()) {
      diags().Error(script_, number,
                    Quoted(command->keyword) + " needs at least " + Plural(command->MinSourceArgs(), "argument") +
                        ", " + std::to_string(count) + " given");
    } else if (command->Jumps() && count < command->JumpArg(0, p.args.size())) {
      diags().Warning(script_, number, std::string(command->keyword) + " without a label never jumps");
    }
    for (std::size_t a = 0; a < p.args.size(); ++a) {
      if (p.args[a].size() > kMaxCount) {
        diags().Error(script_, number, "argument " + std::to_string(a + 1) + " is longer than 65535 bytes");
      }
    }
    if (command->jump_last && !command->AcceptsArgCount(stored)) {
      // The label is found by its place: with another count it would be taken from the wrong one.
      diags().Error(script_, number,
                    Quoted(command->keyword) + " takes " + SourceCounts(*command) + " arguments, " +
                        std::to_string(count) + " given");
    } else if (count >= command->MinSourceArgs() && !command->AcceptsArgCount(stored)) {
      diags().Warning(script_, number,
                      std::string(command->keyword) + " takes " + SourceCounts(*command) +
                          " arguments (source, subfolder, registry condition); with " + std::to_string(count) +
                          " the setup shows \"Param Count Invalid\" and skips it");
    }
    lines_.push_back(std::move(p));
  }
}

void Compiler::Definitions() {
  TSetupInfoFile& info = result_.info;
  info.UninstallExeName = kDefaultUninstallExeName;
  std::map<BuildStep, std::uint32_t> seen;
  for (const Pending& p : lines_) {
    if (p.is_label || !p.command.IsDefinition() || static_cast<int>(p.args.size()) < p.command.MinSourceArgs()) {
      continue;
    }
    const std::string keyword = p.command.keyword;
    const std::string& a = p.args[0];
    if (auto it = seen.find(p.command.build); it != seen.end()) {
      diags().Warning(script_, p.source_line,
                      keyword + " overrides the " + keyword + " on line " + std::to_string(it->second));
    }
    seen[p.command.build] = p.source_line;
    switch (p.command.build) {
      case BuildStep::DefineName:
        if (auto it = seen.find(BuildStep::DefineShortName); it != seen.end()) {
          const std::string shortname = DefinitionCommand(BuildStep::DefineShortName).keyword;
          diags().Warning(script_, p.source_line,
                          keyword + " also sets the short name, replacing the " + shortname + " on line " +
                              std::to_string(it->second) + " (put " + shortname + " after " + keyword + ")");
          seen.erase(it);
        }
        info.SetupName = a;
        info.ShortName = a;
        break;
      case BuildStep::DefineShortName: info.ShortName = a; break;
      case BuildStep::DefineOutFile: info.SetupExeName = a; break;
      case BuildStep::DefineInstallDir: info.InstallDir = a; break;
      case BuildStep::DefineInstallDirRegKey: {
        info.InstallDirRegKey.HKEY = RootNameToCode(a);
        info.InstallDirRegKey.Path = p.args[1];
        info.InstallDirRegKey.Key = p.args[2];
        break;
      }
      case BuildStep::DefineChangelog:
        info.Changelog = a;
        changelog_line_ = p.source_line;
        break;
      case BuildStep::DefinePages:
        info.Pages = a;
        pages_line_ = p.source_line;
        break;
      case BuildStep::DefineUninstallPages:
        info.UninstallPages = a;
        info.HasUninstaller = 1;
        uninstall_pages_line_ = p.source_line;
        break;
      case BuildStep::DefinePrefix:
        info.LogPrefix = a + "_";
        info.UninstallExeName = a + "_Uninstall.exe";
        break;
      case BuildStep::Store:
      case BuildStep::PackLanguage:
      case BuildStep::PackUninstallLanguage:
      case BuildStep::PackLicense:
      case BuildStep::Declare:
      case BuildStep::Component: break;
    }
  }
}

bool IsRegistryRoot(const std::string& word) {
  const std::string up = platform::UpperCase(word);
  return up == "HKLM" || up == "HKCU" || up == "HKCR" || up == "HKU" || up == "HKCC";
}

// The 1-based argument that names a registry root, or 0; a line of a count the engine does
// not run is reported for its count, not for its root.
std::size_t RootArg(const Pending& p) {
  const auto n = static_cast<std::size_t>(p.command.root_arg);
  const std::size_t stored = p.args.size() + static_cast<std::size_t>(p.command.AppendedArgs());
  return n <= p.args.size() && p.command.AcceptsArgCount(stored) ? n : 0;
}

// A "$" followed by a letter that does not start a known macro, or nothing.
std::optional<std::string> UnknownMacro(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '$' || i + 1 == text.size() || !std::isalpha(static_cast<unsigned char>(text[i + 1]))) continue;
    std::size_t end = i + 1;
    while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) ++end;
    const std::string word = platform::UpperCase(text.substr(i, end - i));
    if (std::find(kMacroNames.begin(), kMacroNames.end(), word) == kMacroNames.end()) return text.substr(i, end - i);
  }
  return std::nullopt;
}

// What the engine would make of the arguments, known before they are scrambled or resolved.
void Compiler::CheckArguments() {
  TLanguages tags;  // no tables: every tag is read as the engine reads it
  tags.Current = -1;
  for (const Pending& p : lines_) {
    if (p.is_label || static_cast<int>(p.args.size()) < p.command.MinSourceArgs()) continue;
    if (const std::size_t n = RootArg(p); n != 0 && !IsRegistryRoot(p.args[n - 1])) {
      diags().Error(script_, p.source_line,
                    "registry root \"" + p.args[n - 1] + "\" is not one of HKLM, HKCU, HKCR, HKU, HKCC");
    }
    if (p.command.index == CommandIndexOf("ifexitcode") && !ParseExitCode(p.args[0])) {
      diags().Error(script_, p.source_line,
                    "exit code \"" + p.args[0] + "\" is not a number (decimal, negative decimal or 0x hexadecimal)");
    }
    const std::string keyword = p.command.keyword;
    for (std::size_t a = 0; a < p.args.size(); ++a) {
      const bool shown = (keyword == "message" && a == 0) ||
                         (p.command.build == BuildStep::Component && (a == 1 || a == 3));
      if (!shown) continue;
      try {
        tags.ExpandLangTags(platform::Utf8ToWide(p.args[a]));
      } catch (const LanguageError& e) {
        diags().Error(script_, p.source_line, std::string("bad language tag: ") + e.what());
      }
    }
    for (std::size_t a = 0; a < p.args.size(); ++a) {
      const int number = static_cast<int>(a + 1);
      if (number == p.command.scrambled_arg) continue;
      if (p.command.IsJumpArg(number, p.args.size())) continue;
      if (auto word = UnknownMacro(p.args[a])) {
        std::string known;
        for (const std::string_view name : kMacroNames) known += (known.empty() ? "" : ", ") + std::string(name);
        diags().Warning(script_, p.source_line,
                        "\"" + *word + "\" is not a known macro (" + known + "); the setup uses it as written");
      }
    }
  }
}

void Compiler::CheckScope() {
  ScopeSource source{script_, program_lines_.LineOf(ProgramFact::Scope),
                     program_lines_.LineOf(ProgramFact::ExecutionLevel), 0};
  std::vector<ScopeLine> lines;
  for (const Pending& p : lines_) {
    if (p.is_label) continue;
    if (p.command.build == BuildStep::DefineInstallDir) source.installdir_line = p.source_line;
    lines.push_back({Lower(p.command.keyword), &p.args, p.source_line});
  }
  builder::CheckScope(source, lines, result_.program, result_.info, diags());
}

// The engine has no folder of its own to propose: without one the setup refuses at start-up
// ("Registry Key Not Found") unless the command line names it. A scope user default counts.
void Compiler::CheckInstallDir() {
  if (!result_.info.InstallDir.empty()) return;
  const bool from_registry = !result_.info.InstallDirRegKey.Key.empty();
  diags().Warning(script_, 0,
                  std::string("the script has no installdir: the setup installs only with /D=folder") +
                      (from_registry ? " or over an installation its installdirregkey value names" : ""));
}

// The log loaded replaces the lists kept so far; without one, an install over an older
// version forgets the older version's files. A load under a prefix no log of the product has
// finds nothing, silently, at every upgrade.
void Compiler::CheckUninstallLogLoad() {
  std::vector<std::string> written;  // lower-case prefixes of the logs this product writes
  if (result_.info.HasUninstaller) written.push_back(Lower(result_.info.LogPrefix));
  for (const Pending& p : lines_) {
    if (!p.is_label && !p.args.empty() && std::string(p.command.keyword) == "uninstalllogsave") {
      written.push_back(Lower(LogPrefixOfWord(p.args.size() >= 2 ? p.args[1] : "")));
    }
  }
  for (const Pending& p : lines_) {
    if (p.is_label || p.args.empty() || std::string(p.command.keyword) != "uninstalllogload") continue;
    const std::string word = p.args.size() >= 2 ? p.args[1] : "";
    bool matches = false;
    for (const std::string& prefix : LogPrefixesToLoad(word)) {
      matches |= std::find(written.begin(), written.end(), Lower(prefix)) != written.end();
    }
    if (!matches) {
      std::string names;
      for (const std::string& w : written) names += (names.empty() ? "" : ", ") + w + "install.log";
      diags().Warning(script_, p.source_line,
                      "uninstalllogload finds " + LogPrefixOfWord(word) + "install.log, a log this setup never writes" +
                          (names.empty() ? "" : " (it writes " + names + ")"));
    }
  }
  if (!result_.info.HasUninstaller) return;
  const std::string installdir = Lower(result_.info.InstallDir);
  bool loads_installdir = false;
  std::uint32_t recorded_line = 0;
  for (const Pending& p : lines_) {
    if (p.is_label || p.args.empty()) continue;
    const std::string keyword = p.command.keyword;
    if (keyword == "uninstalllogload") {
      std::string dir = Lower(p.args[0]);
      while (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
      loads_installdir |= dir == "$instdir" || dir == "$installdir" || (!installdir.empty() && dir == installdir);
      if (recorded_line != 0) {
        diags().Warning(script_, p.source_line,
                        "uninstalllogload replaces what the lines before it recorded for the uninstaller (line " +
                            std::to_string(recorded_line) + "); load the log before them");
      }
    } else if (recorded_line == 0 &&
               (p.command.group_kind != GroupKind::None || keyword == "copyfile" || keyword == "createdirectory" ||
                keyword == "writeregstr" || keyword == "writeregstr_url" || keyword == "createshortcut")) {
      recorded_line = p.source_line;
    }
  }
  if (!loads_installdir) {
    diags().Warning(script_, 0,
                    "no uninstalllogload of the installation folder: after an install over an older version, "
                    "the uninstaller leaves the older version's files behind");
  }
}

void Compiler::ResolveTarget(Pending& p, std::size_t arg, bool first) {
  if (arg >= p.args.size()) return;
  std::string& target = p.args[arg];
  if (target == "0") {
    target = "-1";
    return;
  }
  auto it = labels_.find(Lower(target));
  if (it == labels_.end()) {
    diags().Error(script_, p.source_line, "unknown label \"" + target + "\"");
    return;
  }
  label_used_[it->first] = true;
  target = std::to_string(first ? it->second.front() : it->second.back());
}

void Compiler::ResolveJumps() {
  for (Pending& p : lines_) {
    if (p.is_label) continue;
    for (int k = 0; const int n = p.command.JumpArg(k, p.args.size()); ++k) {
      ResolveTarget(p, static_cast<std::size_t>(n - 1), p.command.first_label);
    }
  }
  for (const auto& [name, positions] : labels_) {
    if (!label_used_.count(name)) {
      diags().Warning(script_, lines_[positions.front()].source_line,
                      "label \"" + lines_[positions.front()].label + "\" is never used");
    }
  }
}

std::optional<std::vector<SourceFile>> Compiler::SourceFiles(const Pending& p) {
  const std::string& source = p.args[0];
  if (auto folder = FindDirNoCase(dir_, source)) {
    std::vector<std::string> links;
    auto files = WalkFolder(*folder, links);
    for (const auto& l : links) {
      diags().Warning(script_, p.source_line, "link to a folder \"" + l + "\" in " + source + " not followed");
    }
    return files;
  }
  if (auto file = FindFileNoCase(dir_, source)) {
    return std::vector<SourceFile>{{BaseName(*file), *file}};
  }
  diags().Error(script_, p.source_line, "source folder or file \"" + source + "\" not found");
  return std::nullopt;
}

void Compiler::Groups() {
  std::map<std::string, std::size_t> archive_owner;                       // lower-case target -> group index (0-based)
  std::vector<std::unordered_map<std::string, std::size_t>> group_index;  // per group: lower-case name -> position
  for (Pending& p : lines_) {
    if (p.is_label) continue;
    const auto kind = p.command.group_kind;
    const int count = static_cast<int>(p.args.size());
    if (count < p.command.MinSourceArgs()) continue;
    if (const int n = p.command.scrambled_arg) {
      std::string& secret = p.args[static_cast<std::size_t>(n - 1)];
      secret = ScrambleLine(kPackageCommandKey, secret);
    }
    if (kind == GroupKind::None) continue;
    if (groups_.size() >= kMaxCount) {
      diags().Error(script_, p.source_line, "more than 65535 file, zqpupdate and vfsupdate lines");
      continue;
    }
    const std::size_t own = groups_.size();
    groups_.emplace_back();
    p.args.push_back(std::to_string(own + 1));
    auto files = SourceFiles(p);
    if (!files) continue;
    if (files->empty())
      diags().Warning(script_, p.source_line, "\"" + p.args[0] + "\" holds no files: the group is empty");
    std::size_t target = own;
    if (kind == GroupKind::Archive) {
      const std::string key = Lower(p.args[static_cast<std::size_t>(p.command.archive_arg - 1)]);
      target = archive_owner.emplace(key, own).first->second;
    }
    auto& group = groups_[target];
    // A later file of the same name (any case) replaces the earlier one in its place; hashed,
    // because a payload of tens of thousands of files made a scan per name quadratic.
    if (group_index.size() <= target) group_index.resize(target + 1);
    auto& index = group_index[target];
    for (auto& f : *files) {
      if (kind == GroupKind::Files) p.files_size += static_cast<std::int64_t>(platform::FileSize(f.path).value_or(0));
      PlannedEntry e{f.entry_name, static_cast<std::uint16_t>(target + 1), f.path, {}};
      e.files = kind == GroupKind::Files;
      CheckEntry(e, p.source_line);
      const auto [slot, fresh] = index.try_emplace(Lower(e.name), group.size());
      if (fresh) {
        group.push_back(std::move(e));
      } else {
        group[slot->second] = std::move(e);
      }
    }
  }
  result_.group_count = static_cast<std::uint16_t>(std::min(groups_.size(), kMaxCount));
}

// Each component line gets its state and description written out, then the bytes of the files
// of its "file" lines and the position of its last line, so the engine needs no second pass.
void Compiler::Components() {
  std::map<std::string, std::uint32_t> names;
  std::optional<std::size_t> open;
  auto close = [&](std::size_t last) {
    if (!open) return;
    Pending& c = lines_[*open];
    std::int64_t size = 0;
    for (std::size_t i = *open + 1; i <= last && i < lines_.size(); ++i) size += lines_[i].files_size;
    c.args.push_back(std::to_string(size));
    c.args.push_back(std::to_string(last));
    open.reset();
  };
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    Pending& p = lines_[i];
    if (p.is_label) continue;
    const std::string keyword = p.command.keyword;
    if (keyword == "endcomponent") {
      if (!open) diags().Warning(script_, p.source_line, "endcomponent without a component before it");
      close(i);
      continue;
    }
    if (p.command.build != BuildStep::Component || static_cast<int>(p.args.size()) < p.command.MinSourceArgs())
      continue;
    close(i - 1);
    has_components_ = true;
    if (p.args.size() > 4)
      diags().Error(script_, p.source_line, "component takes at most 4 arguments: name, caption, state, description");
    p.args.resize(4);
    const std::string& name = p.args[0];
    if (!IsValidComponentName(name)) {
      diags().Error(
          script_, p.source_line,
          "component name \"" + name + "\" must be letters, digits, \"_\", \"-\" or \".\" (/COMPONENTS= lists it)");
    } else if (auto [it, fresh] = names.emplace(Lower(name), p.source_line); !fresh) {
      diags().Error(script_, p.source_line,
                    "component \"" + name + "\" is already defined on line " + std::to_string(it->second));
    }
    std::string& state = p.args[2];
    if (state.empty()) state = "on";
    if (const auto word = ComponentStateFromWord(state)) {
      state = ComponentStateWord(*word);
    } else {
      diags().Error(script_, p.source_line, "component state \"" + state + "\" is not on, off or fixed");
    }
    open = i;
  }
  if (open) close(lines_.size() - 1);
}

// A licence is packed as "LICENSE" (or "LICENSE-" and the language table's name); its line
// keeps the entry's name, the language and the file as the script named it.
void Compiler::Licenses() {
  std::vector<std::string> languages;
  for (const Pending& p : lines_) {
    if (!p.is_label && p.command.build == BuildStep::PackLanguage && !p.args.empty())
      languages.push_back(Lower(p.args[0]));
  }
  std::map<std::string, std::uint32_t> seen;
  for (Pending& p : lines_) {
    if (p.is_label || p.command.build != BuildStep::PackLicense || p.args.empty()) continue;
    if (p.args.size() > 2) {
      diags().Error(script_, p.source_line, "license takes a file, or a language table's name and a file");
      continue;
    }
    const std::string language = p.args.size() == 2 ? p.args[0] : std::string();
    const std::string file = p.args.back();
    if (!language.empty() && std::find(languages.begin(), languages.end(), Lower(language)) == languages.end()) {
      diags().Warning(script_, p.source_line,
                      "no \"language " + language + "\" line: this licence is shown for no language");
    }
    const std::string entry = language.empty() ? std::string(kLicenseEntry)
                                               : std::string(kLicenseEntry) + "-" + language;
    if (auto [it, fresh] = seen.emplace(Lower(entry), p.source_line); !fresh) {
      diags().Error(script_, p.source_line,
                    "a licence " + (language.empty() ? std::string("for every language") : "for " + language) +
                        " is already given on line " + std::to_string(it->second));
      continue;
    }
    auto path = FindFileNoCase(dir_, file);
    if (!path) {
      diags().Error(script_, p.source_line, "licence file \"" + file + "\" not found beside the script");
      continue;
    }
    auto bytes = ReadWholeFile(*path);
    if (!bytes) {
      diags().Error(script_, p.source_line, "cannot read " + *path);
      continue;
    }
    has_license_ = true;
    // Plain text is text of the package, read in its encoding as the page files are; rich
    // text carries its own.
    const bool rich = LooksLikeRichText(*bytes);
    AddSetupFile({entry, 0, {}, rich ? std::move(*bytes) : WithCrLf(*bytes), !rich}, p.source_line);
    p.args = {entry, language, file};
  }
}

void Compiler::RunAfter() {
  std::uint32_t earlier = 0;
  for (Pending& p : lines_) {
    if (p.is_label || std::string(p.command.keyword) != "runafter" || p.args.empty()) continue;
    if (earlier != 0) {
      diags().Warning(script_, p.source_line, "runafter overrides the runafter on line " + std::to_string(earlier));
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

// "ifchecked" names a check box or radio button the install pages have.
void Compiler::CheckToggles() {
  for (const Pending& p : lines_) {
    const int n = p.is_label ? 0 : p.command.control_arg;
    if (n == 0 || static_cast<std::size_t>(n) > p.args.size()) continue;
    const std::string& name = p.args[static_cast<std::size_t>(n - 1)];
    bool found = false;
    for (const std::string& t : install_toggles_) found |= Lower(t) == Lower(name);
    if (!found) {
      std::string known;
      for (const std::string& t : install_toggles_) known += (known.empty() ? "" : ", ") + t;
      diags().Error(script_, p.source_line,
                    "the install pages have no check box or radio button \"" + name + "\"" +
                        (known.empty() ? std::string() : " (they have " + known + ")"));
    }
  }
}

void Compiler::CheckEntry(const PlannedEntry& e, std::uint32_t line) {
  if (e.name.size() > kMaxEntryName) {
    diags().Error(script_, line, "entry name \"" + e.name + "\" is longer than 127 bytes");
  } else if (!IsSafeEntryName(e.name)) {
    diags().Error(script_, line, "entry name \"" + e.name + "\" is not a plain relative name");
  } else if (platform::RefusedForCreation("C:\\" + e.name, false) != platform::FileFault::None) {
    diags().Error(script_, line, "entry name \"" + e.name + "\" holds a name or character that Windows does not allow");
  }
  if (!e.source.empty()) {
    auto size = platform::FileSize(e.source);
    if (size && *size > 0xFFFFFFFFull) diags().Error(script_, line, e.source + " is 4 GiB or larger");
  }
}

void Compiler::AddSetupFile(PlannedEntry entry, std::uint32_t line) {
  for (const auto& e : setup_files_) {
    if (Lower(e.name) == Lower(entry.name)) return;
  }
  CheckEntry(entry, line);
  setup_files_.push_back(std::move(entry));
}

// The stock table of a kind ("English.wri" or "uninstall\\English.wri"), loaded; nullopt when
// the tool ships none.
std::optional<std::pair<std::string, TLanguage>> Compiler::StockEnglish(bool uninstall) const {
  const std::string file = uninstall ? "uninstall\\English.wri" : "English.wri";
  for (const auto& stock : options_.stock_language_dirs) {
    auto path = FindFileNoCase(stock, file);
    auto bytes = path ? ReadWholeFile(*path) : std::nullopt;
    TLanguage table;
    if (bytes && table.LoadFromBuffer(bytes->data(), bytes->size())) return std::pair{*path, std::move(table)};
  }
  return std::nullopt;
}

void Compiler::Languages() {
  bool any_install = false, any_uninstall = false;
  const auto stock_install = StockEnglish(false), stock_uninstall = StockEnglish(true);
  for (const Pending& p : lines_) {
    const BuildStep step = p.command.build;
    if (p.is_label || (step != BuildStep::PackLanguage && step != BuildStep::PackUninstallLanguage) || p.args.empty()) {
      continue;
    }
    const bool uninstall = step == BuildStep::PackUninstallLanguage;
    any_install |= !uninstall;
    any_uninstall |= uninstall;
    const std::string& name = p.args[0];
    if (name.find_first_of("/\\:") != std::string::npos) {
      diags().Error(script_, p.source_line, "language table name \"" + name + "\" must be a plain name");
      continue;
    }
    const std::string entry_name = (uninstall ? kUninstallPrefix : "") + std::string(kLanguagePrefix) + name;
    bool duplicate = false;
    for (const auto& e : setup_files_) duplicate |= Lower(e.name) == Lower(entry_name);
    if (duplicate) {
      diags().Warning(script_, p.source_line, "language table \"" + name + "\" is already packed");
      continue;
    }
    const std::string file = (uninstall ? "uninstall\\" : "") + name + ".wri";
    std::optional<std::string> path = FindFileNoCase(dir_, file);
    for (const auto& stock : options_.stock_language_dirs) {
      if (!path) path = FindFileNoCase(stock, file);
    }
    if (!path) {
      diags().Warning(script_, p.source_line,
                      "language table \"" + file + "\" not found beside the script or in the stock tables; not packed");
      continue;
    }
    auto bytes = ReadWholeFile(*path);
    if (!bytes) {
      diags().Error(script_, p.source_line, "cannot read " + *path);
      continue;
    }
    if (bytes->size() < 2 || (*bytes)[0] != 0xFF || (*bytes)[1] != 0xFE) {
      diags().Error(script_, p.source_line, *path + ": a language table must be UTF-16LE with a byte-order mark");
      continue;
    }
    TLanguage loaded;
    if (std::string problem; !loaded.LoadFromBuffer(bytes->data(), bytes->size(), &problem)) {
      diags().Error(script_, p.source_line, *path + ": " + problem);
      continue;
    }
    // A text the table lacks (the stock pages gained it after the table was written) reads
    // in English rather than as "NOT FOUND".
    const auto& stock = uninstall ? stock_uninstall : stock_install;
    std::vector<std::int32_t> added;
    std::vector<std::uint8_t> completed;
    if (stock) completed = CompleteFromStock(*bytes, loaded, stock->second, &added);
    if (added.empty()) {
      AddSetupFile({entry_name, 0, *path, {}}, p.source_line);
    } else {
      AddSetupFile({entry_name, 0, {}, std::move(completed)}, p.source_line);
    }
  }
  // Without a table of its own a setup speaks the stock English.
  const auto pack_stock = [&](bool uninstall) {
    const auto& stock = uninstall ? stock_uninstall : stock_install;
    if (!stock) return false;
    AddSetupFile({(uninstall ? kUninstallPrefix : "") + std::string(kLanguagePrefix) + "English", 0, stock->first, {}},
                 0);
    return true;
  };
  if (!any_install && !pack_stock(false)) {
    diags().Warning(script_, 0, "no language table, and no stock English: every text of the setup reads \"NOT FOUND\"");
  }
  if (result_.info.HasUninstaller && !any_uninstall && !pack_stock(true)) {
    diags().Warning(script_, 0,
                    "no uninstaller language table, and no stock English: every text of the uninstaller reads \"NOT "
                    "FOUND\"");
  }
}

void Compiler::SetupFiles() {
  const TSetupInfoFile& info = result_.info;
  // A folder beside the script first, then the stock page sets shipped with the tool.
  auto find_pages = [&](const std::string& folder) {
    auto path = FindDirNoCase(dir_, folder);
    for (const auto& stock : options_.stock_page_dirs) {
      if (path) break;
      path = FindDirNoCase(stock, folder);
    }
    return path;
  };
  auto pages = [&](const std::string& folder, const char* prefix, std::uint32_t line, PageSetFacts facts = {},
                   std::vector<std::string>* toggles = nullptr) {
    auto path = find_pages(folder);
    if (!path) {
      diags().Error(script_, line,
                    "pages folder \"" + folder + "\" not found beside the script or among the stock pages");
      return std::optional<std::string>();
    }
    for (auto& e : CollectPageFiles(*path, prefix, script_, line, diags(), facts, toggles)) {
      AddSetupFile(std::move(e), line);
    }
    return path;
  };
  if (!info.Pages.empty()) {
    pages(info.Pages, "", pages_line_,
          {.has_changelog = !info.Changelog.empty(), .has_components = has_components_, .has_license = has_license_},
          &install_toggles_);
  } else if (find_pages("install")) {
    // A script without pages gets the stock wizard, without its change-log page when there is no log to show.
    pages("install", "", 0,
          {.has_changelog = !info.Changelog.empty(),
           .drop_changelog_page = info.Changelog.empty(),
           .has_components = has_components_,
           .has_license = has_license_},
          &install_toggles_);
  }
  std::optional<std::string> uninstall_folder;
  if (info.HasUninstaller) {
    uninstall_folder = pages(info.UninstallPages, kUninstallPrefix, uninstall_pages_line_, {.has_changelog = true});
  }

  if (!info.Changelog.empty()) {
    if (auto path = FindFileNoCase(dir_, info.Changelog)) {
      AddSetupFile({info.Changelog, 0, *path, {}}, changelog_line_);
    } else {
      diags().Warning(script_, changelog_line_,
                      "change log \"" + info.Changelog + "\" not found beside the script; not packed");
    }
  }

  auto extra = [&](const std::string& given, const char* in_folder, const char* entry, const char* what,
                   const std::string& fallback) {
    if (!given.empty()) {
      if (!info.HasUninstaller) {
        diags().Warning(
            "", 0, std::string("the script makes no uninstaller (no uninstallpages); the ") + what + " is not packed");
      } else if (!platform::FileExists(given)) {
        diags().Error("", 0, std::string(what) + " \"" + given + "\" not found");
      } else {
        AddSetupFile({entry, 0, given, {}}, 0);
      }
      return;
    }
    if (!uninstall_folder) return;
    if (auto path = FindFileNoCase(*uninstall_folder, in_folder)) {
      AddSetupFile({entry, 0, *path, {}}, 0);
    } else if (!fallback.empty() && platform::FileExists(fallback)) {
      AddSetupFile({entry, 0, fallback, {}}, 0);
    }
  };
  const bool x64 = result_.program.run.Arch == Architecture::X64 && !options_.default_finaliser_x64.empty();
  extra(options_.finaliser, "finalise.exe", (kUninstallPrefix + std::string(kFinaliserEntry)).c_str(), "finaliser",
        x64 ? options_.default_finaliser_x64 : options_.default_finaliser);
  extra(options_.uninstall_icon, "icon.ico", kUninstallIconEntry, "uninstaller icon", "");
}

void Compiler::Assemble() {
  auto& out = result_.lines.Lines;
  out.reserve(lines_.size());
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Pending& p = lines_[i];
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
  auto& entries = result_.entries;
  auto info = result_.info.Serialize();
  entries.push_back({kSetupInfoEntry, 0, {}, {info.begin(), info.end()}});
  auto compiled = result_.lines.Serialize();
  entries.push_back({kCompiledLinesEntry, 0, {}, {compiled.begin(), compiled.end()}});
  RunOptions run_options = result_.program.run;
  run_options.Version = result_.program.version;
  if (!run_options.IsDefault()) {
    const std::string options = FormatRunOptions(run_options);
    entries.push_back({kRunOptionsEntry, 0, {}, {options.begin(), options.end()}});
  }
  for (auto& e : setup_files_) entries.push_back(std::move(e));
  for (auto& g : groups_) {
    for (auto& e : g) entries.push_back(std::move(e));
  }
  if (entries.size() > kMaxCount) {
    diags().Error(script_, 0,
                  "the package would hold " + std::to_string(entries.size()) + " entries; at most 65535 fit");
  }
}

}  // namespace

CompileResult CompileSource(const std::string& text, const std::string& script, const CompileOptions& options) {
  return Compiler(script, options).Run(text);
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
