// The files a pages folder contributes: its page list "Pages.txt" and the layouts, pictures
// and rich-text files that the list and the layouts name.
#pragma once

#include <string>
#include <vector>

#include "builder/build_plan.h"
#include "builder/diagnostics.h"

namespace zq::builder {

// `folder` is the pages folder on disk; the files are taken from its "layout" subfolder
// when that holds a "Pages.txt", else from the folder itself. Entries are named as the page
// list and layouts name them, with `entry_prefix` in front. Text files are packed with CR LF
// line breaks, the only breaks the engine reads. Problems go to `diags`, located at
// `script`:`line` or at the page file concerned. The pages are then built as the engine builds
// them, so a layout it would reject is an error here instead of on the user's machine.
struct PageSetFacts {
  bool has_changelog = false;        // the script names a change log
  bool drop_changelog_page = false;  // leave change-log pages out (the stock set without a log)
  // Without components or a licence, their pages have nothing to show: they are left out.
  bool has_components = false;
  bool has_license = false;
};
// `toggles`, when given, receives the names of the set's check boxes and radio buttons.
std::vector<PlannedEntry> CollectPageFiles(const std::string& folder, const std::string& entry_prefix,
                                           const std::string& script, std::uint32_t line, Diagnostics& diags,
                                           const PageSetFacts& facts = {}, std::vector<std::string>* toggles = nullptr);

// Lone LF breaks as CR LF; other bytes unchanged.
std::vector<std::uint8_t> WithCrLf(const std::vector<std::uint8_t>& text);

}  // namespace zq::builder
