#include "container/pak.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "container/entry_name.h"
#include "container/entry_names.h"
#include "container/pak_string.h"
#include "container/package_digest.h"
#include "container/pe_image.h"
#include "container/solid_reader.h"
#include "base/byte_io.h"
#include "base/path_text.h"
#include "base/size_text.h"
#include "base/ui_targets.h"
#include "platform/text.h"

namespace zq {

namespace {

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
    if (std::memcmp(tail + window - padding - kPakHeaderSize, kPakMagic, 4) == 0) return table - padding;
  }
  return file_size;
}

}  // namespace

TPak::TPak(const std::string& file_name, MessageBoxes* messages) : FilePath_(file_name), Messages_(messages) {
  if (Handle_.Open(file_name, platform::OpenMode::ReadShared)) ReadDirectory();
}

bool TPak::HasValidHeader() const { return EndsWithPackageHeader() && DirectoryProblem_.empty(); }

bool TPak::EndsWithPackageHeader() const { return std::memcmp(Header_.ID.data(), kPakMagic, 4) == 0; }

void TPak::ReadDirectory() {
  Entries_.clear();
  FileSize_ = Handle_.Size().value_or(0);
  PackageEnd_ = FindPackageEnd(Handle_, FileSize_);
  std::uint8_t raw[kPakHeaderSize];
  if (PackageEnd_ < kPakHeaderSize || !Handle_.Seek(PackageEnd_ - kPakHeaderSize) ||
      Handle_.Read(raw, kPakHeaderSize) != kPakHeaderSize) {
    return;
  }
  std::memcpy(Header_.ID.data(), raw, 4);
  Header_.Version = GetU16(raw + 4);
  Header_.FileCount = GetU16(raw + 6);
  Header_.DataStart = GetU32(raw + 8);
  Header_.DirOffset = GetU32(raw + 12);
  if (std::memcmp(Header_.ID.data(), kPakMagic, 4) != 0) return;

  const std::uint64_t dir_end = PackageEnd_ - kPakHeaderSize;
  if (Header_.DirOffset > dir_end) {
    DirectoryProblem_ = "the directory offset " + std::to_string(Header_.DirOffset) +
                        " lies past the end of the file (" + std::to_string(PackageEnd_) + " bytes)";
    return;
  }
  const std::uint64_t dir_bytes = dir_end - Header_.DirOffset;
  if (dir_bytes > kMaxDirectoryBytes) {
    DirectoryProblem_ = "the directory claims " + std::to_string(dir_bytes) + " bytes, more than any setup holds";
    return;
  }
  if (std::uint64_t{Header_.FileCount} * kRecordFixedBytes > dir_bytes) {
    DirectoryProblem_ =
        std::to_string(Header_.FileCount) + " directory records cannot fit in " + std::to_string(dir_bytes) + " bytes";
    return;
  }
  Bytes dir(static_cast<std::size_t>(dir_bytes));
  if (!Handle_.Seek(Header_.DirOffset) || Handle_.Read(dir.data(), dir.size()) != dir.size()) {
    DirectoryProblem_ = "the directory cannot be read";
    return;
  }
  Entries_.resize(Header_.FileCount);
  std::size_t pos = 0;
  for (std::size_t i = 0; i < Entries_.size(); ++i) {
    TPakEntry& e = Entries_[i];
    if (dir.size() - pos < 2 || dir.size() - pos - 2 < GetU16(&dir[pos]) + std::size_t{kRecordFixedBytes - 2}) {
      DirectoryProblem_ = "directory record " + std::to_string(i) + " runs past the end of the directory";
      Entries_.clear();
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
  if (DirectoryProblem_.empty()) DirectoryProblem_ = SolidProblem();
  if (!DirectoryProblem_.empty()) {
    Entries_.clear();
    return;
  }
  TextIsUtf8_ = std::any_of(Entries_.begin(), Entries_.end(),
                            [](const TPakEntry& e) { return e.Group == 0 && e.Name == kTextEncodingEntry; });
  if (!TextIsUtf8_) {
    for (TPakEntry& e : Entries_) e.Name = platform::LegacyToUtf8(e.Name);
  }
}

std::string TPak::SolidProblem() {
  if (Header_.Version == kPakVersionPlain) return {};
  if (Header_.Version != kPakVersionSolid) {
    return "the package is of version " + std::to_string(Header_.Version) + ", newer than this reader knows";
  }
  // The blocks' meaning rests on the index, so the index rests on the digest.
  if (!HasDigest_) return "a package with solid blocks has no package digest";
  if (Entries_.empty() || Entries_[0].Group != 0 || Entries_[0].Name != kSolidMarkerEntry) {
    return "a package with solid blocks does not begin with its marker";
  }
  const std::size_t at = Entries_.size() >= 2 ? Entries_.size() - 2 : 0;
  const TPakEntry& e = Entries_[at];
  if (e.Group != 0 || e.Name != kSolidIndexEntry || e.CompSize != 0) {
    return "the solid index is not the record before the package digest";
  }
  auto block = ReadStoredFrom(Handle_, at);
  if (!block) return "the solid index does not match its CRC";
  std::string problem = ParseSolidIndex(block->data(), block->size(), Entries_, Solid_);
  if (problem.empty() && Solid_.Blocks.empty()) problem = "the solid index names no block";
  if (!problem.empty()) Solid_ = {};
  return problem;
}

std::string TPak::Utf8Text(const std::string& stored) const {
  return TextIsUtf8_ ? stored : platform::LegacyToUtf8(stored);
}

std::string TPak::LayoutProblem() const {
  // Every writer appends the blocks in directory order without gaps, from the data start to
  // the directory; anything else is a damaged offset, size or header field.
  std::uint64_t expected = Header_.DataStart;
  for (std::size_t i = 0; i < Entries_.size(); ++i) {
    const TPakEntry& e = Entries_[i];
    if (e.Offset != expected) {
      return "the block of entry " + std::to_string(i) + " lies at " + std::to_string(e.Offset) + ", not at " +
             std::to_string(expected) + " where the blocks before it end";
    }
    expected += e.StoredSize();
  }
  if (expected != Header_.DirOffset) {
    return "the blocks end at " + std::to_string(expected) + ", not at the directory (" +
           std::to_string(Header_.DirOffset) + ")";
  }
  return {};
}

std::string TPak::DigestProblem(Bytes& dir, const std::uint8_t* header) {
  // Either mark alone makes the digest expected, so one damaged byte cannot hide it: the last
  // record's name, or the magic of the block just before the directory.
  const bool named = !Entries_.empty() && Entries_.back().Group == 0 && Entries_.back().Name == kPackageDigestEntry;
  PackageDigestBlock block{};
  bool marked = false;
  if (Header_.DirOffset >= std::uint64_t{Header_.DataStart} + kPackageDigestBlockSize) {
    if (!Handle_.Seek(Header_.DirOffset - kPackageDigestBlockSize) ||
        Handle_.Read(block.data(), block.size()) != block.size()) {
      return "the package digest cannot be read";
    }
    marked = std::memcmp(block.data(), kPackageDigestMagic, 4) == 0;
  }
  if (!named && !marked) return {};
  if (!named || !marked) return "the package digest or its record is damaged";
  const TPakEntry& e = Entries_.back();
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

std::optional<Bytes> TPak::ReadStoredFrom(platform::File& handle, std::size_t index, Bytes reuse) const {
  if (index >= Entries_.size()) return std::nullopt;
  const TPakEntry& e = Entries_[index];
  const std::uint32_t len = e.StoredSize();
  // A block that would run past the file is damaged; refusing it up front also keeps a
  // damaged size from becoming a huge allocation.
  if (len == 0 || std::uint64_t{e.Offset} + len > PackageEnd_) return std::nullopt;
  Bytes block = std::move(reuse);
  block.clear();
  block.resize(len);
  if (!handle.Seek(e.Offset) || handle.Read(block.data(), len) != len) return std::nullopt;
  std::uint32_t crc = 0;
  CalcCRC32(block.data(), len, crc);
  if (crc != e.CRC) return std::nullopt;
  return block;
}

std::optional<Bytes> TPak::ReadStored(std::size_t index) const { return ReadStoredFrom(Handle_, index); }

std::optional<Bytes> TPak::Unpack(std::size_t index, Bytes block, std::uint64_t& decomp_size, BufferPool* pool) const {
  const TPakEntry& e = Entries_[index];
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
    InflateResult r = Inflate(block.data(), block.size(), estimate, LargeEntryLimit, pool ? pool->Take() : Bytes{});
    if (pool) pool->Give(std::move(block));
    decomp_size = r.data.size();
    if (r.status != InflateResult::Status::Complete) return std::nullopt;
    data = std::move(r.data);
  }
  decomp_size = data.size();
  if (data.size() != e.OrigSize) return std::nullopt;
  return data;
}

std::optional<Bytes> TPak::Extract(std::size_t index) const {
  if (IsSolid(index)) {
    std::uint64_t decomp_size = 0;
    auto data = ExtractSolid(Handle_, index, decomp_size);
    if (!data) ReportUnpackFailure(index, decomp_size);
    return data;
  }
  auto block = ReadStored(index);
  if (!block) return std::nullopt;
  std::uint64_t decomp_size = 0;
  auto data = Unpack(index, std::move(*block), decomp_size);
  if (!data) ReportUnpackFailure(index, decomp_size);
  return data;
}

std::optional<Bytes> TPak::ExtractSolid(platform::File& handle, std::size_t index, std::uint64_t& decomp_size) const {
  Bytes data;
  data.reserve(Entries_[index].OrigSize);
  SolidReader reader(*this, handle);
  const auto r = reader.Read(index, [&data](const std::uint8_t* p, std::size_t n) {
    data.insert(data.end(), p, p + n);
    return true;
  });
  decomp_size = data.size();
  if (r != SolidReader::Result::Ok) return std::nullopt;
  return data;
}

void TPak::ReportUnpackFailure(std::size_t index, std::uint64_t decomp_size) const {
  if (index >= Entries_.size()) return;
  const TPakEntry& e = Entries_[index];
  if (e.OrigSize == 0 || Messages_ == nullptr) return;
  std::string text = e.Name + "\r\r" + "Error: DecompSize - " + std::to_string(decomp_size) + " OrigSize - " +
                     std::to_string(e.OrigSize);
  Messages_->Show(platform::Utf8ToWide(text), u"Error", kMbOk | kMbIconError);
}

std::optional<Bytes> TPak::ExtractByName(const std::string& name, std::uint16_t group) const {
  const std::string wanted = platform::LowerCase(name);
  for (std::size_t i = 0; i < Entries_.size(); ++i) {
    if (Entries_[i].Group == group && platform::LowerCase(Entries_[i].Name) == wanted) return Extract(i);
  }
  return std::nullopt;
}

std::vector<std::size_t> TPak::IndexesInGroup(std::uint16_t group) const {
  std::vector<std::size_t> indexes;
  for (std::size_t i = 0; i < Entries_.size(); ++i) {
    if (Entries_[i].Group == group) indexes.push_back(i);
  }
  return indexes;
}

bool TPak::VerifyEntry(std::size_t index) const { return VerifyEntryWith(Handle_, index); }

bool TPak::PassesUnchecked(std::size_t index) const {
  if (index >= Entries_.size()) return false;
  const TPakEntry& e = Entries_[index];
  return e.CompSize == 0 && e.OrigSize >= LargeEntryLimit && e.CRC == 0 && !HasDigest_;
}

bool TPak::VerifyEntryWith(platform::File& handle, std::size_t index, BufferPool* pool) const {
  if (index >= Entries_.size()) return false;
  const TPakEntry& e = Entries_[index];
  if (PassesUnchecked(index)) return true;
  if (Solid() != nullptr && (IsSolid(index) || index == 0)) {
    // A slice is proven by its CRC here; its data by the CRC the index holds, when its block is
    // decoded (extraction, zq verify). The marker holds its fixed text.
    if (IsSolid(index)) return StoredCrcMatches(handle, index);
    auto block = ReadStoredFrom(handle, index);
    if (!block) return false;
    const std::string_view text(kSolidMarkerText);
    return e.CompSize == text.size() && e.OrigSize == text.size() &&
           std::equal(block->begin(), block->end(), text.begin(), text.end());
  }
  // Empty entries never were read here (VerifyAllEntries skips them).
  if (e.OrigSize == 0) return false;
  std::uint64_t decomp_size = 0;
  return StreamEntryWith(&handle, index, {}, decomp_size, pool) == EntryRead::Ok;
}

std::size_t TPak::CountGroupedEntries() const {
  return static_cast<std::size_t>(
      std::count_if(Entries_.begin(), Entries_.end(), [](const TPakEntry& e) { return e.Group != 0; }));
}

std::size_t TPak::CountInGroup(std::uint16_t group) const {
  return static_cast<std::size_t>(
      std::count_if(Entries_.begin(), Entries_.end(), [group](const TPakEntry& e) { return e.Group == group; }));
}

}  // namespace zq
