// Numbers written in language tables and language tags.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zq {

// Optional sign then decimal digits, nothing else (no spaces); nothing when the text is not
// such a number or leaves the 32-bit signed range.
std::optional<std::int32_t> ParseInt32(std::u16string_view text);

// Hexadecimal digits of either case, no prefix or sign; nothing when the text is not such a
// number or leaves the 32-bit unsigned range.
std::optional<std::uint32_t> ParseHex32(std::u16string_view text);

}  // namespace zq
