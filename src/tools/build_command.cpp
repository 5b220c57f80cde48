#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "builder/builder.h"
#include "builder/preprocessor.h"
#include "tools/commands.h"
#include "tools/tool_support.h"

namespace zq::tool {

namespace {
constexpr const char* kUsage =
    "zq build SCRIPT [-D NAME[=VALUE]]... [-o OUT] [--stub STUB] [--finaliser EXE] [--icon ICO] [--sign COMMAND]\n"
    "                [-j N]";
constexpr const char* kHelp =
    "Compile a setup script (docs/script.md) and write the setup: the engine program followed\n"
    "by the package of the compiled script, the setup information, language tables, pages and\n"
    "payload. Problems are reported as \"file:line: error: ...\"; the output file appears only\n"
    "when the build succeeds.\n\n"
    "  -D NAME[=VALUE]  define NAME for the script's !ifdef and ${NAME} (empty without a value);\n"
    "                   a !define of the script does not change it. Repeatable: -D PRO -D EDITION=Pro\n"
    "  -o OUT           the setup to write (default: the script's outfile beside the script,\n"
    "                   else the script's name with .exe)\n"
    "  --stub STUB      the engine program to put in front (default: zqsetup.exe or zqsetup\n"
    "                   beside zq)\n"
    "  --finaliser EXE  the uninstaller's finaliser (default: finalise.exe in the uninstall\n"
    "                   pages folder, when there)\n"
    "  --icon ICO       the uninstaller's icon (default: icon.ico in the uninstall pages folder)\n"
    "  --sign COMMAND   sign the setup and its uninstaller (made now and carried in the setup)\n"
    "                   with COMMAND, which names the unsigned file {in} and the signed one {out}\n"
    "  -j N             compress with N threads (default: one per core)\n";
}  // namespace

int RunBuild(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  int code = kExitOk;
  const std::vector<std::string> values = {"-D", "-o", "--stub", "--finaliser", "--icon", "--sign", "-j"};
  const CommandSpec spec{kUsage, kHelp, values, values, 1, 1};
  auto parsed = ParseCommand(spec, argv, out, err, code);
  if (!parsed) return code;
  const Args& args = *parsed;

  builder::BuildOptions options;
  options.script = args.Positionals()[0];
  options.output = args.Value("-o").value_or("");
  options.stub = args.Value("--stub").value_or("");
  options.finaliser = args.Value("--finaliser").value_or("");
  options.uninstall_icon = args.Value("--icon").value_or("");
  options.sign = args.Value("--sign").value_or("");
  for (const auto& d : args.Values("-D")) {
    const auto eq = d.find('=');
    const std::string name = d.substr(0, eq);
    if (!builder::IsDefineName(name)) {
      err << "zq: -D needs NAME or NAME=VALUE, the name of letters, digits and \"_\": \"" << d
          << "\"\nusage: " << kUsage << "\n";
      return kExitUsage;
    }
    options.defines[name] = eq == std::string::npos ? std::string() : d.substr(eq + 1);
  }
  if (auto j = args.Value("-j")) {
    int n = std::atoi(j->c_str());
    if (n < 1 || n > 256) {
      err << "zq: -j needs a thread count from 1 to 256\nusage: " << kUsage << "\n";
      return kExitUsage;
    }
    options.threads = static_cast<unsigned>(n);
  }
  std::unique_ptr<ProgressBar> bar;
  options.progress = [&](std::uint64_t done, std::uint64_t total) {
    if (!bar) bar = std::make_unique<ProgressBar>("packing", total);
    bar->Update(done);
  };
  auto result = builder::BuildSetup(options);
  if (bar) bar->Finish();
  for (const auto& d : result.diagnostics) err << OutputUtf8(builder::FormatDiagnostic(d)) << "\n";
  if (!result.ok) return kExitFailed;
  out << OutputUtf8(result.output) << ": " << result.entries << (result.entries == 1 ? " entry, " : " entries, ")
      << result.groups << (result.groups == 1 ? " group" : " groups");
  if (result.solid_blocks > 0) out << ", " << result.solid_blocks << " solid blocks";
  char ratio[96];
  std::snprintf(ratio, sizeof ratio, "; %.1f MB packed to %.1f MB (%.1f%%)\n", result.source_bytes / 1e6,
                result.package_bytes / 1e6,
                result.source_bytes ? 100.0 * result.package_bytes / result.source_bytes : 100.0);
  out << ratio;
  return kExitOk;
}

}  // namespace zq::tool
