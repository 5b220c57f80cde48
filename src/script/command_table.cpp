#include "script/command_table.h"

#include "base/path_text.h"

namespace zq {

const std::array<CommandInfo, kCommandCount>& CommandTable() {
  using G = GroupKind;
  static constexpr std::array<CommandInfo, kCommandCount> kTable = {{
      {1, "goto", G::None, false, 1},
      {2, "name", G::None, true, 1},
      {3, "outfile", G::None, true, 1},
      {4, "installdir", G::None, true, 1},
      {5, "installdirregkey", G::None, true, 3},
      {6, "iffileexists", G::None, false, 3},
      {7, "file", G::Files, false, 1},
      {8, "delete", G::None, false, 1},
      {9, "writeregstr", G::None, false, 4},
      {10, "changelog", G::None, true, 1},
      {11, "zqpupdate", G::Archive, false, 3},
      {12, "rmdir", G::None, false, 2},
      {13, "createdirectory", G::None, false, 1},
      {14, "createshortcut", G::None, false, 3},
      {15, "message", G::None, false, 1},
      {16, "messagebox", G::None, false, 4},
      {17, "copyfile", G::None, false, 2},
      {18, "language", G::None, false, 1},
      {19, "failure", G::None, false, 0},
      {20, "pages", G::None, true, 1},
      {21, "shortname", G::None, true, 1},
      {22, "uninstallpages", G::None, true, 1},
      {23, "uninstalllanguage", G::None, false, 1},
      {24, "prefix", G::None, true, 1},
      {25, "uninstalllogload", G::None, false, 1},
      {26, "uninstalllogsave", G::None, false, 1},
      {27, "zqpofficial", G::None, false, 3},
      {28, "duplicateentry", G::None, false, 3},
      {29, "writeregstr_url", G::None, false, 3},
      {30, "vfsupdate", G::Archive, false, 2},
      {31, "rename", G::None, false, 2},
      {32, "execute", G::None, false, 1},
  }};
  return kTable;
}

std::optional<CommandInfo> FindCommand(const std::string& keyword) {
  const std::string lower = AsciiLowerCase(keyword);
  for (const auto& info : CommandTable()) {
    if (lower == info.keyword) return info;
  }
  return std::nullopt;
}

std::optional<CommandInfo> CommandAt(std::int32_t index) {
  if (index < 1 || index > kCommandCount) return std::nullopt;
  return CommandTable()[static_cast<std::size_t>(index - 1)];
}

}  // namespace zq
