// Which size of a payload group's entries counts toward the space a setup needs.
#pragma once

#include <cstdint>
#include <vector>

namespace zq {

class TCompLines;

// Element 0 for group 0, then one element per group-owning line in line order: 0 for a group
// extracted as files (count the original size), 1 for a group feeding an archive (count the
// stored size).
std::vector<std::uint8_t> BuildGroupFlags(const TCompLines& lines);

}  // namespace zq
