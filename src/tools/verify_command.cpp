#include <cstdint>
#include <string>
#include <string_view>

#include "container/entry_names.h"
#include "container/program_resources.h"
#include "container/setup_info.h"
#include "container/solid_reader.h"
#include "container/verify_all.h"
#include "platform/text.h"
#include "script/comp_lines.h"
#include "tools/commands.h"
#include "tools/open_setup.h"
#include "tools/tool_support.h"
#include "ui/page_set_check.h"

namespace zq::tool {

namespace {
constexpr const char* kUsage = "zq verify SETUP";
constexpr const char* kHelp =
    "Check a setup as the engine does at start-up, so that a setup that passes starts: the package\n"
    "directory and header (blocks stored in order without gaps, the package digest when there is\n"
    "one), the CRC-32 of each stored block and the size it inflates to, then the records: the setup\n"
    "record, the compiled script, every language table, and the page list with every layout, built\n"
    "as the wizard builds them. Empty entries are skipped; entries of 70 MiB and more are read and\n"
    "their CRC checked, except in an older setup whose large entries carry none. A setup built with\n"
    "compression solid also has every block decoded and each file checked against its CRC. Exit 0\n"
    "when all passes, 1 otherwise (the rule that failed is named). A setup that passes is followed\n"
    "by the line \"engine: x86\" or \"engine: x64\" (the engine program's processor).\n";

// The records start-up reads, loaded as it loads them; empty when it would start.
std::string RecordProblem(TPak& pak) {
  std::string problem;
  auto data = pak.ExtractByName(kSetupInfoEntry, 0);
  if (!data) return std::string("no setup record (\"") + kSetupInfoEntry + "\")";
  TSetupInfoFile info;
  if (!info.LoadFromBuffer(data->data(), data->size(), &problem)) return "setup record: " + problem;
  if (info.Mode == SetupMode::Setup) {
    auto lines = pak.ExtractByName(kCompiledLinesEntry, 0);
    if (!lines) return std::string("no compiled script (\"") + kCompiledLinesEntry + "\")";
    TCompLines comp_lines;
    if (!comp_lines.LoadFromBuffer(lines->data(), lines->size(), &problem)) return "compiled script: " + problem;
  } else if (info.Mode != SetupMode::Uninstaller) {
    return "setup record: mode " + std::to_string(static_cast<int>(info.Mode)) +
           " is neither a setup (0) nor an uninstaller (1)";
  }
  TLanguages languages;
  const std::size_t prefix = std::string_view(kLanguagePrefix).size();
  for (std::size_t i = 0; i < pak.Entries().size(); ++i) {
    const TPakEntry& e = pak.Entries()[i];
    if (e.Group != 0 || platform::UpperCase(e.Name.substr(0, prefix)) != kLanguagePrefix) continue;
    auto table = pak.Extract(i);
    if (table && !languages.AddLanguage(table->data(), table->size(), &problem)) {
      return "language table \"" + e.Name + "\": " + problem;
    }
  }
  languages.Current = 0;
  const TLanguageStrings strings;
  problem =
      PageSetProblem(languages, strings, [&pak](const std::string& name) -> std::optional<std::vector<std::uint8_t>> {
        auto entry = pak.ExtractByName(name, 0);
        if (!entry) return std::nullopt;
        return std::vector<std::uint8_t>(entry->begin(), entry->end());
      });
  if (!problem.empty()) return "page files: " + problem;
  return {};
}

}  // namespace

int RunVerify(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  int code = kExitOk;
  const CommandSpec spec{kUsage, kHelp, {}, {}, 1, 1};
  auto parsed = ParseCommand(spec, argv, out, err, code);
  if (!parsed) return code;
  const Args& args = *parsed;
  auto pak = OpenSetup(args.Positionals()[0], err);
  if (!pak) return kExitFailed;

  const std::size_t count = pak->Entries().size();
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
    out << "FAILED: entry " << i << " \"" << TerminalText(pak->Entries()[i].Name) << "\" is damaged\n";
    return kExitFailed;
  }
  if (const SolidIndex* solid = pak->Solid()) {
    // Start-up proves each slice by its CRC and each file when its block is decoded; here every
    // block is decoded now, so that a setup that passes installs.
    platform::File handle;
    if (!handle.Open(pak->FilePath(), platform::OpenMode::ReadShared)) {
      err << "zq: " << pak->FilePath() << ": cannot be opened for reading\n";
      return kExitFailed;
    }
    SolidReader reader(*pak, handle);
    ProgressBar bar("decoding blocks", solid->Blocks.size());
    for (std::size_t b = 0; b < solid->Blocks.size(); ++b) {
      if (reader.CheckBlock(b) != SolidReader::Result::Ok) {
        bar.Finish();
        out << "FAILED: solid block " << b << " (entries " << solid->Blocks[b].First << " to "
            << solid->Blocks[b].First + solid->Blocks[b].Count - 1 << ") is damaged\n";
        return kExitFailed;
      }
      bar.Update(b + 1);
    }
  }
  if (const std::string problem = RecordProblem(*pak); !problem.empty()) {
    out << "FAILED: " << TerminalText(problem) << "\n";
    return kExitFailed;
  }
  const std::size_t skipped = result.skipped, unchecked = result.unchecked;
  out << "OK: " << count << " entries";
  if (skipped) out << ", " << skipped << " empty";
  if (unchecked) out << ", " << unchecked << " large ones unchecked";
  if (pak->Solid()) out << ", " << pak->Solid()->Blocks.size() << " solid blocks decoded";
  out << "\n";
  // Which Windows it starts on: a 64-bit engine never starts on 32-bit Windows.
  const auto machine = ReadProgramMachine(args.Positionals()[0]);
  out << "engine: " << (machine ? PeMachineName(*machine) : "not a Windows program") << "\n";
  return kExitOk;
}

}  // namespace zq::tool
