#include <algorithm>
#include <cctype>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/macro_names.h"
#include "builder/compile_state.h"
#include "platform/text.h"
#include "script/exit_code.h"
#include "ui/language_error.h"
#include "ui/languages.h"
#include "uninstall/log_prefix.h"

namespace zq::builder::compile {

namespace {

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

// A "$" followed by a letter that does not start a known macro or a declared variable, or nothing.
std::optional<std::string> UnknownMacro(const std::string& text, const std::set<std::string>& variables) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '$' || i + 1 == text.size() || !std::isalpha(static_cast<unsigned char>(text[i + 1]))) continue;
    std::size_t end = i + 1;
    while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) ++end;
    const std::string word = platform::UpperCase(text.substr(i, end - i));
    if (std::find(kMacroNames.begin(), kMacroNames.end(), word) == kMacroNames.end() &&
        !variables.count(word.substr(1))) {
      return text.substr(i, end - i);
    }
  }
  return std::nullopt;
}

}  // namespace

// What the engine would make of the arguments, known before they are scrambled or resolved.
void CheckArguments(State& s) {
  TLanguages tags;  // no tables: every tag is read as the engine reads it
  tags.Current = -1;
  for (const Pending& p : s.lines) {
    if (p.is_label || static_cast<int>(p.args.size()) < p.command.MinSourceArgs()) continue;
    if (const std::size_t n = RootArg(p); n != 0 && !IsRegistryRoot(p.args[n - 1])) {
      s.diags().Error(s.script, p.source_line,
                      "registry root \"" + p.args[n - 1] + "\" is not one of HKLM, HKCU, HKCR, HKU, HKCC");
    }
    if (p.command.index == CommandIndexOf("ifexitcode") && !ParseExitCode(p.args[0])) {
      s.diags().Error(s.script, p.source_line,
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
        s.diags().Error(s.script, p.source_line, std::string("bad language tag: ") + e.what());
      }
    }
    for (std::size_t a = 0; a < p.args.size(); ++a) {
      const int number = static_cast<int>(a + 1);
      if (number == p.command.scrambled_arg) continue;
      if (p.command.IsJumpArg(number, p.args.size())) continue;
      if (auto word = UnknownMacro(p.args[a], s.variables)) {
        std::string known;
        for (const std::string_view name : kMacroNames) known += (known.empty() ? "" : ", ") + std::string(name);
        s.diags().Warning(s.script, p.source_line,
                          "\"" + *word + "\" is not a known macro (" + known +
                              ") or a variable declared with var; the setup uses it as written");
      }
    }
  }
}

// The log loaded replaces the lists kept so far; without one, an install over an older
// version forgets the older version's files. A load under a prefix no log of the product has
// finds nothing, silently, at every upgrade.
void CheckUninstallLogLoad(State& s) {
  std::vector<std::string> written;  // lower-case prefixes of the logs this product writes
  if (s.result.info.HasUninstaller) written.push_back(Lower(s.result.info.LogPrefix));
  for (const Pending& p : s.lines) {
    if (!p.is_label && !p.args.empty() && std::string(p.command.keyword) == "uninstalllogsave") {
      written.push_back(Lower(LogPrefixOfWord(p.args.size() >= 2 ? p.args[1] : "")));
    }
  }
  for (const Pending& p : s.lines) {
    if (p.is_label || p.args.empty() || std::string(p.command.keyword) != "uninstalllogload") continue;
    const std::string word = p.args.size() >= 2 ? p.args[1] : "";
    bool matches = false;
    for (const std::string& prefix : LogPrefixesToLoad(word)) {
      matches |= std::find(written.begin(), written.end(), Lower(prefix)) != written.end();
    }
    if (!matches) {
      std::string names;
      for (const std::string& w : written) names += (names.empty() ? "" : ", ") + w + "install.log";
      s.diags().Warning(s.script, p.source_line,
                        "uninstalllogload finds " + LogPrefixOfWord(word) +
                            "install.log, a log this setup never writes" +
                            (names.empty() ? "" : " (it writes " + names + ")"));
    }
  }
  if (!s.result.info.HasUninstaller) return;
  const std::string installdir = Lower(s.result.info.InstallDir);
  bool loads_installdir = false;
  std::uint32_t recorded_line = 0;
  for (const Pending& p : s.lines) {
    if (p.is_label || p.args.empty()) continue;
    const std::string keyword = p.command.keyword;
    if (keyword == "uninstalllogload") {
      std::string dir = Lower(p.args[0]);
      while (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
      loads_installdir |= dir == "$instdir" || dir == "$installdir" || (!installdir.empty() && dir == installdir);
      if (recorded_line != 0) {
        s.diags().Warning(s.script, p.source_line,
                          "uninstalllogload replaces what the lines before it recorded for the uninstaller (" +
                              s.diags().LineName(recorded_line) + "); load the log before them");
      }
    } else if (recorded_line == 0 &&
               (p.command.group_kind != GroupKind::None || keyword == "copyfile" || keyword == "createdirectory" ||
                keyword == "writeregstr" || keyword == "writeregstr_url" || keyword == "createshortcut")) {
      recorded_line = p.source_line;
    }
  }
  if (!loads_installdir) {
    s.diags().Warning(s.script, 0,
                      "no uninstalllogload of the installation folder: after an install over an older version, "
                      "the uninstaller leaves the older version's files behind");
  }
}

// "ifchecked" names a check box or radio button the install pages have.
void CheckToggles(State& s) {
  for (const Pending& p : s.lines) {
    const int n = p.is_label ? 0 : p.command.control_arg;
    if (n == 0 || static_cast<std::size_t>(n) > p.args.size()) continue;
    const std::string& name = p.args[static_cast<std::size_t>(n - 1)];
    bool found = false;
    for (const std::string& t : s.install_toggles) found |= Lower(t) == Lower(name);
    if (!found) {
      std::string known;
      for (const std::string& t : s.install_toggles) known += (known.empty() ? "" : ", ") + t;
      s.diags().Error(s.script, p.source_line,
                      "the install pages have no check box or radio button \"" + name + "\"" +
                          (known.empty() ? std::string() : " (they have " + known + ")"));
    }
  }
}

}  // namespace zq::builder::compile
