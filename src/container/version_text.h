// A version as setups write it ("2.1", "1.0.3.7", "1.2-beta3"), read as the four numbers of a
// version resource's fixed version.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace zq {

// The first four dot-separated parts, each the number it starts with (0 when none, at most
// 65535); missing parts are 0: "2.1" is 2.1.0.0, "1.2-beta3" 1.2.0.0.
std::array<std::uint16_t, 4> VersionParts(std::string_view version);

// Negative when `a` is older than `b`, 0 when their four numbers are the same, positive when newer.
int CompareVersions(std::string_view a, std::string_view b);

}  // namespace zq
