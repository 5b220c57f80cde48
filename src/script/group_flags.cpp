#include "script/group_flags.h"

#include "script/command_table.h"
#include "script/comp_lines.h"

namespace zq {

std::vector<std::uint8_t> BuildGroupFlags(const TCompLines& lines) {
  std::vector<std::uint8_t> flags{0};
  for (const TCompLine& line : lines.Lines) {
    if (line.CommandIndex <= 0) continue;
    const std::optional<CommandInfo> command = CommandAt(line.CommandIndex);
    if (!command) continue;
    switch (command->group_kind) {
      case GroupKind::Files: flags.push_back(0); break;
      case GroupKind::Archive: flags.push_back(1); break;
      case GroupKind::None: break;
    }
  }
  return flags;
}

}  // namespace zq
