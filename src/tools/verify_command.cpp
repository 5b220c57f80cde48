#include "container/verify_all.h"
#include "tools/commands.h"
#include "tools/open_setup.h"
#include "tools/tool_support.h"

namespace zq::tool {

namespace {
constexpr const char* kUsage = "zq verify SETUP";
constexpr const char* kHelp =
    "Check every entry of a setup's package as the engine does at start-up: the CRC-32 of each\n"
    "stored block and the size it inflates to. Empty entries are skipped; entries of 70 MiB and\n"
    "more carry no CRC and pass unchecked. Exit 0 when every entry passes, 1 otherwise (the first\n"
    "failing entry is named).\n";

}  // namespace

int RunVerify(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  int code = kExitOk;
  const CommandSpec spec{kUsage, kHelp, {}, {}, 1, 1};
  auto parsed = ParseCommand(spec, argv, out, err, code);
  if (!parsed) return code;
  const Args& args = *parsed;
  auto pak = OpenSetup(args.Positionals()[0], err);
  if (!pak) return kExitFailed;

  const std::size_t count = pak->Entries.size();
  VerifyResult result;
  {
    ProgressBar bar("verifying", count);
    result = VerifyAllEntries(*pak, [&bar](std::size_t done) { bar.Update(done); });
  }
  if (result.could_not_read) {
    err << "zq: " << pak->FilePath() << ": cannot be opened for reading\n";
    return kExitFailed;
  }
  if (result.first_failure) {
    const std::size_t i = *result.first_failure;
    out << "FAILED: entry " << i << " \"" << TerminalText(pak->Entries[i].Name) << "\" is damaged\n";
    return kExitFailed;
  }
  const std::size_t skipped = result.skipped, unchecked = result.unchecked;
  out << "OK: " << count << " entries";
  if (skipped) out << ", " << skipped << " empty";
  if (unchecked) out << ", " << unchecked << " large ones unchecked";
  out << "\n";
  return kExitOk;
}

}  // namespace zq::tool
