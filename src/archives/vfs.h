// Virtual file system archives: fixed-size blocks chained by an allocation table, a fixed root
// entry table, directories stored as files of 88-byte entries, an MD5 digest in the header and
// a ".ht" hash file beside the archive. Every change goes through the journal.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "archives/archive_io.h"
#include "archives/archive_problem.h"
#include "archives/journal.h"
#include "codec/zlib_codec.h"

namespace zq {

inline constexpr std::uint32_t kVfsFile = 1;
inline constexpr std::uint32_t kVfsDirectory = 2;
inline constexpr std::uint32_t kVfsCompressed = 8;
inline constexpr std::size_t kVfsEntrySize = 88;
inline constexpr std::size_t kVfsNameSize = 65;
inline constexpr std::size_t kVfsChunk = 50000;
inline constexpr std::size_t kVfsHashRecord = 21;
inline constexpr std::uint32_t kVfsChainEnd = 0xFFFFFFFF;

struct TVFSEntry {
  std::string Name;
  std::uint32_t Flags = 0;
  std::uint32_t Date = 0;
  std::uint32_t FirstBlock = 0;
  std::uint32_t StoredSize = 0;
  std::uint32_t UnpackedSize = 0;
};

struct TVFSHeader {
  std::uint32_t Identifier = 0;
  std::uint32_t BlockSize = 0;
  std::uint32_t BlockCount = 0;
  std::uint32_t RootCount = 0;
  std::array<std::uint32_t, 3> Preserved{};
  std::array<std::uint8_t, 16> Digest{};
  std::uint32_t DescriptionLength = 256;
  Bytes Description = Bytes(256);  // the 256 bytes as stored
  Bytes FurtherDescription;
  std::uint32_t BlocksInUse = 0;
};

struct TTreeFileInfo {
  std::int32_t Index = -1;  // -1: free node
  std::string Path;
  TVFSEntry* Entry = nullptr;
  std::vector<std::int32_t> Children;  // -1: free slot
  std::int32_t Parent = -1;
  std::uint32_t RootSlot = 255;
  std::unique_ptr<TVFSEntry> Owned;  // non-root nodes own their entry
};

struct Allocation {
  std::uint32_t Marker = 0;
  std::uint32_t Next = 0;
};

class TVFSFileBuffer {
 public:
  explicit TVFSFileBuffer(Bytes data) : Data(std::move(data)) {}
  std::size_t Read(void* destination, std::size_t count);
  std::size_t ReadU32(std::uint32_t& value);
  std::size_t ReadChars(std::string& text, std::size_t count);
  std::size_t Size() const { return Data.size(); }
  std::size_t Position = 0;
  Bytes Data;
};

class TVFSFile;

class TVFSTree {
 public:
  explicit TVFSTree(TVFSFile& file) : file_(file) {}
  std::int32_t AddFile(const std::string& path, const std::uint8_t* data, std::uint32_t size);
  void DeletePath(const std::string& path);
  // The hash file's bytes for the tree as it stands; empty when it has no files.
  Bytes HashTableBytes() const;
  // The node of a path (any case); -1 when there is none.
  std::int32_t FindPath(const std::string& path) const;
  // A node FindPath or LiveNodes named; throws std::out_of_range for any other number.
  const TTreeFileInfo& Node(std::int32_t node) const { return nodes_.at(static_cast<std::size_t>(node)); }
  // The nodes in use, in node order.
  std::vector<std::int32_t> LiveNodes() const;

 private:
  friend class TVFSFile;  // builds the tree when it opens

  std::int32_t AddRootNode(std::uint32_t slot);
  void LoadSubdirectories(std::int32_t first);
  // A node for a new entry under `parent` (-1: a root slot), empty but for its name and flags;
  // nothing is written.
  std::int32_t NewEntryNode(std::int32_t parent, const std::string& name, std::uint32_t flags);
  // A new empty directory, written at once: its block and its parent's listing.
  std::int32_t AddDirectory(std::int32_t parent, const std::string& name);
  static std::optional<Bytes> InternalCompressFile(const std::uint8_t* data, std::uint32_t size);
  void UpdateParentDirectory(std::int32_t node);
  std::int32_t NewNode();
  void DeleteNode(std::int32_t node);
  std::int32_t FindChild(std::int32_t parent, const std::string& name) const;
  std::int32_t EnsureDirectories(std::int32_t from, const std::string& relative);
  Bytes DirectoryContent(std::int32_t node) const;

  TVFSFile& file_;
  std::vector<TTreeFileInfo> nodes_;
  std::unordered_map<std::string, std::int32_t> by_path_;  // lower-case path -> live node
};

class TVFSFile {
 public:
  explicit TVFSFile(ArchiveFileSystem& fs = SystemFileSystem());
  ~TVFSFile();

  // Rolls back an interrupted update (or removes a journal that is not the archive's), then
  // reads header, tables and (hash mode) the whole tree. Throws ArchiveFailure when the archive
  // cannot be opened or is damaged.
  void Open(const std::string& path, bool hash_mode);
  // From here on every change is journaled. Throws ArchiveFailure.
  void BeginUpdate();
  void SaveHeader(bool skip_digest);
  // Completes the update (flushed, journal dropped) and releases everything.
  void Close();
  // Ends a failed update: closed and rolled back. False when the rollback failed.
  bool Abandon();

  TVFSFileBuffer ReadFileData(const TVFSEntry& entry);
  void WriteFile(TVFSEntry& entry, const std::uint8_t* data, std::uint32_t size);
  void RewriteFile(TVFSEntry& entry, const std::uint8_t* data, std::uint32_t size);
  void FreeChain(const TVFSEntry& entry);
  std::int64_t FindFreeBlock(bool skip);
  void WriteRootSlot(std::uint32_t slot);
  void ClearRootSlot(std::uint32_t slot);
  std::optional<std::array<std::uint8_t, 16>> ComputeDigest();
  static std::string HashFilePath(const std::string& archive_path);

  // Checks the archive as opened (in hash mode, the whole tree): table links and in-use markers,
  // the header's count of blocks in use, every entry's chain (a free or missing block, a block of
  // two chains, its length), directory sizes, each file's data (compressed chunks inflated) and
  // blocks in use that no entry owns. `sound` (may be empty) is given each file that reads back
  // whole.
  std::vector<ArchiveProblem> Check(const SoundMember& sound = {});
  // The header's MD5 digest against the archive, and the hash file beside it against the tree.
  std::vector<ArchiveProblem> CheckDigests();
  // Blocks the allocation table marks in use (the header keeps a count of its own).
  std::uint32_t CountUsedBlocks() const;

  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }

  // For the next opening: the journal is held for the setup's run (ArchiveJournal::Hold), and
  // with `continued` one an earlier update of this run left is continued, not rolled back.
  void HoldJournal(bool continued) {
    hold_journal_ = true;
    continue_journal_ = continued;
  }
  // What the last opening did with a journal beside the archive, for the log; empty if nothing.
  std::string JournalNote;
  bool ReadFailed = false;
  std::uint64_t DataStart = 0, TableStart = 0, RootStart = 0;
  TVFSHeader Header;
  std::vector<TVFSEntry> RootTable;
  std::vector<Allocation> Table;
  std::unique_ptr<TVFSTree> Tree;
  Bytes HashFile;  // the loaded hash file, outside hash mode
  bool HashLoaded = false;
  bool HashMode = false;

 private:
  void Write(std::uint64_t position, const void* data, std::size_t size);
  void WriteTableEntry(std::uint32_t block, Allocation value);
  void WriteBlock(std::uint32_t block, const std::uint8_t* data, std::uint32_t size);
  void ReadAt(std::uint64_t position, void* data, std::size_t size);

  ArchiveFileSystem& fs_;
  std::string path_;
  std::unique_ptr<ArchiveIO> file_;
  std::unique_ptr<ArchiveJournal> journal_;
  bool hold_journal_ = false;
  bool continue_journal_ = false;
  std::unique_ptr<JournaledFile> journaled_;
  std::uint32_t free_hint_ = 0;  // no free block lies below it
};

// Bytes of an 88-byte entry, and back.
void PutVfsEntry(Bytes& out, const TVFSEntry& entry);
TVFSEntry GetVfsEntry(const std::uint8_t* p);
// The hash of a file's path key.
std::uint32_t VfsPathHash(const std::string& full_path, const std::string& name);
// A new empty archive, digest included.
Bytes NewVfsArchive(std::uint32_t block_size, std::uint32_t block_count, std::uint32_t root_count,
                    const std::string& description);

}  // namespace zq
