#include "archives/journal.h"

#include <algorithm>

#include "codec/zlib_codec.h"
#include "base/byte_io.h"

namespace zq {

namespace {
constexpr char kMagic[4] = {'Z', 'Q', 'J', '1'};
constexpr std::size_t kHeaderSize = 16;

void PutCrc(std::vector<std::uint8_t>& record) { PutU32(record, Crc32(record.data(), record.size())); }
}  // namespace

TJournal::TJournal(TArchiveFileSystem& fs, std::string archive_path) : fs_(fs), archive_path_(std::move(archive_path)) {}

std::string TJournal::PathFor(const std::string& archive_path) { return archive_path + ".zqj"; }

void TJournal::Begin(TArchiveIO& archive) {
  auto size = archive.Size();
  if (!size) throw TArchiveFailure("cannot read the size of " + archive_path_);
  original_size_ = *size;
  kept_.clear();
  kept_files_.clear();
  journal_ = fs_.Open(PathFor(archive_path_), true);
  if (!journal_) throw TArchiveFailure("cannot create the journal " + PathFor(archive_path_));
  journal_size_ = 0;
  std::vector<std::uint8_t> header(kMagic, kMagic + 4);
  PutU64(header, original_size_);
  PutCrc(header);
  Append(header);
}

void TJournal::Append(const std::vector<std::uint8_t>& record) {
  if (journal_->WriteAt(journal_size_, record.data(), record.size()) != record.size() || !journal_->Flush())
    throw TArchiveFailure("cannot write the journal " + PathFor(archive_path_));
  journal_size_ += record.size();
}

void TJournal::KeepRange(TArchiveIO& archive, std::uint64_t position, std::uint64_t count) {
  if (!journal_) throw TArchiveFailure("archive written outside an update");
  std::uint64_t end = std::min(position + count, original_size_);
  std::uint64_t at = position;
  while (at < end) {
    // The kept range containing or following `at`.
    auto next = kept_.upper_bound(at);
    if (next != kept_.begin()) {
      auto prev = std::prev(next);
      if (prev->second > at) {
        at = prev->second;
        continue;
      }
    }
    std::uint64_t stop = next == kept_.end() ? end : std::min(end, next->first);
    std::vector<std::uint8_t> record{'R'};
    PutU64(record, at);
    PutU32(record, static_cast<std::uint32_t>(stop - at));
    std::size_t data_at = record.size();
    record.resize(data_at + (stop - at));
    if (archive.ReadAt(at, record.data() + data_at, stop - at) != stop - at)
      throw TArchiveFailure("cannot read " + archive_path_);
    PutCrc(record);
    Append(record);
    // Merge with neighbours so lookups stay short.
    std::uint64_t new_start = at, new_end = stop;
    auto it = kept_.lower_bound(new_start);
    if (it != kept_.begin() && std::prev(it)->second == new_start) {
      --it;
      new_start = it->first;
    }
    while (it != kept_.end() && it->first <= new_end) {
      new_end = std::max(new_end, it->second);
      it = kept_.erase(it);
    }
    kept_[new_start] = new_end;
    at = stop;
  }
}

void TJournal::KeepSideFile(const std::string& path) {
  if (!journal_) throw TArchiveFailure("archive written outside an update");
  if (!kept_files_.insert(path).second) return;
  std::vector<std::uint8_t> record{'S'};
  PutU16(record, static_cast<std::uint16_t>(path.size()));
  record.insert(record.end(), path.begin(), path.end());
  std::optional<std::vector<std::uint8_t>> old;
  if (fs_.Exists(path)) {
    old = ReadAll(fs_, path);
    if (!old) throw TArchiveFailure("cannot read " + path);
  }
  record.push_back(old ? 1 : 0);
  PutU32(record, old ? static_cast<std::uint32_t>(old->size()) : 0);
  if (old) record.insert(record.end(), old->begin(), old->end());
  PutCrc(record);
  Append(record);
}

void TJournal::Commit(TArchiveIO& archive) {
  if (!archive.Flush()) throw TArchiveFailure("cannot flush " + archive_path_);
  journal_.reset();
  if (!fs_.Remove(PathFor(archive_path_))) throw TArchiveFailure("cannot remove the journal " + PathFor(archive_path_));
}

bool TJournal::Recover(TArchiveFileSystem& fs, const std::string& archive_path) {
  const std::string journal_path = PathFor(archive_path);
  if (!fs.Exists(journal_path)) return true;
  auto journal = ReadAll(fs, journal_path);
  if (!journal) return false;
  const auto& j = *journal;
  // A torn header: the archive was not touched yet.
  if (j.size() < kHeaderSize || !std::equal(kMagic, kMagic + 4, j.begin()) ||
      Crc32(j.data(), 12) != GetU32(j.data() + 12))
    return fs.Remove(journal_path);
  const std::uint64_t original_size = GetU64(j.data() + 4);
  struct Range {
    std::uint64_t position;
    const std::uint8_t* data;
    std::uint32_t length;
  };
  std::vector<Range> ranges;
  struct Side {
    std::string path;
    bool existed;
    std::vector<std::uint8_t> data;
  };
  std::vector<Side> sides;
  std::size_t at = kHeaderSize;
  while (at < j.size()) {
    const std::size_t start = at;
    const std::size_t left = j.size() - at;
    std::size_t length = 0;
    if (j[at] == 'R' && left >= 13) {
      length = 13 + std::size_t{GetU32(j.data() + at + 9)} + 4;
    } else if (j[at] == 'S' && left >= 3) {
      std::size_t path_length = GetU16(j.data() + at + 1);
      if (left >= 3 + path_length + 5) length = 3 + path_length + 5 + std::size_t{GetU32(j.data() + at + 4 + path_length)} + 4;
    }
    if (length == 0 || length > left) break;  // torn
    if (Crc32(j.data() + start, length - 4) != GetU32(j.data() + start + length - 4)) break;
    if (j[start] == 'R') {
      const Range range{GetU64(j.data() + start + 1), j.data() + start + 13, GetU32(j.data() + start + 9)};
      // An update keeps only bytes of the archive as it was: a range past that is damage, and
      // writing it would make the archive as large as the damaged position says.
      if (range.position > original_size || range.length > original_size - range.position) break;
      ranges.push_back(range);
    } else {
      std::size_t path_length = GetU16(j.data() + start + 1);
      Side side;
      side.path.assign(reinterpret_cast<const char*>(j.data() + start + 3), path_length);
      side.existed = j[start + 3 + path_length] != 0;
      const std::uint8_t* data = j.data() + start + 3 + path_length + 5;
      side.data.assign(data, data + GetU32(j.data() + start + 4 + path_length));
      sides.push_back(std::move(side));
    }
    at = start + length;
  }
  auto archive = fs.Open(archive_path, false);
  if (!archive) return false;
  // The archive never shrinks below its original size without that tail being kept first, so
  // an original size beyond both is damage; a rollback would only pad the archive to it.
  std::uint64_t restored = archive->Size().value_or(0);
  for (const Range& range : ranges) restored = std::max(restored, range.position + range.length);
  if (original_size > restored) return false;
  // The earliest record of a range holds the oldest bytes: apply the latest first.
  for (auto it = ranges.rbegin(); it != ranges.rend(); ++it)
    if (archive->WriteAt(it->position, it->data, it->length) != it->length) return false;
  if (!archive->Truncate(original_size) || !archive->Flush()) return false;
  for (const auto& side : sides) {
    if (side.existed ? !WriteAll(fs, side.path, side.data) : (fs.Exists(side.path) && !fs.Remove(side.path)))
      return false;
  }
  archive.reset();
  return fs.Remove(journal_path);
}

std::size_t TJournaledFile::WriteAt(std::uint64_t position, const void* buffer, std::size_t count) {
  journal_.KeepRange(inner_, position, count);
  return inner_.WriteAt(position, buffer, count);
}

bool TJournaledFile::Truncate(std::uint64_t size) {
  auto current = inner_.Size();
  if (!current) return false;
  if (*current > size) journal_.KeepRange(inner_, size, *current - size);
  return inner_.Truncate(size);
}

}  // namespace zq
