#include "builder/script_compiler.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <unordered_map>

#include "builder/build_paths.h"
#include "builder/page_files.h"
#include "builder/program_lines.h"
#include "builder/script_syntax.h"
#include "builder/source_files.h"
#include "container/entry_name.h"
#include "container/entry_names.h"
#include "container/pak_string.h"
#include "base/macro_names.h"
#include "base/registry_roots.h"
#include "base/scrambler.h"
#include "platform/files.h"
#include "platform/text.h"
#include "script/command_table.h"
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
};

std::string Lower(const std::string& s) { return platform::AnsiLowerCase(s); }
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
  auto first = [](const CommandInfo& c) { return c.jump_args != 0 && c.first_label; };
  auto last = [](const CommandInfo& c) { return c.jump_args != 0 && !c.first_label; };
  return KeywordList(first) + " jumps to the first, " + KeywordList(last) + " to the last";
}

// Valid UTF-8 holding at least one byte above ASCII: the script was written in UTF-8.
bool LooksLikeUtf8(const std::string& text) {
  bool high = false;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    high = true;
    std::size_t extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
    if (extra == 0 || c == 0xC0 || c == 0xC1 || c > 0xF4 || i + extra >= text.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return high;
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
  void Languages();
  void SetupFiles();
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
  result_.program.name = result_.info.SetupName;
  CheckArguments();
  CheckUninstallLogLoad();
  ResolveJumps();
  Groups();
  Languages();
  SetupFiles();
  Assemble();
  return std::move(result_);
}

void Compiler::ReadLines(const std::string& text) {
  const bool utf8 = LooksLikeUtf8(text);
  const auto source_lines = SplitScriptLines(text);
  for (std::size_t i = 0; i < source_lines.size(); ++i) {
    const auto number = static_cast<std::uint32_t>(i + 1);
    std::string line = source_lines[i];
    if (utf8) {
      std::string ansi = platform::WideToAnsi(platform::Utf8ToWide(line));
      std::size_t before = 0, after = 0;
      for (char c : line) before += c == '?';
      for (char c : ansi) after += c == '?';
      if (after > before) diags().Warning(script_, number, "characters outside the ANSI code page became \"?\"");
      line = std::move(ansi);
    }
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
    } else if (command->jump_args != 0 && count < command->JumpArg(0)) {
      diags().Warning(script_, number, std::string(command->keyword) + " without a label never jumps");
    }
    for (std::size_t a = 0; a < p.args.size(); ++a) {
      if (p.args[a].size() > kMaxCount) {
        diags().Error(script_, number, "argument " + std::to_string(a + 1) + " is longer than 65535 bytes");
      }
    }
    if (count >= command->MinSourceArgs() && !command->AcceptsArgCount(stored)) {
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
      case BuildStep::PackUninstallLanguage: break;
    }
  }
}

bool IsRegistryRoot(const std::string& word) {
  const std::string up = platform::AnsiUpperCase(word);
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
    const std::string word = platform::AnsiUpperCase(text.substr(i, end - i));
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
    if (std::string(p.command.keyword) == "message") {
      try {
        tags.ExpandLangTags(platform::AnsiToWide(p.args[0]));
      } catch (const LanguageError& e) {
        diags().Error(script_, p.source_line, std::string("bad language tag: ") + e.what());
      }
    }
    for (std::size_t a = 0; a < p.args.size(); ++a) {
      const int number = static_cast<int>(a + 1);
      if (number == p.command.scrambled_arg) continue;
      bool jump = false;
      for (int k = 0; const int j = p.command.JumpArg(k); ++k) jump |= j == number;
      if (jump) continue;
      if (auto word = UnknownMacro(p.args[a])) {
        std::string known;
        for (const std::string_view name : kMacroNames) known += (known.empty() ? "" : ", ") + std::string(name);
        diags().Warning(script_, p.source_line,
                        "\"" + *word + "\" is not a known macro (" + known + "); the setup uses it as written");
      }
    }
  }
}

// The log loaded replaces the lists kept so far; without one, an install over an older
// version forgets the older version's files.
void Compiler::CheckUninstallLogLoad() {
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
    for (int k = 0; const int n = p.command.JumpArg(k); ++k) {
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

void Compiler::CheckEntry(const PlannedEntry& e, std::uint32_t line) {
  if (e.name.size() > kMaxEntryName) {
    diags().Error(script_, line, "entry name \"" + e.name + "\" is longer than 127 characters");
  } else if (!IsSafeEntryName(e.name)) {
    diags().Error(script_, line, "entry name \"" + e.name + "\" is not a plain relative name");
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

void Compiler::Languages() {
  bool any_install = false;
  for (const Pending& p : lines_) {
    const BuildStep step = p.command.build;
    if (p.is_label || (step != BuildStep::PackLanguage && step != BuildStep::PackUninstallLanguage) || p.args.empty()) {
      continue;
    }
    const bool uninstall = step == BuildStep::PackUninstallLanguage;
    any_install |= !uninstall;
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
    if (std::string problem; !TLanguage().LoadFromBuffer(bytes->data(), bytes->size(), &problem)) {
      diags().Error(script_, p.source_line, *path + ": " + problem);
      continue;
    }
    AddSetupFile({entry_name, 0, *path, {}}, p.source_line);
  }
  if (!any_install) diags().Warning(script_, 0, "no language table: every text of the setup reads \"NOT FOUND\"");
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
  auto pages = [&](const std::string& folder, const char* prefix, std::uint32_t line, PageSetFacts facts = {}) {
    auto path = find_pages(folder);
    if (!path) {
      diags().Error(script_, line,
                    "pages folder \"" + folder + "\" not found beside the script or among the stock pages");
      return std::optional<std::string>();
    }
    for (auto& e : CollectPageFiles(*path, prefix, script_, line, diags(), facts)) AddSetupFile(std::move(e), line);
    return path;
  };
  if (!info.Pages.empty()) {
    pages(info.Pages, "", pages_line_, {.has_changelog = !info.Changelog.empty()});
  } else if (find_pages("install")) {
    // A script without pages gets the stock wizard, without its change-log page when there is no log to show.
    pages("install", "", 0, {.has_changelog = !info.Changelog.empty(), .drop_changelog_page = info.Changelog.empty()});
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
  extra(options_.finaliser, "finalise.exe", (kUninstallPrefix + std::string(kFinaliserEntry)).c_str(), "finaliser",
        options_.default_finaliser);
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
  if (result_.program.locked_files_reboot) {
    const std::string options = std::string(kLockedFilesReboot) + "\r\n";
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
  CompileResult result = Compiler(script, options).Run(text);
  result.legacy_script = !platform::IsUtf8(text);
  return result;
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
