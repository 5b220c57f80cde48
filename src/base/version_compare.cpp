#include "base/version_compare.h"

#include <array>
#include <cstdint>

namespace zq {

namespace {

using Parts = std::array<std::uint64_t, 4>;

std::optional<Parts> Split(const std::string& text) {
  Parts parts{};
  std::size_t n = 0, digits = 0;
  // Versions are often written so in the registry ("v14.38.33130.00").
  const std::size_t from = !text.empty() && (text[0] == 'v' || text[0] == 'V') ? 1 : 0;
  for (std::size_t i = from; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.') {
      if (digits == 0 || n == parts.size()) return std::nullopt;
      ++n;
      digits = 0;
      continue;
    }
    if (text[i] < '0' || text[i] > '9' || n == parts.size()) return std::nullopt;
    parts[n] = parts[n] * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (parts[n] > 0xFFFFFFFFu) return std::nullopt;
    ++digits;
  }
  return parts;
}

}  // namespace

std::optional<CompareOp> ParseCompareOp(const std::string& word) {
  if (word == "<") return CompareOp::Less;
  if (word == "<=") return CompareOp::LessOrEqual;
  if (word == "=") return CompareOp::Equal;
  if (word == ">=") return CompareOp::GreaterOrEqual;
  if (word == ">") return CompareOp::Greater;
  if (word == "<>") return CompareOp::NotEqual;
  return std::nullopt;
}

std::optional<std::string> NormalizedVersion(const std::string& text) {
  const auto parts = Split(text);
  if (!parts) return std::nullopt;
  return std::to_string((*parts)[0]) + "." + std::to_string((*parts)[1]) + "." + std::to_string((*parts)[2]) + "." +
         std::to_string((*parts)[3]);
}

bool VersionHolds(const std::string& a, CompareOp op, const std::string& b) {
  const auto x = Split(a), y = Split(b);
  if (!x || !y) return false;
  switch (op) {
    case CompareOp::Less: return *x < *y;
    case CompareOp::LessOrEqual: return *x <= *y;
    case CompareOp::Equal: return *x == *y;
    case CompareOp::GreaterOrEqual: return *x >= *y;
    case CompareOp::Greater: return *x > *y;
    case CompareOp::NotEqual: return *x != *y;
  }
  return false;
}

}  // namespace zq
