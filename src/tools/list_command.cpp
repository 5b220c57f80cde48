#include <cstdio>

#include "tools/commands.h"
#include "tools/open_setup.h"
#include "tools/tool_support.h"

namespace zq::tool {

namespace {
constexpr const char* kUsage = "zq list SETUP [--json]";
constexpr const char* kHelp =
    "List the entries of a setup's package: index, group, CRC-32 of the stored block, its offset,\n"
    "stored (compressed) size (0 = stored raw), original size and name.\n\n"
    "  --json   one JSON array of {index, name, group, crc, offset, comp_size, orig_size}\n";
}  // namespace

int RunList(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  int code = kExitOk;
  const CommandSpec spec{kUsage, kHelp, {"--json"}, {}, 1, 1};
  auto parsed = ParseCommand(spec, argv, out, err, code);
  if (!parsed) return code;
  const Args& args = *parsed;
  auto pak = OpenSetup(args.Positionals()[0], err);
  if (!pak) return kExitFailed;

  if (args.Has("--json")) {
    out << "[";
    for (std::size_t i = 0; i < pak->Entries().size(); ++i) {
      const TPakEntry& e = pak->Entries()[i];
      out << (i ? ",\n " : "\n ") << "{\"index\": " << i << ", \"name\": " << JsonString(OutputUtf8(e.Name))
          << ", \"group\": " << e.Group << ", \"crc\": " << e.CRC << ", \"offset\": " << e.Offset
          << ", \"comp_size\": " << e.CompSize << ", \"orig_size\": " << e.OrigSize << "}";
    }
    out << (pak->Entries().empty() ? "]\n" : "\n]\n");
    return kExitOk;
  }
  char line[128];
  std::snprintf(line, sizeof line, "%6s %5s %-8s %10s %10s %10s  %s\n", "index", "group", "crc", "offset", "comp_size",
                "orig_size", "name");
  out << line;
  std::uint64_t stored = 0, original = 0;
  for (std::size_t i = 0; i < pak->Entries().size(); ++i) {
    const TPakEntry& e = pak->Entries()[i];
    std::snprintf(line, sizeof line, "%6zu %5u %s %10u %10u %10u  ", i, unsigned{e.Group}, Hex8(e.CRC).c_str(),
                  unsigned{e.Offset}, unsigned{e.CompSize}, unsigned{e.OrigSize});
    out << line << TerminalText(e.Name) << "\n";
    stored += e.StoredSize();
    original += e.OrigSize;
  }
  out << pak->Entries().size() << " entries, " << original << " bytes, " << stored << " bytes stored";
  // An entry of a solid block stores its share of the block's frame (docs/container.md).
  if (pak->Solid()) out << ", " << pak->Solid()->Blocks.size() << " solid LZMA2 blocks";
  out << "\n";
  return kExitOk;
}

}  // namespace zq::tool
