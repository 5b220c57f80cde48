#include "container/version_text.h"

#include <algorithm>

namespace zq {

std::array<std::uint16_t, 4> VersionParts(std::string_view v) {
  std::array<std::uint16_t, 4> parts{};
  std::size_t i = 0;
  for (std::size_t k = 0; k < parts.size() && i < v.size(); ++k) {
    std::uint32_t n = 0;
    while (i < v.size() && v[i] >= '0' && v[i] <= '9') n = std::min<std::uint32_t>(n * 10 + (v[i++] - '0'), 0xFFFF);
    parts[k] = static_cast<std::uint16_t>(n);
    while (i < v.size() && v[i] != '.') ++i;
    ++i;
  }
  return parts;
}

int CompareVersions(std::string_view a, std::string_view b) {
  const auto x = VersionParts(a), y = VersionParts(b);
  return x < y ? -1 : x == y ? 0 : 1;
}

}  // namespace zq
