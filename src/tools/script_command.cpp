#include "builder/script_printer.h"
#include "container/entry_names.h"
#include "container/setup_info.h"
#include "script/command_table.h"
#include "script/comp_lines.h"
#include "tools/commands.h"
#include "tools/open_setup.h"
#include "tools/tool_support.h"

namespace zq::tool {

namespace {
constexpr const char* kUsage = "zq script SETUP";
const std::string& Help() {
  static const std::string help =
      "Print a setup's compiled script back as source (docs/script.md): labels as \":name\" lines,\n"
      "jump targets as label names, the secret words of " +
      KeywordList([](const CommandInfo& c) { return c.scrambled_arg != 0; }) + " in clear, and\n" +
      "the group of each " + KeywordList([](const CommandInfo& c) { return c.group_kind != GroupKind::None; }) +
      " line as a trailing \"; group N\" comment.\n"
      "Definition lines keep no arguments in the compiled script; they are shown from the setup\n"
      "information record, one per line they held. Building the output again gives the same\n"
      "compiled lines.\n";
  return help;
}
}  // namespace

int RunScript(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  int code = kExitOk;
  const CommandSpec spec{kUsage, Help().c_str(), {}, {}, 1, 1};
  auto parsed = ParseCommand(spec, argv, out, err, code);
  if (!parsed) return code;
  const std::string& path = parsed->Positionals()[0];
  auto pak = OpenSetup(path, err);
  if (!pak) return kExitFailed;
  auto lines_bytes = pak->ExtractByName(kCompiledLinesEntry, 0);
  if (!lines_bytes) {
    err << "zq: the package has no readable \"CompiledLines\" entry in group 0 (an uninstaller carries no script)\n";
    return kExitFailed;
  }
  TCompLines lines;
  std::string problem;
  if (!lines.LoadFromBuffer(lines_bytes->data(), lines_bytes->size(), &problem)) {
    err << "zq: damaged \"CompiledLines\": " << problem << "\n";
    return kExitFailed;
  }
  TSetupInfoFile info;
  auto info_bytes = pak->ExtractByName(kSetupInfoEntry, 0);
  if (!info_bytes || !info.LoadFromBuffer(info_bytes->data(), info_bytes->size())) {
    err << "zq: warning: no readable \"SetupInfo\"; definition lines are shown empty\n";
  }
  if (!pak->TextIsUtf8()) {
    const auto utf8 = [&](const std::string& text) { return pak->Utf8Text(text); };
    lines.MapText(utf8);
    info.MapText(utf8);
  }
  out << "; compiled script of " << OutputUtf8(path) << "\n" << OutputUtf8(builder::PrintScript(lines, info));
  return kExitOk;
}

}  // namespace zq::tool
