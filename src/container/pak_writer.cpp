#include "container/pak_writer.h"

#include <array>

#include <cstring>

#include "base/byte_io.h"
#include "container/package_digest.h"
#include "container/pak_string.h"

namespace zq {

namespace {

// Level 7 packs this project's payloads (text, records, pictures) as small as level 9 at half
// its time or less; the stream is the same kind either way.
constexpr int kBlockLevel = 7;

}  // namespace

std::array<std::uint64_t, 3> IncompressibleSampleOffsets(std::uint64_t size) {
  return {0, size / 2 - kIncompressibleSample / 2, size - kIncompressibleSample};
}

bool SampleIncompressible(const std::uint8_t* sample) {
  return Compress(sample, kIncompressibleSample, 1).size() >= kIncompressibleSample - kIncompressibleSample / 64;
}

bool LooksIncompressible(const std::uint8_t* data, std::uint32_t size) {
  if (size < kIncompressibleMinSize) return false;
  for (const std::uint64_t at : IncompressibleSampleOffsets(size)) {
    if (!SampleIncompressible(data + at)) return false;
  }
  return true;
}

PackedBlock PackBlock(const std::uint8_t* data, std::uint32_t size) {
  PackedBlock out;
  out.OrigSize = size;
  if (size < LargeEntryLimit && !LooksIncompressible(data, size)) {
    out.Block = Compress(data, size, kBlockLevel);
    out.CompSize = static_cast<std::uint32_t>(out.Block.size());
  }
  if (out.CompSize == 0 || size < out.CompSize || size >= LargeEntryLimit) {
    out.CompSize = 0;
    out.Block.assign(data, data + size);
  }
  CalcCRC32(out.Block.data(), static_cast<std::uint32_t>(out.Block.size()), out.CRC);
  return out;
}

PakWriter::PakWriter(const std::string& file_name, Mode mode) {
  switch (mode) {
    case Mode::Append:
      if (Handle_.Open(file_name, platform::OpenMode::ReadWrite) && Handle_.SeekToEnd()) {
        Header_.DataStart = static_cast<std::uint32_t>(Handle_.Position().value_or(0));
      }
      break;
    case Mode::Create: Handle_.Open(file_name, platform::OpenMode::Create); break;
  }
}

std::size_t PakWriter::AddEntry(const std::string& name, const std::string& source_file, std::uint16_t group) {
  TPakEntry e;
  e.Name = name;
  e.Group = group;
  Entries_.push_back(std::move(e));
  Sources_.push_back(source_file);
  return Entries_.size() - 1;
}

std::optional<Bytes> PakWriter::PackBuffer(std::size_t index, const std::uint8_t* data, std::uint32_t size) {
  if (index >= Entries_.size()) return std::nullopt;
  TPakEntry& e = Entries_[index];
  e.OrigSize = size;
  if (data == nullptr && size > 0) return std::nullopt;
  PackedBlock packed = PackBlock(data, size);
  e.CompSize = packed.CompSize;
  e.CRC = packed.CRC;
  return std::move(packed.Block);
}

std::optional<Bytes> PakWriter::LoadSource(std::size_t index) {
  if (index >= Entries_.size()) return std::nullopt;
  TPakEntry& e = Entries_[index];
  auto raw = ReadWholeFile(Sources_[index]);
  if (!raw) return std::nullopt;
  e.OrigSize = static_cast<std::uint32_t>(raw->size());
  if (e.OrigSize >= LargeEntryLimit) {
    e.CompSize = 0;
    e.CRC = 0;  // too large to check at start-up; such entries pass unchecked
    return raw;
  }
  return PackBuffer(index, raw->data(), e.OrigSize);
}

bool PakWriter::WriteBlock(std::size_t index, const Bytes& block) {
  TPakEntry& e = Entries_[index];
  if (!Handle_.SeekToEnd()) return false;
  auto pos = Handle_.Position();
  if (!pos) return false;
  e.Offset = static_cast<std::uint32_t>(*pos);
  return Handle_.Write(block.data(), block.size()) == block.size();
}

bool PakWriter::StoreBuffer(std::size_t index, const std::uint8_t* data, std::uint32_t size) {
  auto block = PackBuffer(index, data, size);
  return block && WriteBlock(index, *block);
}

bool PakWriter::StoreFile(std::size_t index) {
  auto block = LoadSource(index);
  return block && WriteBlock(index, *block);
}

bool PakWriter::StorePacked(std::size_t index, const PackedBlock& packed) {
  if (index >= Entries_.size()) return false;
  TPakEntry& e = Entries_[index];
  e.CompSize = packed.CompSize;
  e.OrigSize = packed.OrigSize;
  e.CRC = packed.CRC;
  return WriteBlock(index, packed.Block);
}

bool PakWriter::StoreLargeFile(std::size_t index, std::string* problem) {
  auto fail = [&](std::string why) {
    if (problem != nullptr) *problem = std::move(why);
    return false;
  };
  if (index >= Entries_.size()) return fail("no entry " + std::to_string(index));
  TPakEntry& e = Entries_[index];
  platform::File in;
  if (!in.Open(Sources_[index], platform::OpenMode::ReadShared)) return fail("cannot read " + Sources_[index]);
  const auto pos = WriteOffset();
  if (!pos) return fail("cannot write the package");
  Bytes chunk(CopyChunkSize);
  std::uint64_t total = 0;
  std::uint32_t crc = 0;
  for (;;) {
    const std::size_t got = in.Read(chunk.data(), chunk.size());
    if (got == 0) break;
    if (Handle_.Write(chunk.data(), got) != got) return fail("cannot write the package");
    crc = Crc32(chunk.data(), got, crc);
    total += got;
  }
  if (total > 0xFFFFFFFFull || *pos + total > 0xFFFFFFFFull) return fail("the package would be 4 GiB or larger");
  e.Offset = static_cast<std::uint32_t>(*pos);
  e.CompSize = 0;
  e.OrigSize = static_cast<std::uint32_t>(total);
  e.CRC = crc;
  return true;
}

bool PakWriter::StoreSlices(std::size_t first, const Bytes& frame, const std::vector<std::uint32_t>& slices,
                            const std::vector<std::uint32_t>& orig_sizes) {
  if (slices.size() != orig_sizes.size() || first + slices.size() > Entries_.size()) return false;
  const auto pos = WriteOffset();
  if (!pos || *pos + frame.size() > 0xFFFFFFFFull) return false;
  std::uint64_t at = 0;
  for (std::size_t i = 0; i < slices.size(); ++i) {
    TPakEntry& e = Entries_[first + i];
    if (slices[i] == 0 || at + slices[i] > frame.size()) return false;
    e.Offset = static_cast<std::uint32_t>(*pos + at);
    e.CompSize = slices[i];
    e.OrigSize = orig_sizes[i];
    e.CRC = Crc32(frame.data() + at, slices[i]);
    at += slices[i];
  }
  return at == frame.size() && Handle_.Write(frame.data(), frame.size()) == frame.size();
}

std::optional<std::uint64_t> PakWriter::WriteOffset() {
  if (!Handle_.SeekToEnd()) return std::nullopt;
  return Handle_.Position();
}

bool PakWriter::WriteDirectory(bool add_digest) {
  if (Entries_.size() + (add_digest ? 1 : 0) > 0xFFFF || !Handle_.SeekToEnd()) return false;
  auto end = Handle_.Position();
  if (!end || *end + (add_digest ? kPackageDigestBlockSize : 0) > 0xFFFFFFFFull) return false;
  if (add_digest) {
    TPakEntry digest;
    digest.Name = kPackageDigestEntry;
    digest.Offset = static_cast<std::uint32_t>(*end);
    digest.OrigSize = kPackageDigestBlockSize;
    Entries_.push_back(std::move(digest));
    *end += kPackageDigestBlockSize;
  }
  std::memcpy(Header_.ID.data(), kPakMagic, 4);
  Header_.Version = Version_;
  Header_.FileCount = static_cast<std::uint16_t>(Entries_.size());
  Header_.DirOffset = static_cast<std::uint32_t>(*end);
  Bytes out;
  for (const TPakEntry& e : Entries_) {
    AppendPakString(out, e.Name);
    PutU32(out, e.CRC);
    PutU32(out, e.Offset);
    PutU32(out, e.CompSize);
    PutU32(out, e.OrigSize);
    PutU16(out, e.Group);
  }
  const std::size_t dir_size = out.size();
  out.insert(out.end(), Header_.ID.begin(), Header_.ID.end());
  PutU16(out, Header_.Version);
  PutU16(out, Header_.FileCount);
  PutU32(out, Header_.DataStart);
  PutU32(out, Header_.DirOffset);
  if (add_digest) {
    // Taken with the digest's own CRC at 0, then that CRC (of the block) goes in.
    const auto block = MakePackageDigest(out.data(), dir_size, out.data() + dir_size);
    if (!block) return false;
    TPakEntry& digest = Entries_.back();
    CalcCRC32(block->data(), kPackageDigestBlockSize, digest.CRC);
    SetU32(out.data() + dir_size - 18, digest.CRC);
    out.insert(out.begin(), block->begin(), block->end());
  }
  return Handle_.Write(out.data(), out.size()) == out.size() && Handle_.Flush();
}

void PakWriter::Close() { Handle_.Close(); }

}  // namespace zq
