#include "script/command_table.h"

#include <vector>

#include "base/error.h"
#include "base/path_text.h"

namespace zq {

namespace {

constexpr bool WithinSource(int n, const CommandInfo& c) { return n == 0 || (n >= 1 && n <= c.MinSourceArgs()); }

// What the builder and the engine assume of every row: positions in order, lower-case
// keywords found once, special arguments present on every valid line and never two roles at
// once, and one row per definition.
constexpr bool TableHolds() {
  for (std::size_t i = 0; i < kCommandTable.size(); ++i) {
    const CommandInfo& c = kCommandTable[i];
    if (c.index != static_cast<std::int32_t>(i + 1)) return false;
    for (const char* k = c.keyword; *k; ++k) {
      if (*k >= 'A' && *k <= 'Z') return false;
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (std::string_view(kCommandTable[j].keyword) == c.keyword) return false;
    }
    if (c.min_args < c.AppendedArgs() || (c.arg_counts & ((std::uint32_t{1} << c.min_args) - 1)) != 0) return false;
    if (!WithinSource(c.scrambled_arg, c) || !WithinSource(c.archive_arg, c)) return false;
    if ((c.archive_arg != 0) != (c.group_kind == GroupKind::Archive)) return false;
    if ((c.jump_args & 1u) != 0 || c.IsJumpArg(c.scrambled_arg, 0) || c.IsJumpArg(c.archive_arg, 0)) return false;
    // A label last: nothing else has a role that a shorter line could put in its place.
    if (c.jump_last && (c.jump_args != 0 || c.scrambled_arg || c.archive_arg || c.group_kind != GroupKind::None ||
                        c.appended_args || c.root_arg >= c.min_args)) {
      return false;
    }
    if (c.first_label && !c.Jumps()) return false;
    if (c.scrambled_arg != 0 && c.scrambled_arg == c.archive_arg) return false;
    if (c.IsDefinition() && (c.group_kind != GroupKind::None || c.Jumps() || c.scrambled_arg || c.arg_counts)) {
      return false;
    }
    if (c.build != BuildStep::Store && c.group_kind != GroupKind::None) return false;
    if (c.appended_args != 0 && c.group_kind != GroupKind::None) return false;
    // A control argument sits at a fixed place, never where a jump is.
    if (!WithinSource(c.control_arg, c) || c.IsJumpArg(c.control_arg, 0) || (c.control_arg != 0 && c.jump_last)) {
      return false;
    }
  }
  for (int step = static_cast<int>(BuildStep::DefineName); step <= static_cast<int>(BuildStep::DefinePrefix); ++step) {
    int rows = 0;
    for (const CommandInfo& c : kCommandTable) rows += static_cast<int>(c.build) == step;
    if (rows != 1) return false;
  }
  for (const ProgramCommandInfo& p : kProgramCommandTable) {
    for (const CommandInfo& c : kCommandTable) {
      if (std::string_view(p.keyword) == c.keyword) return false;
    }
  }
  return true;
}
static_assert(TableHolds());

}  // namespace

const std::array<CommandInfo, kCommandCount>& CommandTable() { return kCommandTable; }

std::optional<CommandInfo> FindCommand(const std::string& keyword) {
  const std::string lower = AsciiLowerCase(keyword);
  for (const auto& info : kCommandTable) {
    if (lower == info.keyword) return info;
  }
  return std::nullopt;
}

std::optional<ProgramCommandInfo> FindProgramCommand(const std::string& keyword) {
  const std::string lower = AsciiLowerCase(keyword);
  for (const auto& info : kProgramCommandTable) {
    if (lower == info.keyword) return info;
  }
  return std::nullopt;
}

std::optional<CommandInfo> CommandAt(std::int32_t index) {
  if (index < 1 || index > kCommandCount) return std::nullopt;
  return kCommandTable[static_cast<std::size_t>(index - 1)];
}

const CommandInfo& DefinitionCommand(BuildStep step) {
  for (const auto& info : kCommandTable) {
    if (info.IsDefinition() && info.build == step) return info;
  }
  throw Error("no definition fills this field");
}

std::string KeywordList(bool (*pick)(const CommandInfo&)) {
  std::vector<std::string> words;
  for (const auto& info : kCommandTable) {
    if (pick(info)) words.emplace_back(info.keyword);
  }
  std::string out;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) out += i + 1 == words.size() ? " and " : ", ";
    out += words[i];
  }
  return out;
}

}  // namespace zq
