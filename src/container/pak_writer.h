// Writes a setup package (container/pak.h has its layout): entry blocks appended one by one,
// then the directory and the header.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codec/zlib_codec.h"
#include "container/pak.h"
#include "platform/files.h"

namespace zq {

// One entry's stored block: compressed unless that is larger than the data or the
// data is 70 MiB or more; the CRC-32 is of the stored block.
struct PackedBlock {
  Bytes Block;
  std::uint32_t CompSize = 0;  // 0: stored raw
  std::uint32_t OrigSize = 0;
  std::uint32_t CRC = 0;
};
PackedBlock PackBlock(const std::uint8_t* data, std::uint32_t size);

// Random or already compressed data never shrinks; three samples at the fastest level tell it
// at once, where compressing it whole costs about a second per 35 MB.
inline constexpr std::uint32_t kIncompressibleSample = 16384;
inline constexpr std::uint64_t kIncompressibleMinSize = 16 * kIncompressibleSample;  // smaller: always tried
// Where the samples of data of `size` (at least kIncompressibleMinSize) begin.
std::array<std::uint64_t, 3> IncompressibleSampleOffsets(std::uint64_t size);
bool SampleIncompressible(const std::uint8_t* sample);  // kIncompressibleSample bytes
bool LooksIncompressible(const std::uint8_t* data, std::uint32_t size);

class PakWriter {
 public:
  // Create makes a new file; Append opens an existing one (the program part) for writing
  // behind its current end.
  enum class Mode { Create, Append };

  PakWriter(const std::string& file_name, Mode mode);
  PakWriter(const PakWriter&) = delete;
  PakWriter& operator=(const PakWriter&) = delete;

  bool IsOpen() const { return Handle_.IsOpen(); }
  // Where the blocks begin: the program part's size (Append), 0 (Create).
  std::uint32_t DataStart() const { return Header_.DataStart; }
  // The entries added so far, with where and how their blocks were stored.
  const std::vector<TPakEntry>& Entries() const { return Entries_; }

  // `source_file` is what StoreFile and StoreLargeFile read; it is never stored.
  std::size_t AddEntry(const std::string& name, const std::string& source_file, std::uint16_t group);
  bool StoreBuffer(std::size_t index, const std::uint8_t* data, std::uint32_t size);
  // False when the entry's source file cannot be read.
  bool StoreFile(std::size_t index);
  // Stores a block that is already packed (compressed in parallel by a writer of many entries).
  bool StorePacked(std::size_t index, const PackedBlock& packed);
  // Copies the entry's source file raw behind the package in chunks, as StoreFile stores a
  // large entry, but with the CRC of what it copied. False with `problem` when it cannot be
  // read or written, or when the package would reach 4 GiB.
  bool StoreLargeFile(std::size_t index, std::string* problem = nullptr);
  // Stores one solid block (container/solid_index.h): `frame`, its padding included, cut into
  // the consecutive slices of the entries from `first` on, one per entry of `orig_sizes`.
  bool StoreSlices(std::size_t first, const Bytes& frame, const std::vector<std::uint32_t>& slices,
                   const std::vector<std::uint32_t>& orig_sizes);
  // The header's version: kPakVersionSolid for a package with solid blocks.
  void SetVersion(std::uint16_t version) { Version_ = version; }
  // Where the next block goes: the file's end; nothing when that cannot be told.
  std::optional<std::uint64_t> WriteOffset();
  // With `add_digest`, the package digest (container/package_digest.h) becomes the last entry.
  bool WriteDirectory(bool add_digest = false);
  void Close();

 private:
  std::optional<Bytes> PackBuffer(std::size_t index, const std::uint8_t* data, std::uint32_t size);
  // Nothing when the entry's source file cannot be read.
  std::optional<Bytes> LoadSource(std::size_t index);
  bool WriteBlock(std::size_t index, const Bytes& block);

  platform::File Handle_;
  std::vector<TPakEntry> Entries_;
  std::vector<std::string> Sources_;  // one per entry
  PakHeader Header_;
  std::uint16_t Version_ = kPakVersionPlain;
};

}  // namespace zq
