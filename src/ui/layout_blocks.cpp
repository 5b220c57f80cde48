#include "ui/layout_blocks.h"

#include "ui/line_list.h"

namespace zq {

void ForEachLayoutBlock(std::string_view text, const std::function<void(const LayoutBlock&)>& visit) {
  TLineList lines;
  SplitLines(lines, text);
  ForEachSection(lines, [&](const TLineList& section, const std::vector<std::size_t>& numbers) {
    const std::string type_line = section.Get(1);
    const std::size_t eq = type_line.find('=');
    if (eq == std::string::npos) return;
    const auto type = ControlTypeFromWord(type_line.substr(eq + 1));
    if (!type) return;
    LayoutBlock block;
    const std::string head = section.Get(0);
    block.Name = head.size() >= 2 ? head.substr(1, head.size() - 2) : std::string();
    block.Number = numbers[0];
    block.Type = *type;
    std::size_t index = 0;
    section.ForEach([&](const std::string& line) {
      if (index >= 2) {
        const std::size_t split = line.find('=');
        if (split == std::string::npos) block.Properties.push_back({std::string(), line, numbers[index]});
        else block.Properties.push_back({line.substr(0, split), line.substr(split + 1), numbers[index]});
      }
      ++index;
    });
    visit(block);
  });
}

}  // namespace zq
