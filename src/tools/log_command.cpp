#include "container/pak_string.h"
#include "tools/commands.h"
#include "tools/tool_support.h"
#include "uninstall/uninstall_list.h"

namespace zq::tool {

namespace {
constexpr const char* kUsage = "zq log FILE [--json]";
constexpr const char* kHelp =
    "Decode an uninstall log (install.log): the files, registry values and folders a setup\n"
    "recorded, in the order the uninstaller reads them.\n\n"
    "  --json   {\"files\": [...], \"reg_values\": [...], \"dirs\": [...]}\n";

void JsonList(std::ostream& out, const char* name, const std::vector<std::string>& lines, bool last) {
  out << "  \"" << name << "\": [";
  for (std::size_t i = 0; i < lines.size(); ++i) out << (i ? ", " : "") << JsonString(OutputUtf8(lines[i]));
  out << "]" << (last ? "\n" : ",\n");
}
}  // namespace

int RunLog(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  int code = kExitOk;
  const CommandSpec spec{kUsage, kHelp, {"--json"}, {}, 1, 1};
  auto parsed = ParseCommand(spec, argv, out, err, code);
  if (!parsed) return code;
  const Args& args = *parsed;
  const std::string& path = args.Positionals()[0];
  auto bytes = ReadWholeFile(path);
  if (!bytes) {
    err << "zq: " << path << ": cannot be read\n";
    return kExitFailed;
  }
  TUninstallList log;
  if (!log.LoadFromBuffer(bytes->data(), bytes->size())) {
    err << "zq: " << path << ": not an uninstall log, or a damaged one (it ends before its last line)\n";
    return kExitFailed;
  }
  if (args.Has("--json")) {
    out << "{\n";
    JsonList(out, "files", log.Files, false);
    JsonList(out, "reg_values", log.RegValues, false);
    JsonList(out, "dirs", log.Dirs, false);
    JsonList(out, "reg_keys", log.Keys, true);
    out << "}\n";
    return kExitOk;
  }
  out << "files (" << log.Files.size() << "):\n";
  for (const auto& l : log.Files) out << "  " << TerminalText(l) << "\n";
  out << "registry values (" << log.RegValues.size() << "):\n";
  for (const auto& l : log.RegValues) out << "  " << TerminalText(l) << "\n";
  out << "directories (" << log.Dirs.size() << "):\n";
  for (const auto& l : log.Dirs) out << "  " << TerminalText(l) << "\n";
  out << "registry keys created (" << log.Keys.size() << "):\n";
  for (const auto& l : log.Keys) out << "  " << TerminalText(l) << "\n";
  return kExitOk;
}

}  // namespace zq::tool
