#include "ui/line_list.h"

namespace zq {

void TLineList::Add(std::string line) {
  auto node = std::make_unique<Node>();
  node->text = std::move(line);
  Node* raw = node.get();
  if (tail_ == nullptr) head_ = std::move(node);
  else tail_->next = std::move(node);
  tail_ = raw;
  ++count_;
}

std::string TLineList::Get(std::size_t index) const {
  const Node* node = head_.get();
  for (std::size_t i = 0; node != nullptr && i < index; ++i) node = node->next.get();
  return node != nullptr ? node->text : std::string();
}

void TLineList::Clear() {
  // Iteratively, so a long list cannot exhaust the stack through nested destructors.
  while (head_) head_ = std::move(head_->next);
  tail_ = nullptr;
  count_ = 0;
}

std::string TrimLine(std::string_view text) {
  auto low = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  std::size_t b = 0, e = text.size();
  while (b < e && low(text[b])) ++b;
  while (e > b && low(text[e - 1])) --e;
  return std::string(text.substr(b, e - b));
}

void SplitLines(TLineList& list, std::string_view text) {
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t cr = text.find('\r', start);
    if (cr == std::string_view::npos) {
      list.Add(TrimLine(text.substr(start)));
      return;
    }
    list.Add(TrimLine(text.substr(start, cr - start)));
    start = cr + 1;
  }
}

void ForEachSection(const TLineList& lines,
                    const std::function<void(const TLineList&, const std::vector<std::size_t>&)>& act) {
  TLineList section;
  std::vector<std::size_t> numbers;
  std::size_t number = 0;
  lines.ForEach([&](const std::string& line) {
    ++number;
    if (line.empty()) return;
    if (line[0] == '[' && section.Count() > 0) {
      act(section, numbers);
      section.Clear();
      numbers.clear();
    }
    section.Add(line);
    numbers.push_back(number);
  });
  if (section.Count() > 0) act(section, numbers);
}

}  // namespace zq
