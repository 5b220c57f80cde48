// The setup package container: entry blocks appended behind the program, then the directory,
// then a 16-byte header ending the file ("ZQPF", version, count, data start, directory offset).
// A signed setup carries its certificate table behind that header; readers find the package
// before it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "codec/zlib_codec.h"
#include "platform/files.h"

namespace zq {

class MessageBoxes;

struct TPakEntry {
  std::string Name;
  std::string FileName;  // source of an entry being written; never stored
  std::uint32_t CRC = 0;
  std::uint32_t Offset = 0;
  std::uint32_t CompSize = 0;  // 0: stored raw
  std::uint32_t OrigSize = 0;
  std::uint16_t Group = 0;

  // Length of the stored block.
  std::uint32_t StoredSize() const { return CompSize == 0 && OrigSize > 0 ? OrigSize : CompSize; }
};

struct PakHeader {
  std::array<char, 4> ID{};
  std::uint16_t Version = 0;
  std::uint16_t FileCount = 0;
  std::uint32_t DataStart = 0;
  std::uint32_t DirOffset = 0;
};

inline constexpr std::uint32_t LargeEntryLimit = 0x4600000;  // 70 MiB
inline constexpr std::uint32_t CopyChunkSize = 0x1900000;    // 25 MiB
inline constexpr std::uint32_t kPakHeaderSize = 16;
// Large entries are checked in pieces of this size.
inline constexpr std::uint32_t kLargeVerifyChunk = 4u << 20;

// One entry's stored block: compressed at level 9 unless that is larger than the data or the
// data is 70 MiB or more; the CRC-32 is of the stored block.
struct PackedBlock {
  Bytes Block;
  std::uint32_t CompSize = 0;  // 0: stored raw
  std::uint32_t OrigSize = 0;
  std::uint32_t CRC = 0;
};
PackedBlock PackBlock(const std::uint8_t* data, std::uint32_t size);

class TPak {
 public:
  enum class OpenFlags { Read, Create, Append };

  // Create: read mode opens shared and reads the directory; Create makes a new file; Append
  // opens an existing file for writing behind its current end.
  TPak(const std::string& file_name, OpenFlags flags);
  TPak(const TPak&) = delete;
  TPak& operator=(const TPak&) = delete;

  bool IsOpen() const { return Handle.IsOpen(); }
  bool HasValidHeader() const;
  // The file ends with a package header, its directory sound or not: a program that
  // already carries a package.
  bool EndsWithPackageHeader() const;
  // Why the directory was refused (damaged or absurd: records that do not fill it, blocks not
  // stored in order from the data start to the directory without gaps, a digest that does not
  // match), empty when it was read or is simply absent.
  const std::string& DirectoryProblem() const { return DirectoryProblem_; }

  // Writing.
  std::size_t AddEntry(const std::string& name, const std::string& source_file, std::uint16_t group);
  std::optional<Bytes> PackBuffer(std::size_t index, const std::uint8_t* data, std::uint32_t size);
  // Nothing when the entry's source file cannot be read; StoreFile is false then.
  std::optional<Bytes> LoadSource(std::size_t index);
  bool StoreBuffer(std::size_t index, const std::uint8_t* data, std::uint32_t size);
  bool StoreFile(std::size_t index);
  // Stores a block that is already packed (compressed in parallel by a writer of many entries).
  bool StorePacked(std::size_t index, const PackedBlock& packed);
  // Copies the entry's source file raw behind the package in chunks, as LoadSource stores a
  // large entry, but with the CRC of what it copied. False with `problem` when it cannot be
  // read or written, or when the package would reach 4 GiB.
  bool StoreLargeFile(std::size_t index, std::string* problem = nullptr);
  // Where the next block goes: the file's end; nothing when that cannot be told.
  std::optional<std::uint64_t> WriteOffset();
  // With `add_digest`, the package digest (container/package_digest.h) becomes the last entry.
  bool WriteDirectory(bool add_digest = false);
  void Close();

  // Reading. Every index past the directory gives nothing.
  std::optional<Bytes> ReadStored(std::size_t index);
  std::optional<Bytes> Extract(std::size_t index);
  std::optional<Bytes> ExtractByName(const std::string& name, std::uint16_t group, std::uint32_t& size);
  std::optional<Bytes> FindFirstInGroup(std::uint16_t group, std::uint32_t& size, bool extract, std::string& name);
  std::optional<Bytes> FindNextInGroup(std::uint16_t group, std::uint32_t& size, bool extract, std::string& name);
  bool FirstIndexInGroup(std::uint16_t group, std::size_t& index);
  bool NextIndexInGroup(std::uint16_t group, std::size_t& index);
  void ForEachInGroup(std::uint16_t group, const std::function<void(std::size_t)>& procedure);
  bool VerifyEntry(std::size_t index);
  // A large raw entry with CRC 0 in a package without a digest: written before large entries
  // got a CRC, it passes without reading. Every other large entry is read and its CRC checked.
  bool PassesUnchecked(std::size_t index) const;
  // The directory and header were checked against a package digest.
  bool HasDigest() const { return HasDigest_; }
  std::size_t CountGroupedEntries() const;
  std::size_t CountInGroup(std::uint16_t group) const;
  // Copies a large raw entry to `destination` in chunks, reporting bytes done against the
  // total. `progress` (may be empty) is called before each chunk with the display text.
  bool CopyLargeEntry(const std::string& destination, const std::string& display_name, std::uint32_t size,
                      std::size_t index, const std::function<void(const std::string&)>& progress);

  // Checks one entry through another handle of the same file, so that several threads can
  // verify at once; the check is the one VerifyEntry makes.
  bool VerifyEntryWith(platform::File& handle, std::size_t index) const;
  // Extract through another handle of the same file, for a thread that inflates ahead of the
  // one writing; it shows nothing: `decomp_size` is for ReportUnpackFailure.
  std::optional<Bytes> ExtractWith(platform::File& handle, std::size_t index, std::uint64_t& decomp_size) const;
  // The "Error" box Extract shows when an entry did not come out at its size.
  void ReportUnpackFailure(std::size_t index, std::uint64_t decomp_size) const;
  const std::string& FilePath() const { return FilePath_; }
  std::uint64_t FileSize() const { return FileSize_; }
  // Where the package header ends: the file's end, or where a signature appended behind it
  // begins (with its padding).
  std::uint64_t PackageEnd() const { return PackageEnd_; }

  // Where the "Error" box of a size mismatch goes; none: not shown.
  MessageBoxes* Messages = nullptr;

  std::int32_t TrailerSize = 0;
  std::uint32_t Cursor = 0;
  platform::File Handle;
  std::vector<TPakEntry> Entries;
  PakHeader Header;

 private:
  void ReadDirectory();
  // Why the blocks do not lie as every writer stores them; empty when they do.
  std::string LayoutProblem() const;
  // Checks the directory `dir` and the raw `header` against the digest when the package has one.
  std::string DigestProblem(Bytes& dir, const std::uint8_t* header);
  std::optional<Bytes> ReadStoredFrom(platform::File& handle, std::size_t index) const;
  // Inflates or copies a stored block; `decomp_size` receives the size that came out.
  std::optional<Bytes> Unpack(std::size_t index, Bytes block, std::uint64_t& decomp_size) const;
  bool WriteBlock(std::size_t index, const Bytes& block);

  std::string FilePath_;
  std::uint64_t FileSize_ = 0;
  std::uint64_t PackageEnd_ = 0;
  std::string DirectoryProblem_;
  bool HasDigest_ = false;
};

}  // namespace zq
