#include "container/pak.h"

#include <algorithm>
#include <cstring>

#include "container/entry_name.h"
#include "container/pak_string.h"
#include "container/package_digest.h"
#include "container/pe_image.h"
#include "base/byte_io.h"
#include "base/path_text.h"
#include "base/size_text.h"
#include "base/ui_targets.h"
#include "platform/text.h"

namespace zq {

namespace {

constexpr char kMagic[4] = {'Z', 'Q', 'P', 'F'};
// No real directory comes near this (65,535 records with long names are under 10 MiB); a
// header that claims more is damaged, and reading it would only waste memory.
constexpr std::uint64_t kMaxDirectoryBytes = 64ull << 20;
constexpr std::uint32_t kRecordFixedBytes = 20;
// Signing tools pad the file with zeros to a multiple of 8 before the certificate table.
constexpr std::uint64_t kMaxSignaturePadding = 7;

// The end of the package: before the certificate table when the image's security directory
// names one that ends the file and the package header (after at most the padding) precedes
// it; the file's end otherwise, so an unsigned setup reads as it always did.
std::uint64_t FindPackageEnd(platform::File& handle, std::uint64_t file_size) {
  std::uint8_t head[kPeHeadBytes];
  const std::size_t head_size = static_cast<std::size_t>(std::min<std::uint64_t>(file_size, kPeHeadBytes));
  if (!handle.Seek(0) || handle.Read(head, head_size) != head_size) return file_size;
  const auto security = ReadPeSecurityDirectory(head, head_size);
  if (!security || security->TableSize == 0 ||
      std::uint64_t{security->TableOffset} + security->TableSize != file_size) {
    return file_size;
  }
  const std::uint64_t table = security->TableOffset;
  const std::uint64_t window = std::min<std::uint64_t>(table, kPakHeaderSize + kMaxSignaturePadding);
  std::uint8_t tail[kPakHeaderSize + kMaxSignaturePadding];
  if (window < kPakHeaderSize || !handle.Seek(table - window) || handle.Read(tail, window) != window) return file_size;
  for (std::uint64_t padding = 0; padding <= window - kPakHeaderSize; ++padding) {
    if (padding > 0 && tail[window - padding] != 0) break;
    if (std::memcmp(tail + window - padding - kPakHeaderSize, kMagic, 4) == 0) return table - padding;
  }
  return file_size;
}

// Level 7 packs this project's payloads (text, records, pictures) as small as level 9 at half
// its time or less; the stream is the same kind either way.
constexpr int kBlockLevel = 7;

// Random or already compressed data never shrinks; a few samples at the fastest level tell it
// at once, where compressing it whole costs about a second per 35 MB.
bool LooksIncompressible(const std::uint8_t* data, std::uint32_t size) {
  constexpr std::uint32_t kSample = 16384;
  if (size < 16 * kSample) return false;
  for (const std::uint32_t at : {0u, size / 2 - kSample / 2, size - kSample}) {
    if (Compress(data + at, kSample, 1).size() < kSample - kSample / 64) return false;
  }
  return true;
}

}  // namespace

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

TPak::TPak(const std::string& file_name, OpenFlags flags) : FilePath_(file_name) {
  switch (flags) {
    case OpenFlags::Read:
      if (Handle.Open(file_name, platform::OpenMode::ReadShared)) ReadDirectory();
      break;
    case OpenFlags::Append:
      if (Handle.Open(file_name, platform::OpenMode::ReadWrite) && Handle.SeekToEnd()) {
        Header.DataStart = static_cast<std::uint32_t>(Handle.Position().value_or(0));
      }
      break;
    case OpenFlags::Create: Handle.Open(file_name, platform::OpenMode::Create); break;
  }
}

bool TPak::HasValidHeader() const { return EndsWithPackageHeader() && DirectoryProblem_.empty(); }

bool TPak::EndsWithPackageHeader() const { return std::memcmp(Header.ID.data(), kMagic, 4) == 0; }

void TPak::ReadDirectory() {
  Entries.clear();
  FileSize_ = Handle.Size().value_or(0);
  PackageEnd_ = FindPackageEnd(Handle, FileSize_);
  std::uint8_t raw[kPakHeaderSize];
  if (PackageEnd_ < kPakHeaderSize || !Handle.Seek(PackageEnd_ - kPakHeaderSize) ||
      Handle.Read(raw, kPakHeaderSize) != kPakHeaderSize) {
    return;
  }
  std::memcpy(Header.ID.data(), raw, 4);
  Header.Version = GetU16(raw + 4);
  Header.FileCount = GetU16(raw + 6);
  Header.DataStart = GetU32(raw + 8);
  Header.DirOffset = GetU32(raw + 12);
  if (std::memcmp(Header.ID.data(), kMagic, 4) != 0) return;

  const std::uint64_t dir_end = PackageEnd_ - kPakHeaderSize;
  if (Header.DirOffset > dir_end) {
    DirectoryProblem_ = "the directory offset " + std::to_string(Header.DirOffset) +
                        " lies past the end of the file (" + std::to_string(PackageEnd_) + " bytes)";
    return;
  }
  const std::uint64_t dir_bytes = dir_end - Header.DirOffset;
  if (dir_bytes > kMaxDirectoryBytes) {
    DirectoryProblem_ = "the directory claims " + std::to_string(dir_bytes) + " bytes, more than any setup holds";
    return;
  }
  if (std::uint64_t{Header.FileCount} * kRecordFixedBytes > dir_bytes) {
    DirectoryProblem_ =
        std::to_string(Header.FileCount) + " directory records cannot fit in " + std::to_string(dir_bytes) + " bytes";
    return;
  }
  Bytes dir(static_cast<std::size_t>(dir_bytes));
  if (!Handle.Seek(Header.DirOffset) || Handle.Read(dir.data(), dir.size()) != dir.size()) {
    DirectoryProblem_ = "the directory cannot be read";
    return;
  }
  TrailerSize = static_cast<std::int32_t>(PackageEnd_ - Header.DirOffset);
  Entries.resize(Header.FileCount);
  std::size_t pos = 0;
  for (std::size_t i = 0; i < Entries.size(); ++i) {
    TPakEntry& e = Entries[i];
    if (dir.size() - pos < 2 || dir.size() - pos - 2 < GetU16(&dir[pos]) + std::size_t{kRecordFixedBytes - 2}) {
      DirectoryProblem_ = "directory record " + std::to_string(i) + " runs past the end of the directory";
      Entries.clear();
      return;
    }
    std::size_t n = GetU16(&dir[pos]);
    e.Name.assign(reinterpret_cast<const char*>(&dir[pos + 2]), n);
    const std::uint8_t* f = &dir[pos + 2 + n];
    e.CRC = GetU32(f);
    e.Offset = GetU32(f + 4);
    e.CompSize = GetU32(f + 8);
    e.OrigSize = GetU32(f + 12);
    e.Group = GetU16(f + 16);
    pos += 2 + n + 18;
  }
  if (pos != dir.size()) {
    DirectoryProblem_ = std::to_string(dir.size() - pos) + " bytes follow the last directory record";
  } else {
    DirectoryProblem_ = LayoutProblem();
  }
  if (DirectoryProblem_.empty()) DirectoryProblem_ = DigestProblem(dir, raw);
  if (!DirectoryProblem_.empty()) Entries.clear();
}

std::string TPak::LayoutProblem() const {
  // Every writer appends the blocks in directory order without gaps, from the data start to
  // the directory; anything else is a damaged offset, size or header field.
  std::uint64_t expected = Header.DataStart;
  for (std::size_t i = 0; i < Entries.size(); ++i) {
    const TPakEntry& e = Entries[i];
    if (e.Offset != expected) {
      return "the block of entry " + std::to_string(i) + " lies at " + std::to_string(e.Offset) + ", not at " +
             std::to_string(expected) + " where the blocks before it end";
    }
    expected += e.StoredSize();
  }
  if (expected != Header.DirOffset) {
    return "the blocks end at " + std::to_string(expected) + ", not at the directory (" +
           std::to_string(Header.DirOffset) + ")";
  }
  return {};
}

std::string TPak::DigestProblem(Bytes& dir, const std::uint8_t* header) {
  // Either mark alone makes the digest expected, so one damaged byte cannot hide it: the last
  // record's name, or the magic of the block just before the directory.
  const bool named = !Entries.empty() && Entries.back().Group == 0 && Entries.back().Name == kPackageDigestEntry;
  PackageDigestBlock block{};
  bool marked = false;
  if (Header.DirOffset >= std::uint64_t{Header.DataStart} + kPackageDigestBlockSize) {
    if (!Handle.Seek(Header.DirOffset - kPackageDigestBlockSize) ||
        Handle.Read(block.data(), block.size()) != block.size()) {
      return "the package digest cannot be read";
    }
    marked = std::memcmp(block.data(), kPackageDigestMagic, 4) == 0;
  }
  if (!named && !marked) return {};
  if (!named || !marked) return "the package digest or its record is damaged";
  const TPakEntry& e = Entries.back();
  std::uint32_t crc = 0;
  CalcCRC32(block.data(), kPackageDigestBlockSize, crc);
  if (e.CRC != crc) return "the package digest does not match its record's CRC";
  // The digest was taken with its own record's CRC field at 0.
  const std::size_t crc_field = dir.size() - 18;
  SetU32(dir.data() + crc_field, 0);
  const auto expected = MakePackageDigest(dir.data(), dir.size(), header);
  if (!expected) return "the package digest cannot be computed (no MD5)";
  if (*expected != block) return "the directory or the header does not match the package digest";
  HasDigest_ = true;
  return {};
}

std::size_t TPak::AddEntry(const std::string& name, const std::string& source_file, std::uint16_t group) {
  TPakEntry e;
  e.Name = name;
  e.FileName = source_file;
  e.Group = group;
  Entries.push_back(std::move(e));
  return Entries.size() - 1;
}

std::optional<Bytes> TPak::PackBuffer(std::size_t index, const std::uint8_t* data, std::uint32_t size) {
  if (index >= Entries.size()) return std::nullopt;
  TPakEntry& e = Entries[index];
  e.OrigSize = size;
  if (data == nullptr && size > 0) return std::nullopt;
  PackedBlock packed = PackBlock(data, size);
  e.CompSize = packed.CompSize;
  e.CRC = packed.CRC;
  return std::move(packed.Block);
}

std::optional<Bytes> TPak::LoadSource(std::size_t index) {
  if (index >= Entries.size()) return std::nullopt;
  TPakEntry& e = Entries[index];
  auto raw = ReadWholeFile(e.FileName);
  if (!raw) return std::nullopt;
  e.OrigSize = static_cast<std::uint32_t>(raw->size());
  if (e.OrigSize >= LargeEntryLimit) {
    e.CompSize = 0;
    e.CRC = 0;  // too large to check at start-up; such entries pass unchecked
    return raw;
  }
  return PackBuffer(index, raw->data(), e.OrigSize);
}

bool TPak::WriteBlock(std::size_t index, const Bytes& block) {
  TPakEntry& e = Entries[index];
  if (!Handle.SeekToEnd()) return false;
  auto pos = Handle.Position();
  if (!pos) return false;
  e.Offset = static_cast<std::uint32_t>(*pos - static_cast<std::uint64_t>(TrailerSize));
  return Handle.Write(block.data(), block.size()) == block.size();
}

bool TPak::StoreBuffer(std::size_t index, const std::uint8_t* data, std::uint32_t size) {
  auto block = PackBuffer(index, data, size);
  return block && WriteBlock(index, *block);
}

bool TPak::StoreFile(std::size_t index) {
  auto block = LoadSource(index);
  return block && WriteBlock(index, *block);
}

bool TPak::StorePacked(std::size_t index, const PackedBlock& packed) {
  if (index >= Entries.size()) return false;
  TPakEntry& e = Entries[index];
  e.CompSize = packed.CompSize;
  e.OrigSize = packed.OrigSize;
  e.CRC = packed.CRC;
  return WriteBlock(index, packed.Block);
}

bool TPak::StoreLargeFile(std::size_t index, std::string* problem) {
  auto fail = [&](std::string why) {
    if (problem != nullptr) *problem = std::move(why);
    return false;
  };
  if (index >= Entries.size()) return fail("no entry " + std::to_string(index));
  TPakEntry& e = Entries[index];
  platform::File in;
  if (!in.Open(e.FileName, platform::OpenMode::ReadShared)) return fail("cannot read " + e.FileName);
  const auto pos = WriteOffset();
  if (!pos) return fail("cannot write the package");
  Bytes chunk(CopyChunkSize);
  std::uint64_t total = 0;
  std::uint32_t crc = 0;
  for (;;) {
    const std::size_t got = in.Read(chunk.data(), chunk.size());
    if (got == 0) break;
    if (Handle.Write(chunk.data(), got) != got) return fail("cannot write the package");
    crc = Crc32(chunk.data(), got, crc);
    total += got;
  }
  if (total > 0xFFFFFFFFull || *pos + total > 0xFFFFFFFFull) return fail("the package would be 4 GiB or larger");
  e.Offset = static_cast<std::uint32_t>(*pos - static_cast<std::uint64_t>(TrailerSize));
  e.CompSize = 0;
  e.OrigSize = static_cast<std::uint32_t>(total);
  e.CRC = crc;
  return true;
}

std::optional<std::uint64_t> TPak::WriteOffset() {
  if (!Handle.SeekToEnd()) return std::nullopt;
  return Handle.Position();
}

bool TPak::WriteDirectory(bool add_digest) {
  if (Entries.size() + (add_digest ? 1 : 0) > 0xFFFF || !Handle.SeekToEnd()) return false;
  auto end = Handle.Position();
  if (!end || *end + (add_digest ? kPackageDigestBlockSize : 0) > 0xFFFFFFFFull) return false;
  if (add_digest) {
    TPakEntry digest;
    digest.Name = kPackageDigestEntry;
    digest.Offset = static_cast<std::uint32_t>(*end - static_cast<std::uint64_t>(TrailerSize));
    digest.OrigSize = kPackageDigestBlockSize;
    Entries.push_back(std::move(digest));
    *end += kPackageDigestBlockSize;
  }
  std::memcpy(Header.ID.data(), kMagic, 4);
  Header.Version = 1;
  Header.FileCount = static_cast<std::uint16_t>(Entries.size());
  Header.DirOffset = static_cast<std::uint32_t>(*end);
  Bytes out;
  for (const TPakEntry& e : Entries) {
    AppendPakString(out, e.Name);
    PutU32(out, e.CRC);
    PutU32(out, e.Offset);
    PutU32(out, e.CompSize);
    PutU32(out, e.OrigSize);
    PutU16(out, e.Group);
  }
  const std::size_t dir_size = out.size();
  out.insert(out.end(), Header.ID.begin(), Header.ID.end());
  PutU16(out, Header.Version);
  PutU16(out, Header.FileCount);
  PutU32(out, Header.DataStart);
  PutU32(out, Header.DirOffset);
  if (add_digest) {
    // Taken with the digest's own CRC at 0, then that CRC (of the block) goes in.
    const auto block = MakePackageDigest(out.data(), dir_size, out.data() + dir_size);
    if (!block) return false;
    TPakEntry& digest = Entries.back();
    CalcCRC32(block->data(), kPackageDigestBlockSize, digest.CRC);
    SetU32(out.data() + dir_size - 18, digest.CRC);
    out.insert(out.begin(), block->begin(), block->end());
  }
  return Handle.Write(out.data(), out.size()) == out.size() && Handle.Flush();
}

void TPak::Close() { Handle.Close(); }

std::optional<Bytes> TPak::ReadStoredFrom(platform::File& handle, std::size_t index) const {
  if (index >= Entries.size()) return std::nullopt;
  const TPakEntry& e = Entries[index];
  const std::uint32_t len = e.StoredSize();
  // A block that would run past the file is damaged; refusing it up front also keeps a
  // damaged size from becoming a huge allocation.
  if (len == 0 || std::uint64_t{e.Offset} + len > PackageEnd_) return std::nullopt;
  Bytes block(len);
  if (!handle.Seek(e.Offset) || handle.Read(block.data(), len) != len) return std::nullopt;
  std::uint32_t crc = 0;
  CalcCRC32(block.data(), len, crc);
  if (crc != e.CRC) return std::nullopt;
  return block;
}

std::optional<Bytes> TPak::ReadStored(std::size_t index) { return ReadStoredFrom(Handle, index); }

std::optional<Bytes> TPak::Unpack(std::size_t index, Bytes block, std::uint64_t& decomp_size) const {
  const TPakEntry& e = Entries[index];
  decomp_size = 0;
  if (e.OrigSize == 0) return std::nullopt;
  Bytes data;
  if (e.CompSize == 0) {
    data = std::move(block);
  } else {
    // Writers never compress data of the large-entry size, so more output than that means
    // a damaged record; the cap keeps it from taking memory without bound. Nor does the output
    // start larger than the block can inflate to (zlib gives at most 1032 bytes for one).
    const std::size_t estimate = static_cast<std::size_t>(
        std::min<std::uint64_t>({e.OrigSize, LargeEntryLimit, std::uint64_t{block.size()} * 1100 + 1024}));
    InflateResult r = Inflate(block.data(), block.size(), estimate, LargeEntryLimit);
    decomp_size = r.data.size();
    if (r.status != InflateResult::Status::Complete) return std::nullopt;
    data = std::move(r.data);
  }
  decomp_size = data.size();
  if (data.size() != e.OrigSize) return std::nullopt;
  return data;
}

std::optional<Bytes> TPak::Extract(std::size_t index) {
  auto block = ReadStored(index);
  if (!block) return std::nullopt;
  std::uint64_t decomp_size = 0;
  auto data = Unpack(index, std::move(*block), decomp_size);
  if (!data) ReportUnpackFailure(index, decomp_size);
  return data;
}

std::optional<Bytes> TPak::ExtractWith(platform::File& handle, std::size_t index, std::uint64_t& decomp_size) const {
  decomp_size = 0;
  auto block = ReadStoredFrom(handle, index);
  if (!block) return std::nullopt;
  return Unpack(index, std::move(*block), decomp_size);
}

void TPak::ReportUnpackFailure(std::size_t index, std::uint64_t decomp_size) const {
  if (index >= Entries.size()) return;
  const TPakEntry& e = Entries[index];
  if (e.OrigSize == 0 || Messages == nullptr) return;
  std::string text = e.Name + "\r\r" + "Error: DecompSize - " + std::to_string(decomp_size) + " OrigSize - " +
                     std::to_string(e.OrigSize);
  Messages->Show(platform::AnsiToWide(text), u"Error", kMbOk | kMbIconError);
}

std::optional<Bytes> TPak::ExtractByName(const std::string& name, std::uint16_t group, std::uint32_t& size) {
  size = 0;
  const std::string wanted = platform::AnsiLowerCase(name);
  for (std::size_t i = 0; i < Entries.size(); ++i) {
    if (Entries[i].Group == group && platform::AnsiLowerCase(Entries[i].Name) == wanted) {
      size = Entries[i].OrigSize;
      return Extract(i);
    }
  }
  return std::nullopt;
}

std::optional<Bytes> TPak::FindFirstInGroup(std::uint16_t group, std::uint32_t& size, bool extract, std::string& name) {
  Cursor = 0;
  return FindNextInGroup(group, size, extract, name);
}

std::optional<Bytes> TPak::FindNextInGroup(std::uint16_t group, std::uint32_t& size, bool extract, std::string& name) {
  size = 0;
  name.clear();
  std::size_t index = 0;
  if (!NextIndexInGroup(group, index)) return std::nullopt;
  size = Entries[index].OrigSize;
  name = Entries[index].Name;
  return extract ? Extract(index) : std::nullopt;
}

bool TPak::FirstIndexInGroup(std::uint16_t group, std::size_t& index) {
  Cursor = 0;
  return NextIndexInGroup(group, index);
}

bool TPak::NextIndexInGroup(std::uint16_t group, std::size_t& index) {
  for (std::size_t i = Cursor; i < Entries.size(); ++i) {
    if (Entries[i].Group == group) {
      index = i;
      Cursor = static_cast<std::uint32_t>(i + 1);
      return true;
    }
  }
  Cursor = static_cast<std::uint32_t>(Entries.size());
  return false;
}

void TPak::ForEachInGroup(std::uint16_t group, const std::function<void(std::size_t)>& procedure) {
  if (!procedure) return;
  std::size_t index = 0;
  for (bool found = FirstIndexInGroup(group, index); found; found = NextIndexInGroup(group, index)) {
    procedure(index);
  }
}

bool TPak::VerifyEntry(std::size_t index) { return VerifyEntryWith(Handle, index); }

bool TPak::PassesUnchecked(std::size_t index) const {
  if (index >= Entries.size()) return false;
  const TPakEntry& e = Entries[index];
  return e.CompSize == 0 && e.OrigSize >= LargeEntryLimit && e.CRC == 0 && !HasDigest_;
}

bool TPak::VerifyEntryWith(platform::File& handle, std::size_t index) const {
  if (index >= Entries.size()) return false;
  const TPakEntry& e = Entries[index];
  if (PassesUnchecked(index)) return true;
  if (e.OrigSize >= LargeEntryLimit) {
    // Writers never compress data this large: a compressed one has a damaged size.
    if (e.CompSize != 0 || std::uint64_t{e.Offset} + e.OrigSize > PackageEnd_ || !handle.Seek(e.Offset)) return false;
    Bytes chunk(kLargeVerifyChunk);
    std::uint32_t crc = 0;
    for (std::uint32_t done = 0; done < e.OrigSize;) {
      const std::uint32_t n = std::min<std::uint32_t>(kLargeVerifyChunk, e.OrigSize - done);
      if (handle.Read(chunk.data(), n) != n) return false;
      crc = Crc32(chunk.data(), n, crc);
      done += n;
    }
    return crc == e.CRC;
  }
  auto block = ReadStoredFrom(handle, index);
  if (!block) return false;
  std::uint64_t decomp_size = 0;
  return Unpack(index, std::move(*block), decomp_size).has_value();
}

std::size_t TPak::CountGroupedEntries() const {
  return static_cast<std::size_t>(
      std::count_if(Entries.begin(), Entries.end(), [](const TPakEntry& e) { return e.Group != 0; }));
}

std::size_t TPak::CountInGroup(std::uint16_t group) const {
  return static_cast<std::size_t>(
      std::count_if(Entries.begin(), Entries.end(), [group](const TPakEntry& e) { return e.Group == group; }));
}

bool TPak::CopyLargeEntry(const std::string& destination, const std::string& display_name, std::uint32_t size,
                          std::size_t index, const std::function<void(const std::string&)>& progress) {
  if (index >= Entries.size()) return false;
  const TPakEntry& e = Entries[index];
  if (std::uint64_t{e.Offset} + size > PackageEnd_) return false;
  platform::File out;
  if (!out.Open(destination, platform::OpenMode::Create)) return false;
  if (!Handle.Seek(e.Offset)) return false;
  Bytes chunk;
  std::uint32_t done = 0;
  while (done < size) {
    std::uint32_t n = std::min(CopyChunkSize, size - done);
    if (progress) progress(display_name + " - " + SizeToText(done) + " / " + SizeToText(size));
    chunk.resize(n);
    if (Handle.Read(chunk.data(), n) != n || out.Write(chunk.data(), n) != n) return false;
    done += n;
  }
  return true;
}

}  // namespace zq
