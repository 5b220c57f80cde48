// zq vfs: list, extract, check and create virtual file system archives, and roll back an
// interrupted update.
#include "archives/vfs.h"
#include "tools/archive_journal.h"
#include "tools/archive_report.h"
#include "tools/commands.h"
#include "tools/tool_support.h"

namespace zq::tool {

namespace {
constexpr const char* kUsage =
    "zq vfs list|extract|check|create|recover ARCHIVE [-o DIR] [--json] [--block-size N] [--blocks N] [--roots N]";
constexpr const char* kHelp =
    "Virtual file system archives and their .ht hash files.\n\n"
    "  list ARCHIVE [--json]       files and directories with flags, sizes and first block\n"
    "  extract ARCHIVE [-o DIR]    files as files (compressed ones inflated)\n"
    "  check ARCHIVE               table, chains, directories, compression, digest and hash\n"
    "                              file; exit 1 on a problem\n"
    "  create ARCHIVE [--block-size 4096] [--blocks 256] [--roots 64]   a new empty archive\n"
    "  recover ARCHIVE             roll back the update interrupted in ARCHIVE.zqj (the archive\n"
    "                              and its .ht file); a journal that is not the archive's own is\n"
    "                              removed unapplied; exit 0 when the archive is as before the\n"
    "                              update (or there was no journal), 1 otherwise\n\n"
    "list, extract and check only read; a journal beside the archive is reported and makes\n"
    "them exit 1; with an interrupted update pending they read nothing (the archive is half\n"
    "written until it is rolled back).\n";

// Plain decimal that fits 32 bits; 0 for anything else (refused by the caller like a 0).
std::uint32_t Number(const Args& args, const char* flag, std::uint32_t fallback) {
  auto v = args.Value(flag);
  if (!v) return fallback;
  if (v->empty() || v->size() > 10 || v->find_first_not_of("0123456789") != std::string::npos) return 0;
  const std::uint64_t n = std::stoull(*v);
  return n > 0xFFFFFFFFu ? 0 : static_cast<std::uint32_t>(n);
}

// The archive as an inspector sees it: read only, without the journal beside it, which opening
// would otherwise act on.
class ReadOnlyView : public ArchiveFileSystem {
 public:
  explicit ReadOnlyView(ArchiveFileSystem& fs) : fs_(fs) {}
  std::unique_ptr<ArchiveIO> Open(const std::string& path, bool create) override {
    return create ? nullptr : fs_.OpenForReading(path);
  }
  bool Exists(const std::string& path) override {
    return path.size() < 4 || path.compare(path.size() - 4, 4, ".zqj") != 0 ? fs_.Exists(path) : false;
  }
  bool Remove(const std::string&) override { return false; }
  bool MakeWritable(const std::string&) override { return false; }

 private:
  ArchiveFileSystem& fs_;
};

// The archive is built in memory and its positions must fit a 32-bit tool's reach.
constexpr std::uint64_t kMaxCreatedSize = std::uint64_t{1} << 31;

int CreateArchive(const Args& args, const std::string& path, std::ostream& err) {
  const std::uint32_t bs = Number(args, "--block-size", 4096), blocks = Number(args, "--blocks", 256),
                      roots = Number(args, "--roots", 64);
  if (bs == 0 || blocks == 0 || roots == 0) {
    err << "zq: block size, block count and root count must be whole numbers above 0\n";
    return kExitUsage;
  }
  if ((std::uint64_t{bs} + 8) * blocks + std::uint64_t{kVfsEntrySize} * roots > kMaxCreatedSize) {
    err << "zq: an archive of that shape would be larger than 2 GiB\n";
    return kExitUsage;
  }
  return WriteAll(SystemFileSystem(), path, NewVfsArchive(bs, blocks, roots, "")) ? kExitOk : kExitFailed;
}

void ListArchive(const TVFSTree& tree, bool json, std::ostream& out) {
  if (json) out << "[";
  bool first = true;
  for (const std::int32_t n : tree.LiveNodes()) {
    const TTreeFileInfo& node = tree.Node(n);
    const TVFSEntry& e = *node.Entry;
    if (json) {
      out << (first ? "\n  " : ",\n  ") << "{\"path\": " << JsonString(OutputUtf8(node.Path))
          << ", \"flags\": " << e.Flags << ", \"stored\": " << e.StoredSize << ", \"unpacked\": " << e.UnpackedSize
          << ", \"first_block\": " << e.FirstBlock << "}";
    } else {
      out << ((e.Flags & kVfsDirectory)    ? "dir  "
              : (e.Flags & kVfsCompressed) ? "zlib "
                                           : "file ")
          << e.StoredSize << "\t" << e.UnpackedSize << "\t" << e.FirstBlock << "\t" << TerminalText(node.Path) << "\n";
    }
    first = false;
  }
  if (json) out << "]\n";
}
}  // namespace

int RunVfs(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  int code = kExitOk;
  const CommandSpec spec{kUsage,
                         kHelp,
                         {"--json", "-o", "--block-size", "--blocks", "--roots"},
                         {"-o", "--block-size", "--blocks", "--roots"},
                         2,
                         2};
  auto parsed = ParseCommand(spec, argv, out, err, code);
  if (!parsed) return code;
  const std::string& verb = parsed->Positionals()[0];
  const std::string& path = parsed->Positionals()[1];
  if (verb == "create") return CreateArchive(*parsed, path, err);
  if (verb != "list" && verb != "extract" && verb != "check" && verb != "recover") {
    err << "zq: unknown vfs command \"" << verb << "\"\nusage: " << kUsage << "\n";
    return kExitUsage;
  }
  ArchiveFileSystem& fs = SystemFileSystem();
  if (!fs.Exists(path)) {
    err << "zq: " << path << ": cannot be read\n";
    return kExitFailed;
  }
  int problems = 0;
  // Opening would act on the journal; the inspector only reports it.
  if (!JournalStep(verb, path, "vfs", out, err, problems)) return kExitFailed;
  // The journal stays beside the archive for `recover` or the next update to judge.
  ReadOnlyView view(fs);
  TVFSFile vfs(verb == "recover" ? fs : view);
  try {
    vfs.Open(path, true);
  } catch (const ArchiveFailure& e) {
    err << "zq: " << e.what() << "\n";
    return kExitFailed;
  }
  if (verb == "recover") {
    out << path << ": " << vfs.Tree->LiveNodes().size() << " entries\n";
    return kExitOk;
  }
  if (verb == "list") {
    ListArchive(*vfs.Tree, parsed->Has("--json"), out);
    return problems == 0 ? kExitOk : kExitFailed;
  }
  const std::string dir = parsed->Value("-o").value_or(".");
  const SoundMember extract = [&](const std::string& name, const Bytes& data) {
    const MemberWrite written = WriteMember(dir, name, "file", data, err);
    if (written == MemberWrite::Failed) err << path << ": " << JoinPath(dir, name) << ": cannot be written\n";
    if (written != MemberWrite::Written) ++problems;
  };
  auto found = vfs.Check(verb == "extract" ? extract : SoundMember());
  if (verb == "check") {
    for (auto& p : vfs.CheckDigests()) found.push_back(std::move(p));
  }
  problems += ReportProblems(path, found, err);
  if (verb == "check") {
    out << path << ": " << vfs.Tree->LiveNodes().size() << " entries, " << vfs.CountUsedBlocks() << " of "
        << vfs.Header.BlockCount << " blocks in use, " << problems << " problems\n";
  }
  return problems == 0 ? kExitOk : kExitFailed;
}

}  // namespace zq::tool
