#include "ui/language.h"

#include <optional>
#include <string_view>

#include "ui/language_error.h"
#include "ui/text_numbers.h"
#include "ui/unicode_string_list.h"

namespace zq {
namespace {

bool IsBlank(char16_t c) { return c <= u' '; }

std::u16string_view TrimLeft(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::u16string_view Trim(std::u16string_view s) {
  s = TrimLeft(s);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string LineLabel(int line_index) { return "language table line " + std::to_string(line_index + 1); }

std::optional<std::vector<std::uint16_t>> ParseLangIds(std::u16string_view line, std::string& problem) {
  std::vector<std::uint16_t> ids;
  while (!line.empty()) {
    const std::size_t end = line.find(u';');
    const std::u16string_view item = line.substr(0, end);
    const auto value = ParseHex32(item);
    if (!value) {
      problem = LineLabel(1) + ": " + QuoteForMessage(item) + " is not a hexadecimal language identifier";
      return std::nullopt;
    }
    ids.push_back(static_cast<std::uint16_t>(*value));
    line = end == std::u16string_view::npos ? std::u16string_view() : line.substr(end + 1);
  }
  return ids;
}

// The number ends at the first space or tab outside double quotes; the quotes themselves are
// not part of it.
std::optional<TLID> ParseNumberedText(std::u16string_view raw, int line_index, std::string& problem) {
  const std::u16string_view line = Trim(raw);
  std::u16string number;
  std::size_t i = 0;
  bool quoted = false;
  for (; i < line.size(); ++i) {
    const char16_t c = line[i];
    if (c == u'"') {
      quoted = !quoted;
    } else if (!quoted && (c == u' ' || c == u'\t')) {
      break;
    } else {
      number += c;
    }
  }
  const auto value = ParseInt32(number);
  if (!value) {
    problem = LineLabel(line_index) + ": " + QuoteForMessage(number) + " is not a text number";
    return std::nullopt;
  }
  const std::u16string_view text = i < line.size() ? TrimLeft(line.substr(i + 1)) : std::u16string_view();
  return TLID{*value, std::u16string(text)};
}

}  // namespace

bool TLanguage::LoadFromBuffer(const void* bytes, std::size_t size, std::string* problem) {
  std::string why;
  auto refuse = [&] {
    if (problem != nullptr) *problem = why;
    return false;
  };
  if (bytes == nullptr) {
    why = "Cannot open file";
    return refuse();
  }
  TUnicodeStringList lines;
  lines.LoadFromBuffer(bytes, size);
  if (lines.Count() < 2) {
    why = "language table has " + std::to_string(lines.Count()) +
          " line(s): the name and the language identifiers need two";
    return refuse();
  }
  auto ids = ParseLangIds(lines.Get(1), why);
  if (!ids) return refuse();
  std::vector<TLID> strings;
  for (int i = 2; i < lines.Count(); ++i) {
    auto text = ParseNumberedText(lines.Get(i), i, why);
    if (!text) return refuse();
    strings.push_back(std::move(*text));
  }
  LangName = lines.Get(0);
  LangIds = std::move(*ids);
  Strings = std::move(strings);
  return true;
}

}  // namespace zq
