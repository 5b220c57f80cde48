#include <optional>
#include <string>
#include <vector>

#include "builder/compile_state.h"
#include "builder/page_files.h"
#include "builder/source_files.h"
#include "container/entry_names.h"
#include "platform/files.h"

namespace zq::builder::compile {

void SetupFiles(State& s) {
  const TSetupInfoFile& info = s.result.info;
  // A folder beside the script first, then the stock page sets shipped with the tool.
  auto find_pages = [&](const std::string& folder) {
    auto path = FindDirNoCase(s.dir, folder);
    for (const auto& stock : s.options.stock_page_dirs) {
      if (path) break;
      path = FindDirNoCase(stock, folder);
    }
    return path;
  };
  auto pages = [&](const std::string& folder, const char* prefix, std::uint32_t line, PageSetFacts facts = {},
                   std::vector<std::string>* toggles = nullptr) {
    auto path = find_pages(folder);
    if (!path) {
      s.diags().Error(s.script, line,
                      "pages folder \"" + folder + "\" not found beside the script or among the stock pages");
      return std::optional<std::string>();
    }
    for (auto& e : CollectPageFiles(*path, prefix, s.script, line, s.diags(), facts, toggles)) {
      s.AddSetupFile(std::move(e), line);
    }
    return path;
  };
  if (!info.Pages.empty()) {
    pages(info.Pages, "", s.pages_line,
          {.has_changelog = !info.Changelog.empty(), .has_components = s.has_components, .has_license = s.has_license},
          &s.install_toggles);
  } else if (find_pages("install")) {
    // A script without pages gets the stock wizard, without its change-log page when there is no log to show.
    pages("install", "", 0,
          {.has_changelog = !info.Changelog.empty(),
           .drop_changelog_page = info.Changelog.empty(),
           .has_components = s.has_components,
           .has_license = s.has_license},
          &s.install_toggles);
  }
  std::optional<std::string> uninstall_folder;
  if (info.HasUninstaller) {
    uninstall_folder = pages(info.UninstallPages, kUninstallPrefix, s.uninstall_pages_line, {.has_changelog = true});
  }

  if (!info.Changelog.empty()) {
    if (auto path = FindFileNoCase(s.dir, info.Changelog)) {
      s.AddSetupFile({info.Changelog, 0, *path, {}}, s.changelog_line);
    } else {
      s.diags().Warning(s.script, s.changelog_line,
                        "change log \"" + info.Changelog + "\" not found beside the script; not packed");
    }
  }

  auto extra = [&](const std::string& given, const char* in_folder, const char* entry, const char* what,
                   const std::string& fallback) {
    if (!given.empty()) {
      if (!info.HasUninstaller) {
        s.diags().Warning(
            "", 0, std::string("the script makes no uninstaller (no uninstallpages); the ") + what + " is not packed");
      } else if (!platform::FileExists(given)) {
        s.diags().Error("", 0, std::string(what) + " \"" + given + "\" not found");
      } else {
        s.AddSetupFile({entry, 0, given, {}}, 0);
      }
      return;
    }
    if (!uninstall_folder) return;
    if (auto path = FindFileNoCase(*uninstall_folder, in_folder)) {
      s.AddSetupFile({entry, 0, *path, {}}, 0);
    } else if (!fallback.empty() && platform::FileExists(fallback)) {
      s.AddSetupFile({entry, 0, fallback, {}}, 0);
    }
  };
  const bool x64 = s.result.program.run.Arch == Architecture::X64 && !s.options.default_finaliser_x64.empty();
  extra(s.options.finaliser, "finalise.exe", (kUninstallPrefix + std::string(kFinaliserEntry)).c_str(), "finaliser",
        x64 ? s.options.default_finaliser_x64 : s.options.default_finaliser);
  extra(s.options.uninstall_icon, "icon.ico", kUninstallIconEntry, "uninstaller icon", "");
}

}  // namespace zq::builder::compile
