#include "ui/languages.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "ui/language_error.h"
#include "ui/text_numbers.h"

namespace zq {
namespace {

// Searching again from the start after every replacement never ends when a replacement holds
// its own pattern, or a table text its own tag. Both loops therefore stop after
// kMaxReplacements replacements, or once the text has grown by more than kMaxGrowth code
// units, and return the text as it is then. Captions, status texts and placeholders stay
// orders of magnitude below either limit, so their results are unchanged.
constexpr int kMaxReplacements = 10000;
constexpr std::size_t kMaxGrowth = std::size_t{1} << 20;

constexpr std::u16string_view kTagOpen = u"<LANG";
constexpr char16_t kTagClose = u'>';
// Longest number text worth reading: sign and ten digits.
constexpr std::size_t kMaxNumberUnits = 11;

// The text under rewrite, split at a cursor. The search restarts from the cursor, one pattern
// length less one before the last replacement, rather than from the start: an occurrence
// starting further back would lie wholly in text already searched without a match. The
// results are those of searching from the start, at a cost proportional to what changes.
class SplitText {
 public:
  explicit SplitText(const std::u16string& text) : rest_(text.rbegin(), text.rend()) {}

  std::size_t Size() const { return head_.size() + rest_.size(); }
  std::size_t RestSize() const { return rest_.size(); }
  // The unit `i` places after the cursor.
  char16_t At(std::size_t i) const { return rest_[rest_.size() - 1 - i]; }

  // Replaces `length` units found `offset` units after the cursor, then leaves the cursor
  // `look_back` units before the replacement (or at the start).
  void Replace(std::size_t offset, std::size_t length, std::u16string_view replacement, std::size_t look_back) {
    for (std::size_t i = 0; i < offset; ++i) MoveForward();
    rest_.resize(rest_.size() - length);
    rest_.append(replacement.rbegin(), replacement.rend());
    look_back = std::min(look_back, head_.size());
    for (std::size_t i = 0; i < look_back; ++i) {
      rest_.push_back(head_.back());
      head_.pop_back();
    }
  }

  std::u16string Take() {
    head_.append(rest_.rbegin(), rest_.rend());
    return std::move(head_);
  }

 private:
  void MoveForward() {
    head_.push_back(rest_.back());
    rest_.pop_back();
  }

  std::u16string head_;
  std::u16string rest_;  // reversed, so both halves change at their ends only
};

// Per code unit: A-Z folded, everything else exact. For a single-byte code page in which
// every character of both texts exists, this is the comparison of the 8-bit forms with A-Z
// folded; unlike that, it never lets two characters the code page lacks match as "?", and
// positions need no mapping back from the 8-bit form.
char16_t FoldAToZ(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

template <typename Equal>
std::optional<std::size_t> FindAfterCursor(const SplitText& text, std::u16string_view pattern, Equal equal) {
  if (text.RestSize() < pattern.size()) return std::nullopt;
  const std::size_t last = text.RestSize() - pattern.size();
  for (std::size_t start = 0; start <= last; ++start) {
    std::size_t j = 0;
    while (j < pattern.size() && equal(text.At(start + j), pattern[j])) ++j;
    if (j == pattern.size()) return start;
  }
  return std::nullopt;
}

bool WithinBounds(int replacements, const SplitText& text, std::size_t original_size) {
  return replacements < kMaxReplacements && text.Size() - std::min(text.Size(), original_size) <= kMaxGrowth;
}

// The tag starting `offset` units after the cursor: its length and its number.
std::pair<std::size_t, std::int32_t> ReadTag(const SplitText& text, std::size_t offset) {
  const std::size_t first = offset + kTagOpen.size();
  std::u16string number;
  std::size_t i = first;
  for (; i < text.RestSize() && text.At(i) != kTagClose; ++i)
    if (number.size() <= kMaxNumberUnits) number += text.At(i);
  if (i == text.RestSize())
    throw LanguageError("language tag " + QuoteForMessage(std::u16string(kTagOpen) + number) + " has no closing \">\"");
  const auto value = i - first <= kMaxNumberUnits ? ParseInt32(number) : std::nullopt;
  if (!value)
    throw LanguageError("language tag " + QuoteForMessage(std::u16string(kTagOpen) + number + u">") +
                        " does not hold an integer");
  return {i + 1 - offset, *value};
}

}  // namespace

bool TLanguages::AddLanguage(const void* bytes, std::size_t size, std::string* problem) {
  TLanguage language;
  if (!language.LoadFromBuffer(bytes, size, problem)) return false;
  Items.push_back(std::move(language));
  return true;
}

int TLanguages::FindLanguage(std::uint16_t lang_id) const {
  for (std::size_t i = 0; i < Items.size(); ++i) {
    const auto& ids = Items[i].LangIds;
    if (std::find(ids.begin(), ids.end(), lang_id) != ids.end()) return static_cast<int>(i);
  }
  return -1;
}

std::u16string TLanguages::GetText(std::int32_t number, std::int32_t table) const {
  const auto wanted = static_cast<std::uint16_t>(number);
  if (table >= 0 && static_cast<std::size_t>(table) < Items.size()) {
    for (const TLID& entry : Items[static_cast<std::size_t>(table)].Strings)
      if (static_cast<std::uint16_t>(entry.Number) == wanted) return entry.Text;
  }
  const std::string digits = std::to_string(wanted);
  return u"NOT FOUND " + std::u16string(digits.begin(), digits.end());
}

std::u16string TLanguages::ReplaceText(const std::u16string& text, const std::u16string& pattern,
                                       const std::u16string& replacement) {
  if (pattern.empty()) return text;
  std::u16string folded = pattern;
  for (char16_t& c : folded) c = FoldAToZ(c);
  const auto equal = [](char16_t unit, char16_t folded_unit) { return FoldAToZ(unit) == folded_unit; };
  SplitText result(text);
  for (int done = 0; WithinBounds(done, result, text.size()); ++done) {
    const auto at = FindAfterCursor(result, folded, equal);
    if (!at) break;
    result.Replace(*at, pattern.size(), replacement, pattern.size() - 1);
  }
  return result.Take();
}

std::u16string TLanguages::ExpandLangTags(const std::u16string& text, std::int32_t table) const {
  if (table >= static_cast<std::int64_t>(Items.size())) return text;
  const auto equal = [](char16_t a, char16_t b) { return a == b; };
  SplitText result(text);
  for (int done = 0; WithinBounds(done, result, text.size()); ++done) {
    const auto at = FindAfterCursor(result, kTagOpen, equal);
    if (!at) break;
    const auto [length, number] = ReadTag(result, *at);
    result.Replace(*at, length, GetText(number, table), kTagOpen.size() - 1);
  }
  return result.Take();
}

}  // namespace zq
