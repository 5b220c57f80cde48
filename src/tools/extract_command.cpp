#include "container/entry_name.h"
#include "container/solid_reader.h"
#include "base/path_text.h"
#include "platform/files.h"
#include "tools/commands.h"
#include "tools/open_setup.h"
#include "tools/tool_support.h"

namespace zq::tool {

namespace {
constexpr const char* kUsage = "zq extract SETUP [-o DIR] [--group G] [--force]";
constexpr const char* kHelp =
    "Write the entries of a setup's package as files below DIR (default: the current folder).\n"
    "With --group G only that group is written, straight into DIR; without it each group goes\n"
    "into its own folder DIR/group-N, since two groups may hold the same name.\n\n"
    "  -o DIR      target folder (created when missing)\n"
    "  --group G   only group G (0 holds the setup's own files, 1.. the payload)\n"
    "  --force     overwrite files that already exist (otherwise they are kept and reported)\n\n"
    "Entry names that would leave DIR (absolute, with a drive letter or a \"..\" part) are refused,\n"
    "and so is an entry whose path inside DIR passes through an existing link (a folder link, or\n"
    "the file itself being one, even with --force): nothing is ever written outside DIR.\n"
    "Exit 0 when every entry was written, 1 when any was refused or damaged.\n";
}  // namespace

int RunExtract(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  int code = kExitOk;
  const CommandSpec spec{kUsage, kHelp, {"-o", "--group", "--force"}, {"-o", "--group"}, 1, 1};
  auto parsed = ParseCommand(spec, argv, out, err, code);
  if (!parsed) return code;
  const Args& args = *parsed;
  std::optional<int> only_group;
  if (auto g = args.Value("--group")) {
    int v = StrToIntOr(*g);
    if (v < 0 || v > 0xFFFF) {
      err << "zq: --group needs a number from 0 to 65535, not \"" << *g << "\"\nusage: " << kUsage << "\n";
      return kExitUsage;
    }
    only_group = v;
  }
  const std::string dir = args.Value("-o").value_or(".");
  const bool force = args.Has("--force");
  auto pak = OpenSetup(args.Positionals()[0], err);
  if (!pak) return kExitFailed;
  if (!MakeDirs(dir)) {
    err << "zq: cannot create the folder " << dir << "\n";
    return kExitFailed;
  }

  std::uint64_t total = 0;
  for (const auto& e : pak->Entries()) {
    if (!only_group || e.Group == *only_group) total += e.OrigSize;
  }
  // Entries of a solid block come out of one decoding, in directory order.
  platform::File solid_handle;
  if (pak->Solid() != nullptr) solid_handle.Open(pak->FilePath(), platform::OpenMode::ReadShared);
  SolidReader solid(*pak, solid_handle);
  ProgressBar bar("extracting", total);
  std::uint64_t done = 0;
  std::size_t written = 0, problems = 0;
  for (std::size_t i = 0; i < pak->Entries().size(); ++i) {
    const TPakEntry& e = pak->Entries()[i];
    if (only_group && e.Group != *only_group) continue;
    const std::string shown = TerminalText(e.Name);
    if (!IsSafeEntryName(e.Name)) {
      bar.Finish();
      err << "zq: refused entry " << i << " \"" << shown << "\": its name would leave the target folder\n";
      ++problems;
      continue;
    }
    const std::string relative = only_group ? e.Name : "group-" + std::to_string(e.Group) + "\\" + e.Name;
    const std::string target = JoinPath(dir, relative);
    if (auto link = LinkBelow(dir, relative)) {
      bar.Finish();
      err << "zq: refused entry " << i << " \"" << shown << "\": " << TerminalText(*link)
          << " is a link and may lead outside the target folder\n";
      ++problems;
      continue;
    }
    if (platform::FileExists(target)) {
      if (!force) {
        bar.Finish();
        err << "zq: kept existing file " << target << " (use --force to overwrite)\n";
        ++problems;
        continue;
      }
      // Replaced, not rewritten in place: a second name of the old file elsewhere keeps its bytes.
      platform::DeleteFileAt(target);
    }
    if (!MakeDirs(ExtractFileDir(target))) {
      err << "zq: cannot create the folder for " << target << "\n";
      ++problems;
      continue;
    }
    bool ok;
    if (pak->IsSolid(i)) {
      platform::File f;
      ok = f.Open(target, platform::OpenMode::Create) && solid.Read(i, [&f](const std::uint8_t* p, std::size_t n) {
        return f.Write(p, n) == n;
      }) == SolidReader::Result::Ok;
      f.Close();
      if (!ok) platform::DeleteFileAt(target);
    } else {
      // A piece at a time, so no entry is held whole; a damaged one leaves no file.
      platform::File f;
      std::uint64_t decomp_size = 0;
      ok = f.Open(target, platform::OpenMode::Create) &&
           pak->StreamEntryWith(
               nullptr, i, [&f](Bytes& piece) { return f.Write(piece.data(), piece.size()) == piece.size(); },
               decomp_size) == EntryRead::Ok;
      f.Close();
      if (!ok) platform::DeleteFileAt(target);
    }
    if (!ok) {
      bar.Finish();
      err << "zq: entry " << i << " \"" << shown << "\" is damaged or could not be written\n";
      ++problems;
      continue;
    }
    ++written;
    done += e.OrigSize;
    bar.Update(done);
  }
  bar.Finish();
  out << written << " files written to " << dir;
  if (problems) out << ", " << problems << " not written";
  out << "\n";
  return problems ? kExitFailed : kExitOk;
}

}  // namespace zq::tool
