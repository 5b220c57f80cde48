// The page files' own line list and the line rules shared by the page list and layouts.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zq {

// Singly linked, appended at the tail; Get walks from the head (the files are small).
class TLineList {
 public:
  TLineList() = default;
  TLineList(const TLineList&) = delete;
  TLineList& operator=(const TLineList&) = delete;
  ~TLineList() { Clear(); }

  void Add(std::string line);
  // Empty text for an index out of range.
  std::string Get(std::size_t index) const;
  void Clear();
  std::size_t Count() const { return count_; }
  // Visits every line in order (a walk with Get would be quadratic on long damaged files).
  template <typename F>
  void ForEach(F&& visit) const {
    for (const Node* n = head_.get(); n != nullptr; n = n->next.get()) visit(n->text);
  }

 private:
  struct Node {
    std::string text;
    std::unique_ptr<Node> next;
  };
  std::unique_ptr<Node> head_;
  Node* tail_ = nullptr;
  std::size_t count_ = 0;
};

// Cuts at each CR, up to the first NUL, trimming every line of characters at or below the
// space (LF and tabs included). Empty segments between CRs are kept; a final empty one is not.
void SplitLines(TLineList& list, std::string_view text);

// Walks the lines as the page files group them, skipping empty ones: a line starting with
// "[" closes the group collected so far (acted on when it holds a line) and opens the next;
// lines before the first such line form a group of their own. `act` gets each group's lines
// and their 1-based line numbers in the text.
void ForEachSection(const TLineList& lines,
                    const std::function<void(const TLineList&, const std::vector<std::size_t>&)>& act);

// Trimmed of characters at or below the space at both ends.
std::string TrimLine(std::string_view text);

}  // namespace zq
