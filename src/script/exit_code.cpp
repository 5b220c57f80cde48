#include "script/exit_code.h"

namespace zq {

std::optional<std::uint32_t> ParseExitCode(const std::string& text) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  const bool hex = !negative && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (hex) i = 2;
  if (i == text.size()) return std::nullopt;
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return std::nullopt;
    value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
    if (value > (negative ? 0x80000000ull : 0xFFFFFFFFull)) return std::nullopt;
  }
  return static_cast<std::uint32_t>(negative ? (0x100000000ull - value) & 0xFFFFFFFFull : value);
}

}  // namespace zq
