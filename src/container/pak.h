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
#include "container/buffer_pool.h"
#include "container/solid_index.h"
#include "platform/files.h"

namespace zq {

class MessageBoxes;

struct TPakEntry {
  std::string Name;
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
inline constexpr char kPakMagic[4] = {'Z', 'Q', 'P', 'F'};
// A compressed entry whose data and stored block are both at most this is read and inflated
// whole by the one-shot decoder, twice as fast as zlib's streams; every other entry passes in
// pieces, so no entry holds more than this and a piece or two, whatever its size.
inline constexpr std::uint32_t kWholeEntryLimit = 4u << 20;
// A streamed entry's stored bytes are read this much at a time; its data is handed on in pieces
// of kStreamPiece.
inline constexpr std::size_t kStreamReadPiece = 256u << 10;
inline constexpr std::size_t kStreamPiece = 1u << 20;

// How reading an entry a piece at a time ended.
enum class EntryRead { Ok, Damaged, SinkFailed };
// Takes the next piece of an entry's data, in order; it may keep the bytes (move them out).
// false stops the read (SinkFailed).
using PieceSink = std::function<bool(Bytes& piece)>;

// The most bytes reading `e` a piece at a time holds at once (TPak::StreamEntryWith).
std::uint64_t BytesHeldReading(const TPakEntry& e);

// Reads a package: the directory when it opens, read-only from then on. The reader's own file
// handle serves one thread at a time (its reads move the position); other threads read through
// handles of their own (VerifyEntryWith, StreamEntryWith).
class TPak {
 public:
  // Opens shared and reads the directory. `messages` receives the "Error" box of a size
  // mismatch (Extract); none: not shown.
  explicit TPak(const std::string& file_name, MessageBoxes* messages = nullptr);
  TPak(const TPak&) = delete;
  TPak& operator=(const TPak&) = delete;

  bool IsOpen() const { return Handle_.IsOpen(); }
  bool HasValidHeader() const;
  // The file ends with a package header, its directory sound or not: a program that
  // already carries a package.
  bool EndsWithPackageHeader() const;
  // Why the directory was refused (damaged or absurd: records that do not fill it, blocks not
  // stored in order from the data start to the directory without gaps, a digest that does not
  // match), empty when it was read or is simply absent.
  const std::string& DirectoryProblem() const { return DirectoryProblem_; }
  const PakHeader& Header() const { return Header_; }
  // Empty when the directory is absent or was refused.
  const std::vector<TPakEntry>& Entries() const { return Entries_; }

  // Every index past the directory gives nothing.
  std::optional<Bytes> ReadStored(std::size_t index) const;
  std::optional<Bytes> Extract(std::size_t index) const;
  // The first entry of `group` of that name (case-insensitive).
  std::optional<Bytes> ExtractByName(const std::string& name, std::uint16_t group) const;
  // The entries of a group, in directory order.
  std::vector<std::size_t> IndexesInGroup(std::uint16_t group) const;
  std::size_t CountGroupedEntries() const;
  std::size_t CountInGroup(std::uint16_t group) const;
  bool VerifyEntry(std::size_t index) const;
  // A large raw entry with CRC 0 in a package without a digest: written before large entries
  // got a CRC, it passes without reading. Every other large entry is read and its CRC checked.
  bool PassesUnchecked(std::size_t index) const;
  // The directory and header were checked against a package digest.
  bool HasDigest() const { return HasDigest_; }
  // The package declares its text UTF-8 (kTextEncodingEntry). Without it the names, read in
  // the legacy code page, are given as UTF-8 already, and the text of its entries must be
  // converted the same way (Utf8Text).
  bool TextIsUtf8() const { return TextIsUtf8_; }
  // The package's solid blocks (header version 2); nothing for a package without them.
  const SolidIndex* Solid() const { return Solid_.Blocks.empty() ? nullptr : &Solid_; }
  bool IsSolid(std::size_t index) const { return index < Solid_.BlockOf.size() && Solid_.BlockOf[index] >= 0; }
  std::string Utf8Text(const std::string& stored) const;
  // Hands entry `index`'s data to `sink` (may be empty: check only) a piece at a time, read
  // through `handle` (another handle of the same file, or none: the reader's own), checking it
  // as it passes: the stored block's CRC, the stream, the size. The CRC is known only once the
  // whole block was read, so a damaged entry may have given pieces before it says Damaged: the
  // caller must discard them. `decomp_size` receives the size that came out (ReportUnpackFailure).
  // Entries of solid blocks are decoded from the start of their block.
  // With `pool`, the buffers read into are taken from it (a piece the sink does not keep stays
  // the sink's to give back).
  EntryRead StreamEntryWith(platform::File* handle, std::size_t index, const PieceSink& sink,
                            std::uint64_t& decomp_size, BufferPool* pool = nullptr) const;

  // Checks one entry through another handle of the same file, so that several threads can
  // verify at once; the check is the one VerifyEntry makes: the whole entry read a piece at a
  // time (StreamEntryWith), or, for an entry of a solid block, the CRC of its slice.
  bool VerifyEntryWith(platform::File& handle, std::size_t index, BufferPool* pool = nullptr) const;
  // The "Error" box Extract shows when an entry did not come out at its size.
  void ReportUnpackFailure(std::size_t index, std::uint64_t decomp_size) const;
  const std::string& FilePath() const { return FilePath_; }
  std::uint64_t FileSize() const { return FileSize_; }
  // Where the package header ends: the file's end, or where a signature appended behind it
  // begins (with its padding).
  std::uint64_t PackageEnd() const { return PackageEnd_; }

 private:
  void ReadDirectory();
  // Why the blocks do not lie as every writer stores them; empty when they do.
  std::string LayoutProblem() const;
  // Checks the directory `dir` and the raw `header` against the digest when the package has one.
  std::string DigestProblem(Bytes& dir, const std::uint8_t* header);
  // Reads the solid index of a version 2 package; empty when it holds.
  std::string SolidProblem();
  // Extract of an entry of a solid block, through `handle`.
  std::optional<Bytes> ExtractSolid(platform::File& handle, std::size_t index, std::uint64_t& decomp_size) const;
  std::optional<Bytes> ReadStoredFrom(platform::File& handle, std::size_t index, Bytes reuse = {}) const;
  // The stored block's CRC, taken a piece at a time.
  bool StoredCrcMatches(platform::File& handle, std::size_t index) const;
  // StreamEntryWith of a stored block too large to take whole: raw, or inflated by zlib.
  EntryRead StreamPieces(platform::File& handle, std::size_t index, const PieceSink& sink, std::uint64_t& decomp_size,
                         BufferPool* pool) const;
  // Inflates or copies a stored block; `decomp_size` receives the size that came out. With
  // `pool`, the output is written into a buffer of it and the spent block goes back to it.
  std::optional<Bytes> Unpack(std::size_t index, Bytes block, std::uint64_t& decomp_size,
                              BufferPool* pool = nullptr) const;

  std::string FilePath_;
  MessageBoxes* Messages_ = nullptr;
  // Reads seek: a const reader still moves the position of its own handle.
  mutable platform::File Handle_;
  std::vector<TPakEntry> Entries_;
  PakHeader Header_;
  std::uint64_t FileSize_ = 0;
  std::uint64_t PackageEnd_ = 0;
  std::string DirectoryProblem_;
  bool HasDigest_ = false;
  bool TextIsUtf8_ = false;
  SolidIndex Solid_;
};

}  // namespace zq
