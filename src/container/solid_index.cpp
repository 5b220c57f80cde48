#include "container/solid_index.h"

#include <algorithm>
#include <cstring>

#include "base/byte_io.h"
#include "codec/lzma_decoder.h"
#include "container/pak.h"

namespace zq {

namespace {
constexpr std::size_t kIndexHead = 12;  // magic, codec, reserved, block count
constexpr std::size_t kBlockBytes = 12;
}  // namespace

std::uint32_t SolidWindow(const SolidIndex& index, const SolidBlock& block) {
  const std::uint32_t limit = index.Codec == kSolidCodecLzma2Whole ? kLzmaMaxWindow : kLzmaLaneWindow;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(block.OrigSize, limit));
}

Bytes SerializeSolidIndex(const std::vector<SolidBlock>& blocks, const std::vector<std::uint32_t>& data_crcs) {
  Bytes out(kSolidIndexMagic, kSolidIndexMagic + 4);
  PutU16(out, kSolidCodecLzma2);
  PutU16(out, 0);
  PutU32(out, static_cast<std::uint32_t>(blocks.size()));
  for (const SolidBlock& b : blocks) {
    PutU32(out, b.First);
    PutU32(out, b.Count);
    PutU32(out, b.Padding);
  }
  for (const std::uint32_t crc : data_crcs) PutU32(out, crc);
  return out;
}

std::string ParseSolidIndex(const std::uint8_t* data, std::size_t size, const std::vector<TPakEntry>& entries,
                            SolidIndex& out) {
  out = {};
  if (size < kIndexHead || std::memcmp(data, kSolidIndexMagic, 4) != 0) return "the solid index has no ZQSI header";
  out.Codec = GetU16(data + 4);
  if (out.Codec != kSolidCodecLzma2 && out.Codec != kSolidCodecLzma2Whole) {
    return "the solid blocks use codec " + std::to_string(out.Codec) + ", which this reader does not know";
  }
  const std::uint64_t count = GetU32(data + 8);
  if (count > entries.size() || kIndexHead + count * kBlockBytes > size) return "the solid index is cut short";
  out.BlockOf.assign(entries.size(), -1);
  out.DataCRC.assign(entries.size(), 0);
  const std::uint8_t* crcs = data + kIndexHead + count * kBlockBytes;
  std::size_t crc_count = (size - kIndexHead - count * kBlockBytes) / 4;
  if ((size - kIndexHead - count * kBlockBytes) % 4 != 0) return "the solid index has a cut CRC";
  std::uint64_t next_free = 0;
  std::size_t crc_at = 0;
  for (std::size_t b = 0; b < count; ++b) {
    const std::uint8_t* p = data + kIndexHead + b * kBlockBytes;
    SolidBlock block{GetU32(p), GetU32(p + 4), GetU32(p + 8)};
    const std::string name = "solid block " + std::to_string(b);
    if (block.Count == 0 || block.First < next_free || std::uint64_t{block.First} + block.Count > entries.size()) {
      return name + " does not lie after the one before it inside the directory";
    }
    const std::uint16_t group = entries[block.First].Group;
    block.Offset = entries[block.First].Offset;
    for (std::uint32_t i = block.First; i < block.First + block.Count; ++i) {
      const TPakEntry& e = entries[i];
      if (e.Group == 0 || e.Group != group || e.OrigSize == 0 || e.CompSize == 0 || e.OrigSize >= LargeEntryLimit) {
        return name + " holds record " + std::to_string(i) + ", which is empty, large or not of its payload group";
      }
      if (crc_at >= crc_count) return "the solid index holds fewer CRCs than its blocks have records";
      out.BlockOf[i] = static_cast<std::int32_t>(b);
      out.DataCRC[i] = GetU32(crcs + 4 * crc_at++);
      block.CompSize += e.CompSize;
      block.OrigSize += e.OrigSize;
    }
    if (block.Padding >= block.CompSize) return name + " is all padding";
    // The older codec's window is the block's data.
    if (out.Codec == kSolidCodecLzma2Whole && block.OrigSize > kLzmaMaxWindow) {
      return name + " holds more than 64 MiB of data";
    }
    next_free = std::uint64_t{block.First} + block.Count;
    out.Blocks.push_back(block);
  }
  if (crc_at != crc_count) return "the solid index holds more CRCs than its blocks have records";
  return {};
}

}  // namespace zq
