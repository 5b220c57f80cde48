// The fixed registry of the script's 32 commands: keyword, group kind, whether the command acts
// only at build time, and the least number of arguments a line must have. The position in
// this table (1-based) is the command index stored in compiled lines, so it never changes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace zq {

enum class GroupKind : std::uint8_t {
  None = 0,     // owns no package group
  Files = 1,    // the group's entries are extracted as files ("file")
  Archive = 2,  // the group's entries feed an archive update ("zqpupdate", "vfsupdate")
};

struct CommandInfo {
  std::int32_t index;  // 1..32
  const char* keyword;
  GroupKind group_kind;
  bool definition_only;
  int min_args;
};

inline constexpr int kCommandCount = 32;
const std::array<CommandInfo, kCommandCount>& CommandTable();
// By keyword, without regard to case; nullopt for an unknown word.
std::optional<CommandInfo> FindCommand(const std::string& keyword);
// By index 1..32; nullopt otherwise.
std::optional<CommandInfo> CommandAt(std::int32_t index);

}  // namespace zq
