// The page list ("Pages.txt"): the layouts of the pages in order ([Pages]), their types
// ([PageTypes]) and the page area's colours ([Settings]).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zq {

enum PageKind : std::uint8_t {
  ptWelcome = 0,
  ptChangeLog = 1,
  ptInstallDir = 2,
  ptPatch = 3,     // the confirmation page: the last page before the run
  ptPatching = 4,  // the progress page, shown while the script runs
  ptFinish = 5,
  ptMainLayout = 6,
  ptUninstall = 7,
  ptComponents = 8,  // the components' check boxes; the stock sets show it when the script has components
  ptLicense = 9,     // the licence: Next only once it is accepted
};

// "welcome" ... "uninstall", "components", "license", any case; nothing for another word.
std::optional<PageKind> PageTypeFromWord(std::string_view word);

// A line of the page list below its section's head.
struct PageListLine {
  std::string Section;    // the head without its brackets, in lower case: "pages", "pagetypes", ...
  std::size_t Index = 0;  // 1-based place below the head
  std::string Text;
  std::size_t Number = 0;  // 1-based line number in the file
};

// Visits the page list's lines in file order, grouped as ForEachSection groups them (lines
// before the first "[" line form a section headed by their first line).
void ForEachPageListLine(std::string_view text, const std::function<void(const PageListLine&)>& visit);

}  // namespace zq
