// What the archive checks find and hand on (`zq pak check`, `zq vfs check` and their extract).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zq {

// One thing wrong with an archive: the member or path concerned (empty: the archive as a whole)
// and what is wrong with it.
struct ArchiveProblem {
  std::string name;
  std::string what;
};

// Is given each member a check read back whole: its name (its path, in a VFS archive) and bytes.
using SoundMember = std::function<void(const std::string& name, const std::vector<std::uint8_t>& data)>;

}  // namespace zq
