#include <iostream>
#include <map>

#include "tools/commands.h"
#include "tools/tool_support.h"

namespace zq::tool {

namespace {
constexpr const char* kVersion = "zq 0.1.0";
constexpr const char* kHelp =
    "zq: make and inspect zqsetup packages\n\n"
    "usage: zq COMMAND [ARGS]   (zq COMMAND --help for one command)\n\n"
    "commands:\n"
    "  build SCRIPT [-o OUT] [--stub STUB]      compile a setup script into a setup\n"
    "  list SETUP [--json]                      entries of a setup's package\n"
    "  verify SETUP                             check every entry as the engine does\n"
    "  extract SETUP [-o DIR] [--group G]       write entries out as files\n"
    "  info SETUP [--json]                      the setup information record\n"
    "  lang SETUP|FILE                          language tables\n"
    "  log FILE [--json]                        decode an uninstall log\n"
    "  script SETUP                             the compiled script as source\n"
    "  pak list|extract|check|create|recover PACKAGE   game package archives\n"
    "  vfs list|extract|check|create|recover ARCHIVE   virtual file system archives\n\n"
    "exit codes: 0 success, 1 the check or the work failed, 2 bad usage\n";
}  // namespace

int RunZq(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  using Runner = int (*)(const CommandArgs&, std::ostream&, std::ostream&);
  static const std::map<std::string, Runner> kCommands = {
      {"list", RunList}, {"verify", RunVerify}, {"extract", RunExtract}, {"info", RunInfo}, {"lang", RunLang},
      {"log", RunLog},   {"build", RunBuild},   {"script", RunScript},   {"pak", RunPak},   {"vfs", RunVfs},
  };
  if (argv.empty()) {
    err << kHelp;
    return kExitUsage;
  }
  const std::string& name = argv[0];
  if (name == "--help" || name == "-h" || name == "help") {
    out << kHelp;
    return kExitOk;
  }
  if (name == "--version") {
    out << kVersion << "\n";
    return kExitOk;
  }
  auto it = kCommands.find(name);
  if (it == kCommands.end()) {
    err << "zq: unknown command \"" << name << "\"\n\n" << kHelp;
    return kExitUsage;
  }
  try {
    return it->second(CommandArgs(argv.begin() + 1, argv.end()), out, err);
  } catch (const std::exception& e) {
    err << "zq: " << e.what() << "\n";
    return kExitFailed;
  }
}

}  // namespace zq::tool
