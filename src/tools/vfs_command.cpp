// zq vfs: list, extract, check and create virtual file system archives, and roll back an
// interrupted update.
#include <algorithm>
#include <set>

#include "archives/vfs.h"
#include "base/byte_io.h"
#include "tools/archive_journal.h"
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

std::optional<Bytes> FileData(TVFSFile& vfs, const TVFSEntry& e, std::string& problem) {
  Bytes stored = vfs.ReadFileData(e).Data;
  if (stored.size() != e.StoredSize) {
    problem = "its chain is shorter than its stored size";
    return std::nullopt;
  }
  if ((e.Flags & kVfsCompressed) == 0) return stored;
  Bytes out;
  for (std::size_t at = 0; at < stored.size();) {
    if (at + 4 > stored.size()) break;
    const std::uint32_t len = GetU32(&stored[at]);
    if (len > stored.size() - at - 4) break;
    auto piece = Inflate(&stored[at + 4], len, kVfsChunk, kVfsChunk);
    if (piece.status != InflateResult::Status::Complete) break;
    out.insert(out.end(), piece.data.begin(), piece.data.end());
    at += 4 + len;
  }
  if (out.size() != e.UnpackedSize) {
    problem = "its chunks do not inflate to its unpacked size";
    return std::nullopt;
  }
  return out;
}

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
  ArchiveFileSystem& fs = SystemFileSystem();
  if (verb == "create") {
    const std::uint32_t bs = Number(*parsed, "--block-size", 4096), blocks = Number(*parsed, "--blocks", 256),
                        roots = Number(*parsed, "--roots", 64);
    if (bs == 0 || blocks == 0 || roots == 0) {
      err << "zq: block size, block count and root count must be whole numbers above 0\n";
      return kExitUsage;
    }
    if ((std::uint64_t{bs} + 8) * blocks + std::uint64_t{kVfsEntrySize} * roots > kMaxCreatedSize) {
      err << "zq: an archive of that shape would be larger than 2 GiB\n";
      return kExitUsage;
    }
    return WriteAll(fs, path, NewVfsArchive(bs, blocks, roots, "")) ? kExitOk : kExitFailed;
  }
  if (verb != "list" && verb != "extract" && verb != "check" && verb != "recover") {
    err << "zq: unknown vfs command \"" << verb << "\"\nusage: " << kUsage << "\n";
    return kExitUsage;
  }
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
  const auto& nodes = vfs.Tree->Nodes;
  const auto entries = std::count_if(nodes.begin(), nodes.end(), [](const TTreeFileInfo& n) { return n.Index != -1; });
  if (verb == "recover") {
    out << path << ": " << entries << " entries\n";
    return kExitOk;
  }
  if (verb == "list") {
    const bool json = parsed->Has("--json");
    if (json) out << "[";
    bool first = true;
    for (const auto& n : nodes) {
      if (n.Index == -1) continue;
      const TVFSEntry& e = *n.Entry;
      if (json) {
        out << (first ? "\n  " : ",\n  ") << "{\"path\": " << JsonString(AnsiToUtf8(n.Path))
            << ", \"flags\": " << e.Flags << ", \"stored\": " << e.StoredSize << ", \"unpacked\": " << e.UnpackedSize
            << ", \"first_block\": " << e.FirstBlock << "}";
      } else {
        out << ((e.Flags & kVfsDirectory)    ? "dir  "
                : (e.Flags & kVfsCompressed) ? "zlib "
                                             : "file ")
            << e.StoredSize << "\t" << e.UnpackedSize << "\t" << e.FirstBlock << "\t" << TerminalText(n.Path) << "\n";
      }
      first = false;
    }
    if (json) out << "]\n";
    return problems == 0 ? kExitOk : kExitFailed;
  }
  auto problem = [&](const std::string& what) {
    err << path << ": " << what << "\n";
    ++problems;
  };
  const std::uint32_t count = vfs.Header.BlockCount;
  std::uint32_t used = 0;
  for (std::uint32_t b = 0; b < count; ++b) {
    const auto& a = vfs.Table[b];
    if (a.Next != 0) ++used;
    if (a.Next != 0 && a.Next != kVfsChainEnd && a.Next > count)
      problem("block " + std::to_string(b + 1) + " points past the table");
    if ((a.Next != 0) != (a.Marker == 1) || a.Marker > 1)
      problem("block " + std::to_string(b + 1) + " has a wrong in-use marker");
  }
  if (used != vfs.Header.BlocksInUse)
    problem("header counts " + std::to_string(vfs.Header.BlocksInUse) + " blocks in use, the table " +
            std::to_string(used));
  std::set<std::uint32_t> owned;
  const std::string dir = parsed->Value("-o").value_or(".");
  for (const auto& n : nodes) {
    if (n.Index == -1) continue;
    const TVFSEntry& e = *n.Entry;
    const std::uint64_t want =
        e.StoredSize == 0 ? 1 : (std::uint64_t{e.StoredSize} + vfs.Header.BlockSize - 1) / vfs.Header.BlockSize;
    std::uint64_t length = 0;
    std::uint32_t b = e.FirstBlock;
    while (b != kVfsChainEnd && length <= count) {
      if (b == 0 || b > count || vfs.Table[b - 1].Next == 0) {
        problem(TerminalText(n.Path) + ": chain runs into a free or missing block");
        break;
      }
      if (!owned.insert(b).second) {
        problem(TerminalText(n.Path) + ": block " + std::to_string(b) + " belongs to two chains");
        break;
      }
      ++length;
      b = vfs.Table[b - 1].Next;
    }
    if (length != want)
      problem(TerminalText(n.Path) + ": chain of " + std::to_string(length) + " blocks, " + std::to_string(want) +
              " expected");
    if ((e.Flags & kVfsDirectory) && e.StoredSize % kVfsEntrySize != 0)
      problem(TerminalText(n.Path) + ": directory size not a multiple of 88");
    if (e.Flags & kVfsFile) {
      std::string why;
      auto data = FileData(vfs, e, why);
      if (!data) problem(TerminalText(n.Path) + ": " + why);
      else if (verb == "extract") {
        std::string target = JoinPath(dir, n.Path);
        auto slash = target.find_last_of("/\\");
        if (n.Path.find("..") != std::string::npos ||
            (slash != std::string::npos && !MakeDirs(target.substr(0, slash))) || !WriteAll(fs, target, *data))
          problem(target + ": cannot be written");
      }
    }
  }
  if (owned.size() != used) problem(std::to_string(used - owned.size()) + " blocks in use belong to no file");
  if (verb == "check") {
    auto digest = vfs.ComputeDigest();
    if (!digest || *digest != vfs.Header.Digest) problem("the MD5 digest in the header does not match");
    const Bytes expected = vfs.Tree->HashTableBytes();
    const std::string ht = TVFSFile::HashFilePath(path);
    auto actual = fs.Exists(ht) ? ReadAll(fs, ht) : std::optional<Bytes>(Bytes{});
    if (!actual || *actual != expected) problem(ht + " does not match the archive's files");
    out << path << ": " << entries << " entries, " << used << " of " << count << " blocks in use, " << problems
        << " problems\n";
  }
  return problems == 0 ? kExitOk : kExitFailed;
}

}  // namespace zq::tool
