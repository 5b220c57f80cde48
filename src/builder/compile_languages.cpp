#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "builder/compile_state.h"
#include "builder/page_files.h"
#include "builder/source_files.h"
#include "builder/table_fallback.h"
#include "container/entry_names.h"
#include "container/pak_string.h"
#include "ui/control.h"
#include "ui/language.h"

namespace zq::builder::compile {

namespace {

// The stock table of a kind ("English.wri" or "uninstall\\English.wri"), loaded; nullopt when
// the tool ships none.
std::optional<std::pair<std::string, TLanguage>> StockEnglish(const State& s, bool uninstall) {
  const std::string file = uninstall ? "uninstall\\English.wri" : "English.wri";
  for (const auto& stock : s.options.stock_language_dirs) {
    auto path = FindFileNoCase(stock, file);
    auto bytes = path ? ReadWholeFile(*path) : std::nullopt;
    TLanguage table;
    if (bytes && table.LoadFromBuffer(bytes->data(), bytes->size())) return std::pair{*path, std::move(table)};
  }
  return std::nullopt;
}

}  // namespace

void Languages(State& s) {
  bool any_install = false, any_uninstall = false;
  const auto stock_install = StockEnglish(s, false), stock_uninstall = StockEnglish(s, true);
  for (const Pending& p : s.lines) {
    const BuildStep step = p.command.build;
    if (p.is_label || (step != BuildStep::PackLanguage && step != BuildStep::PackUninstallLanguage) || p.args.empty()) {
      continue;
    }
    const bool uninstall = step == BuildStep::PackUninstallLanguage;
    any_install |= !uninstall;
    any_uninstall |= uninstall;
    const std::string& name = p.args[0];
    if (name.find_first_of("/\\:") != std::string::npos) {
      s.diags().Error(s.script, p.source_line, "language table name \"" + name + "\" must be a plain name");
      continue;
    }
    const std::string entry_name = (uninstall ? kUninstallPrefix : "") + std::string(kLanguagePrefix) + name;
    bool duplicate = false;
    for (const auto& e : s.setup_files) duplicate |= Lower(e.name) == Lower(entry_name);
    if (duplicate) {
      s.diags().Warning(s.script, p.source_line, "language table \"" + name + "\" is already packed");
      continue;
    }
    const std::string file = (uninstall ? "uninstall\\" : "") + name + ".wri";
    std::optional<std::string> path = FindFileNoCase(s.dir, file);
    for (const auto& stock : s.options.stock_language_dirs) {
      if (!path) path = FindFileNoCase(stock, file);
    }
    if (!path) {
      s.diags().Warning(
          s.script, p.source_line,
          "language table \"" + file + "\" not found beside the script or in the stock tables; not packed");
      continue;
    }
    auto bytes = ReadWholeFile(*path);
    if (!bytes) {
      s.diags().Error(s.script, p.source_line, "cannot read " + *path);
      continue;
    }
    if (bytes->size() < 2 || (*bytes)[0] != 0xFF || (*bytes)[1] != 0xFE) {
      s.diags().Error(s.script, p.source_line, *path + ": a language table must be UTF-16LE with a byte-order mark");
      continue;
    }
    TLanguage loaded;
    if (std::string problem; !loaded.LoadFromBuffer(bytes->data(), bytes->size(), &problem)) {
      s.diags().Error(s.script, p.source_line, *path + ": " + problem);
      continue;
    }
    // A text the table lacks (the stock pages gained it after the table was written) reads
    // in English rather than as "NOT FOUND".
    const auto& stock = uninstall ? stock_uninstall : stock_install;
    std::vector<std::int32_t> added;
    std::vector<std::uint8_t> completed;
    if (stock) completed = CompleteFromStock(*bytes, loaded, stock->second, &added);
    if (added.empty()) {
      s.AddSetupFile({entry_name, 0, *path, {}}, p.source_line);
    } else {
      s.AddSetupFile({entry_name, 0, {}, std::move(completed)}, p.source_line);
    }
  }
  // Without a table of its own a setup speaks the stock English.
  const auto pack_stock = [&](bool uninstall) {
    const auto& stock = uninstall ? stock_uninstall : stock_install;
    if (!stock) return false;
    s.AddSetupFile(
        {(uninstall ? kUninstallPrefix : "") + std::string(kLanguagePrefix) + "English", 0, stock->first, {}}, 0);
    return true;
  };
  if (!any_install && !pack_stock(false)) {
    s.diags().Warning(s.script, 0,
                      "no language table, and no stock English: every text of the setup reads \"NOT FOUND\"");
  }
  if (s.result.info.HasUninstaller && !any_uninstall && !pack_stock(true)) {
    s.diags().Warning(s.script, 0,
                      "no uninstaller language table, and no stock English: every text of the uninstaller reads \"NOT "
                      "FOUND\"");
  }
}

// A licence is packed as "LICENSE" (or "LICENSE-" and the language table's name); its line
// keeps the entry's name, the language and the file as the script named it.
void Licenses(State& s) {
  std::vector<std::string> languages;
  for (const Pending& p : s.lines) {
    if (!p.is_label && p.command.build == BuildStep::PackLanguage && !p.args.empty())
      languages.push_back(Lower(p.args[0]));
  }
  std::map<std::string, std::uint32_t> seen;
  for (Pending& p : s.lines) {
    if (p.is_label || p.command.build != BuildStep::PackLicense || p.args.empty()) continue;
    if (p.args.size() > 2) {
      s.diags().Error(s.script, p.source_line, "license takes a file, or a language table's name and a file");
      continue;
    }
    const std::string language = p.args.size() == 2 ? p.args[0] : std::string();
    const std::string file = p.args.back();
    if (!language.empty() && std::find(languages.begin(), languages.end(), Lower(language)) == languages.end()) {
      s.diags().Warning(s.script, p.source_line,
                        "no \"language " + language + "\" line: this licence is shown for no language");
    }
    const std::string entry = language.empty() ? std::string(kLicenseEntry)
                                               : std::string(kLicenseEntry) + "-" + language;
    if (auto [it, fresh] = seen.emplace(Lower(entry), p.source_line); !fresh) {
      s.diags().Error(s.script, p.source_line,
                      "a licence " + (language.empty() ? std::string("for every language") : "for " + language) +
                          " is already given on " + s.diags().LineName(it->second));
      continue;
    }
    auto path = FindFileNoCase(s.dir, file);
    if (!path) {
      s.diags().Error(s.script, p.source_line, "licence file \"" + file + "\" not found beside the script");
      continue;
    }
    auto bytes = ReadWholeFile(*path);
    if (!bytes) {
      s.diags().Error(s.script, p.source_line, "cannot read " + *path);
      continue;
    }
    s.has_license = true;
    // Plain text is text of the package, read in its encoding as the page files are; rich
    // text carries its own.
    const bool rich = LooksLikeRichText(*bytes);
    s.AddSetupFile({entry, 0, {}, rich ? std::move(*bytes) : WithCrLf(*bytes), !rich}, p.source_line);
    p.args = {entry, language, file};
  }
}

}  // namespace zq::builder::compile
