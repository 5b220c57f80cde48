// Game package archives ("ZQP"): member data back to back, then a zlib-compressed directory of
// 152-byte records, a 20-byte directory trailer and an optional password trailer. Updates
// append members and write a new directory behind them, all through the journal.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "archives/archive_io.h"
#include "archives/archive_problem.h"
#include "archives/journal.h"
#include "codec/zlib_codec.h"

namespace zq {

class TPak;

inline constexpr std::size_t kPakRecordSize = 152;
inline constexpr std::size_t kPakDirTrailerSize = 20;
inline constexpr std::uint32_t kPakFormat = 5;
inline constexpr std::uint8_t kPakKindWave = 1;
inline constexpr std::uint8_t kPakKindZlib = 2;
// A version 3 trailer is looked for in the last 56 bytes only, which leaves room for this much.
inline constexpr std::size_t kPakMaxPassword = 41;

struct TPakDirEntry {
  std::uint16_t Marker = 0x0A0D;
  std::uint8_t Kind = kPakKindZlib;
  std::uint8_t Reserved = 0;
  std::uint32_t Date = 0;
  std::uint32_t StoredSize = 0;
  std::uint32_t UnpackedSize = 0;
  std::uint32_t Offset = 0;
  std::string Name;  // at most 127 characters
};

struct TExtraInfo {
  bool HasPassword = false;
  bool Official = false;
  std::string Password;
};

// The parsed tail of a package; the tools read packages through it as well.
struct PakTail {
  TExtraInfo ExtraInfo;
  int TrailerVersion = 0;  // 0 none, 2, 3
  std::uint64_t TrailerLength = 0;
  std::uint64_t DataEnd = 0;
  std::vector<TPakDirEntry> Records;
};

// Reads trailers and directory; throws ArchiveFailure with the corrupted-header message.
PakTail ReadPakTail(ArchiveIO& file, const std::string& path);
// Reads every member of the package back from `file` (its tail read by ReadPakTail): a second
// record of one name, a bad marker or kind, stored bytes past the file or over the directory, a
// member that does not inflate (a wave member: decode) to its unpacked size. `sound` (may be
// empty) is given each member that reads back whole, a wave member as PCM WAV.
std::vector<ArchiveProblem> CheckPakMembers(ArchiveIO& file, const PakTail& tail, const SoundMember& sound = {});
// A record as its 152 bytes, and back.
void PutPakRecord(Bytes& out, const TPakDirEntry& record);
TPakDirEntry GetPakRecord(const std::uint8_t* p);
// The stored form of a non-wave member: zlib stream with its first word masked.
Bytes MaskedZlib(const Bytes& data);
Bytes UnmaskZlib(Bytes stored);
// Today as a DOS date-time with the time part 0.
std::uint32_t DosDateToday();
// The bytes of a directory block, trailer and version 3 password trailer.
Bytes PakDirectoryBytes(const std::vector<TPakDirEntry>& records, const TExtraInfo& extra);

class TPakSystem {
 public:
  explicit TPakSystem(ArchiveFileSystem& fs = SystemFileSystem()) : fs_(fs) {}
  ~TPakSystem();

  enum class OpenResult { Ok, NotFound, AttributesFailed, OpenFailed };
  // Rolls back an interrupted update (or removes a journal that is not the package's), opens
  // the package and reads its trailers and directory.
  // Nothing is written yet: a package that is only looked at stays byte for byte as it was.
  // Throws ArchiveFailure for a damaged package or a rollback that cannot be completed.
  OpenResult OpenArchive(const std::string& path);
  // From here on every change is journaled. Throws ArchiveFailure.
  void BeginUpdate();
  // Adds or replaces a member; false when it was skipped (unchanged, or not a canonical wave).
  // Throws ArchiveFailure on a short write.
  bool AddMember(const std::string& name, std::uint32_t orig_size, const Bytes& data);
  bool AddMember(const TPak& pak, std::size_t index);
  // A second name for an existing member's data (the duplicate-entry rules).
  void DuplicateMember(const std::string& existing, const std::string& name);
  // Directory and trailers written behind the members, the file cut there, flushed, the
  // journal dropped and the file closed. Throws ArchiveFailure (the caller then Abandons).
  void WritePackageDirectory();
  // Ends a failed update: the file is closed and rolled back. False when the rollback failed.
  bool Abandon();
  void ReleaseDirectory();

  std::vector<TPakDirEntry> Records() const;
  const TPakDirEntry* Find(const std::string& name) const;

  TExtraInfo ExtraInfo;
  std::string PackageName;
  // For the next opening: the journal is held for the setup's run (ArchiveJournal::Hold), and
  // with `continued` one an earlier update of this run left is continued, not rolled back.
  void HoldJournal(bool continued) {
    hold_journal_ = true;
    continue_journal_ = continued;
  }
  // What the last opening did with a journal beside the package, for the log; empty if nothing.
  std::string JournalNote;
  std::uint64_t DataEnd = 0;
  std::uint64_t WritePosition = 0;

 private:
  void Put(TPakDirEntry record);

  ArchiveFileSystem& fs_;
  std::string path_;
  std::unique_ptr<ArchiveIO> file_;
  std::unique_ptr<ArchiveJournal> journal_;
  bool hold_journal_ = false;
  bool continue_journal_ = false;
  std::unique_ptr<JournaledFile> journaled_;
  std::list<TPakDirEntry> list_;
  std::unordered_map<std::string, std::list<TPakDirEntry>::iterator> index_;
};

}  // namespace zq
