// zq pak: list, extract, check and create game package archives, and roll back an interrupted update.
#include <algorithm>

#include "archives/pak_system.h"
#include "platform/files.h"
#include "tools/archive_journal.h"
#include "tools/archive_report.h"
#include "tools/commands.h"
#include "tools/tool_support.h"

namespace zq::tool {

namespace {
constexpr const char* kUsage = "zq pak list|extract|check|create|recover PACKAGE [-o DIR] [--json] [--password P]";
constexpr const char* kHelp =
    "Game package archives (.zqp).\n\n"
    "  list PACKAGE [--json]        members: kind, stored and unpacked size, offset, name\n"
    "  extract PACKAGE [-o DIR]     members as files (wave members decoded to PCM WAV)\n"
    "  check PACKAGE                every record, member and trailer; exit 1 on a problem\n"
    "  create PACKAGE [--password P] a new empty package\n"
    "  recover PACKAGE              roll back the update interrupted in PACKAGE.zqj; a journal\n"
    "                               that is not the package's own is removed unapplied; exit 0\n"
    "                               when the package is as before the update (or there was no\n"
    "                               journal), 1 otherwise\n\n"
    "list, extract and check only read; a journal beside the package is reported and makes\n"
    "them exit 1; with an interrupted update pending they read nothing (the package is half\n"
    "written until it is rolled back).\n";

// The package read once, shared: an inspector needs no write access and keeps no second handle
// (on Windows a second open of a file held for writing fails).
class PackageBytes : public ArchiveIO {
 public:
  explicit PackageBytes(Bytes bytes) : bytes_(std::move(bytes)) {}
  std::size_t ReadAt(std::uint64_t position, void* buffer, std::size_t count) override {
    if (position >= bytes_.size()) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, bytes_.size() - position));
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position), n, static_cast<std::uint8_t*>(buffer));
    return n;
  }
  std::size_t WriteAt(std::uint64_t, const void*, std::size_t) override { return 0; }
  bool Truncate(std::uint64_t) override { return false; }
  std::optional<std::uint64_t> Size() override { return bytes_.size(); }
  bool Flush() override { return false; }
  const Bytes& All() const { return bytes_; }

 private:
  Bytes bytes_;
};

std::optional<Bytes> ReadShared(const std::string& path) {
  platform::File file;
  if (!file.Open(path, platform::OpenMode::ReadShared)) return std::nullopt;
  auto size = file.Size();
  if (!size) return std::nullopt;
  Bytes bytes(static_cast<std::size_t>(*size));
  if (file.Read(bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
  return bytes;
}

int CreatePackage(const Args& args, const std::string& path, std::ostream& err) {
  TExtraInfo extra;
  extra.Password = args.Value("--password").value_or("");
  extra.HasPassword = !extra.Password.empty();
  if (extra.Password.size() > kPakMaxPassword) {
    err << "zq: a password longer than " << kPakMaxPassword << " characters could not be read back\n";
    return kExitUsage;
  }
  if (!WriteAll(SystemFileSystem(), path, PakDirectoryBytes({}, extra))) {
    err << "zq: " << path << ": cannot be written\n";
    return kExitFailed;
  }
  return kExitOk;
}

void ListPackage(const PakTail& tail, bool json, std::ostream& out) {
  if (json) {
    out << "{\"password\": " << (tail.ExtraInfo.HasPassword ? "true" : "false")
        << ", \"official\": " << (tail.ExtraInfo.Official ? "true" : "false")
        << ", \"trailer\": " << tail.TrailerVersion << ", \"members\": [";
    for (std::size_t i = 0; i < tail.Records.size(); ++i) {
      const auto& r = tail.Records[i];
      out << (i ? ",\n  " : "\n  ") << "{\"name\": " << JsonString(OutputUtf8(r.Name)) << ", \"kind\": " << int(r.Kind)
          << ", \"stored\": " << r.StoredSize << ", \"unpacked\": " << r.UnpackedSize << ", \"offset\": " << r.Offset
          << ", \"date\": " << r.Date << "}";
    }
    out << "]}\n";
    return;
  }
  out << "trailer version " << tail.TrailerVersion << ", "
      << (tail.ExtraInfo.HasPassword ? "password set" : "no password") << ", "
      << (tail.ExtraInfo.Official ? "official" : "not official") << "\n";
  for (const auto& r : tail.Records)
    out << (r.Kind == kPakKindWave ? "wave " : "zlib ") << r.StoredSize << "\t" << r.UnpackedSize << "\t"
        << Hex8(r.Offset) << "\t" << TerminalText(r.Name) << "\n";
}
}  // namespace

int RunPak(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  int code = kExitOk;
  const CommandSpec spec{kUsage, kHelp, {"--json", "-o", "--password"}, {"-o", "--password"}, 2, 2};
  auto parsed = ParseCommand(spec, argv, out, err, code);
  if (!parsed) return code;
  const std::string& verb = parsed->Positionals()[0];
  const std::string& path = parsed->Positionals()[1];
  if (verb == "create") return CreatePackage(*parsed, path, err);
  if (verb != "list" && verb != "extract" && verb != "check" && verb != "recover") {
    err << "zq: unknown pak command \"" << verb << "\"\nusage: " << kUsage << "\n";
    return kExitUsage;
  }
  if (!SystemFileSystem().Exists(path)) {
    err << "zq: " << path << ": cannot be read\n";
    return kExitFailed;
  }
  int problems = 0;
  if (!JournalStep(verb, path, "pak", out, err, problems)) return kExitFailed;
  auto read = ReadShared(path);
  if (!read) {
    err << "zq: " << path << ": cannot be read\n";
    return kExitFailed;
  }
  PackageBytes file(std::move(*read));
  PakTail tail;
  try {
    tail = ReadPakTail(file, path);
  } catch (const ArchiveFailure& e) {
    err << "zq: " << e.what() << "\n";
    return kExitFailed;
  }
  if (verb == "recover") {
    out << path << ": " << tail.Records.size() << " members\n";
    return kExitOk;
  }
  if (verb == "list") {
    ListPackage(tail, parsed->Has("--json"), out);
    return problems == 0 ? kExitOk : kExitFailed;
  }
  const std::string dir = parsed->Value("-o").value_or(".");
  const SoundMember extract = [&](const std::string& name, const Bytes& data) {
    const MemberWrite written = WriteMember(dir, name, "member", data, err);
    if (written == MemberWrite::Failed) err << "zq: " << JoinPath(dir, name) << ": cannot be written\n";
    if (written != MemberWrite::Written) ++problems;
  };
  const auto found = CheckPakMembers(file, tail, verb == "extract" ? extract : SoundMember());
  problems += ReportProblems(path, found, err);
  if (verb == "check") out << path << ": " << tail.Records.size() << " members, " << problems << " problems\n";
  return problems == 0 ? kExitOk : kExitFailed;
}

}  // namespace zq::tool
