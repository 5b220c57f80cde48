#include "ui/page_list.h"

#include <iterator>
#include <vector>

#include "base/path_text.h"
#include "ui/line_list.h"

namespace zq {

std::optional<PageKind> PageTypeFromWord(std::string_view word) {
  static constexpr const char* kWords[] = {"welcome", "changelog",  "installdir", "patch",      "patching",
                                           "finish",  "mainlayout", "uninstall",  "components", "license"};
  const std::string lower = AsciiLowerCase(std::string(word));
  for (std::uint8_t i = 0; i < std::size(kWords); ++i) {
    if (lower == kWords[i]) return static_cast<PageKind>(i);
  }
  return std::nullopt;
}

void ForEachPageListLine(std::string_view text, const std::function<void(const PageListLine&)>& visit) {
  TLineList lines;
  SplitLines(lines, text);
  ForEachSection(lines, [&](const TLineList& section, const std::vector<std::size_t>& numbers) {
    const std::string head = section.Get(0);
    PageListLine line;
    line.Section = AsciiLowerCase(head.size() >= 2 ? head.substr(1, head.size() - 2) : std::string());
    section.ForEach([&](const std::string& text_line) {
      if (line.Index > 0) {
        line.Text = text_line;
        line.Number = numbers[line.Index];
        visit(line);
      }
      ++line.Index;
    });
  });
}

}  // namespace zq
