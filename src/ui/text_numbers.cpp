#include "ui/text_numbers.h"

namespace zq {
namespace {

int DigitValue(char16_t c, int base) {
  int v = -1;
  if (c >= u'0' && c <= u'9') v = c - u'0';
  else if (c >= u'a' && c <= u'f') v = c - u'a' + 10;
  else if (c >= u'A' && c <= u'F') v = c - u'A' + 10;
  return v < base ? v : -1;
}

// Magnitude of a digit string, stopping as soon as it passes `limit` so that an absurdly long
// run of digits costs nothing and cannot overflow.
std::optional<std::uint64_t> Magnitude(std::u16string_view digits, int base, std::uint64_t limit) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char16_t c : digits) {
    const int d = DigitValue(c, base);
    if (d < 0) return std::nullopt;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    if (value > limit) return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<std::int32_t> ParseInt32(std::u16string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == u'+' || text.front() == u'-')) {
    negative = text.front() == u'-';
    text.remove_prefix(1);
  }
  const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
  const auto magnitude = Magnitude(text, 10, limit);
  if (!magnitude) return std::nullopt;
  const auto signed_value = negative ? -static_cast<std::int64_t>(*magnitude) : static_cast<std::int64_t>(*magnitude);
  return static_cast<std::int32_t>(signed_value);
}

std::optional<std::uint32_t> ParseHex32(std::u16string_view text) {
  const auto magnitude = Magnitude(text, 16, 0xFFFFFFFFu);
  if (!magnitude) return std::nullopt;
  return static_cast<std::uint32_t>(*magnitude);
}

}  // namespace zq
