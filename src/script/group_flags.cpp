#include "script/group_flags.h"

#include "script/command.h"
#include "script/comp_lines.h"

namespace zq {

std::vector<std::uint8_t> BuildGroupFlags(const TCompLines& lines, const TCommandList& commands) {
  std::vector<std::uint8_t> flags{0};
  for (const TCompLine& line : lines.Lines) {
    if (line.CommandIndex <= 0) continue;
    const TCommandClass* command = commands.At(line.CommandIndex);
    if (command == nullptr) continue;
    switch (command->GetGroupKind()) {
      case GroupKind::Files: flags.push_back(0); break;
      case GroupKind::Archive: flags.push_back(1); break;
      case GroupKind::None: break;
    }
  }
  return flags;
}

}  // namespace zq
