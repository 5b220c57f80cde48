// Solid blocks (docs/container.md): runs of payload entries of one group compressed together as
// one LZMA2 stream. Each entry of a block keeps its directory record, whose stored block is its
// share (slice) of the frame's bytes, so the blocks still lie in order without gaps and every
// byte has a CRC. The index entry says where blocks begin and end and holds the CRC-32 of each
// entry's own data. A package with blocks has header version 2 and, first in its directory, a
// marker entry that older readers cannot inflate: they refuse the package naming it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/zlib_codec.h"

namespace zq {

struct TPakEntry;

inline constexpr std::uint16_t kPakVersionPlain = 1;
inline constexpr std::uint16_t kPakVersionSolid = 2;
// Group 0, first in the directory; its block is kSolidMarkerText with CompSize = OrigSize, no
// zlib stream, so a reader that does not know solid blocks fails it before any other entry.
inline constexpr char kSolidMarkerEntry[] = "SOLID - this setup needs a newer zqsetup";
inline constexpr char kSolidMarkerText[] =
    "This setup packs its files in solid LZMA2 blocks; a zqsetup engine or zq from before them "
    "cannot read it.\r\n";
// Group 0, last before the package digest, stored raw.
inline constexpr char kSolidIndexEntry[] = "SolidIndex";
inline constexpr char kSolidIndexMagic[4] = {'Z', 'Q', 'S', 'I'};
// 1 was zstd, in packages of development builds only; no reader takes them. 2: LZMA2 blocks of
// at most 64 MiB whose window is their data size (development builds too, still read). 3: LZMA2
// blocks of any size whose window is their data size up to kLzmaLaneWindow.
inline constexpr std::uint16_t kSolidCodecLzma2Whole = 2;
inline constexpr std::uint16_t kSolidCodecLzma2 = 3;

struct SolidBlock {
  std::uint32_t First = 0;     // first directory record
  std::uint32_t Count = 0;     // records, all of one group, none empty
  std::uint32_t Padding = 0;   // zero bytes after the frame, the end of the last record's slice
  std::uint64_t Offset = 0;    // of the frame: the first record's
  std::uint64_t CompSize = 0;  // the slices together, padding included
  std::uint64_t OrigSize = 0;
};

struct SolidIndex {
  std::uint16_t Codec = kSolidCodecLzma2;
  std::vector<SolidBlock> Blocks;
  std::vector<std::int32_t> BlockOf;   // per directory record; -1 outside every block
  std::vector<std::uint32_t> DataCRC;  // per directory record: CRC-32 of its data (blocks only)
};

// How far back the block's matches reach: its decoder's memory.
std::uint32_t SolidWindow(const SolidIndex& index, const SolidBlock& block);

Bytes SerializeSolidIndex(const std::vector<SolidBlock>& blocks, const std::vector<std::uint32_t>& data_crcs);
// Checks the index against the directory: blocks in order, inside it, of non-empty payload
// records of one group each. Empty when it holds.
std::string ParseSolidIndex(const std::uint8_t* data, std::size_t size, const std::vector<TPakEntry>& entries,
                            SolidIndex& out);

}  // namespace zq
