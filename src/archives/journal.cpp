#include "archives/journal.h"

#include <algorithm>

#include "base/byte_io.h"
#include "codec/zlib_codec.h"

namespace zq {

namespace {
constexpr char kMagic[4] = {'Z', 'Q', 'J', '2'};
constexpr char kOldMagic[4] = {'Z', 'Q', 'J', '1'};
constexpr std::size_t kHeaderSize = 28;
// The archive's identity covers this much of its head and of its tail: a package's directory and
// trailers, a VFS archive's header and digest. A constant cost, whatever the archive's size.
constexpr std::uint32_t kIdentitySpan = 64 * 1024;

void PutCrc(std::vector<std::uint8_t>& record) { PutU32(record, Crc32(record.data(), record.size())); }

// "C:\Game\data\" of "C:\Game\data\game.zqp"; companions are named below it.
std::string FolderOf(const std::string& path) {
  const auto sep = path.find_last_of("\\/");
  return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos &&
         name.find('\0') == std::string::npos;
}

struct Range {
  std::uint64_t position;
  const std::uint8_t* data;
  std::uint32_t length;
};

struct Side {
  std::string name;
  bool existed;
  std::vector<std::uint8_t> data;
};

struct Parsed {
  enum class Header { Torn, Old, Current } header = Header::Torn;
  std::uint64_t original_size = 0;
  std::uint32_t span = 0, head_crc = 0, tail_crc = 0;
  std::vector<Range> ranges;  // in the order written; they point into the journal's bytes
  std::vector<Side> sides;
  std::size_t valid_end = 0;  // where the last whole record ends
};

Parsed Parse(const std::vector<std::uint8_t>& j) {
  Parsed p;
  if (j.size() >= 4 && std::equal(kOldMagic, kOldMagic + 4, j.begin())) {
    p.header = Parsed::Header::Old;
    return p;
  }
  // A torn header: the archive was not touched yet.
  if (j.size() < kHeaderSize || !std::equal(kMagic, kMagic + 4, j.begin()) ||
      Crc32(j.data(), kHeaderSize - 4) != GetU32(j.data() + kHeaderSize - 4))
    return p;
  p.header = Parsed::Header::Current;
  p.original_size = GetU64(j.data() + 4);
  p.span = GetU32(j.data() + 12);
  p.head_crc = GetU32(j.data() + 16);
  p.tail_crc = GetU32(j.data() + 20);
  std::size_t at = kHeaderSize;
  while (at < j.size()) {
    const std::size_t start = at;
    const std::size_t left = j.size() - at;
    std::size_t length = 0;
    if (j[at] == 'R' && left >= 13) {
      length = 13 + std::size_t{GetU32(j.data() + at + 9)} + 4;
    } else if (j[at] == 'S' && left >= 3) {
      std::size_t name_length = GetU16(j.data() + at + 1);
      if (left >= 3 + name_length + 5)
        length = 3 + name_length + 5 + std::size_t{GetU32(j.data() + at + 4 + name_length)} + 4;
    }
    if (length == 0 || length > left) break;  // torn
    if (Crc32(j.data() + start, length - 4) != GetU32(j.data() + start + length - 4)) break;
    if (j[start] == 'R') {
      const Range range{GetU64(j.data() + start + 1), j.data() + start + 13, GetU32(j.data() + start + 9)};
      // An update keeps only bytes of the archive as it was: a range past that is damage, and
      // writing it would make the archive as large as the damaged position says.
      if (range.position > p.original_size || range.length > p.original_size - range.position) break;
      p.ranges.push_back(range);
    } else {
      std::size_t name_length = GetU16(j.data() + start + 1);
      Side side;
      side.name.assign(reinterpret_cast<const char*>(j.data() + start + 3), name_length);
      // Only a file beside the archive: a damaged name must not reach any other folder.
      if (!IsPlainName(side.name)) break;
      side.existed = j[start + 3 + name_length] != 0;
      const std::uint8_t* data = j.data() + start + 3 + name_length + 5;
      side.data.assign(data, data + GetU32(j.data() + start + 4 + name_length));
      p.sides.push_back(std::move(side));
    }
    at = start + length;
  }
  p.valid_end = at;
  return p;
}

// The archive's bytes at [position, position + count) as they were when the journal began: what
// it holds now, under the ranges kept (the earliest record of a byte holds its oldest value).
std::vector<std::uint8_t> BytesBefore(ArchiveIO& archive, std::uint64_t size, const Parsed& p, std::uint64_t position,
                                      std::uint32_t count) {
  std::vector<std::uint8_t> bytes(count, 0);
  if (position < size)
    archive.ReadAt(position, bytes.data(), static_cast<std::size_t>(std::min<std::uint64_t>(count, size - position)));
  for (auto it = p.ranges.rbegin(); it != p.ranges.rend(); ++it) {
    const std::uint64_t from = std::max(position, it->position);
    const std::uint64_t to = std::min(position + count, it->position + it->length);
    if (from < to)
      std::copy(it->data + (from - it->position), it->data + (to - it->position),
                bytes.begin() + static_cast<std::ptrdiff_t>(from - position));
  }
  return bytes;
}

// Why the journal was not written for this archive; empty when it was.
std::string Mismatch(const Parsed& p, ArchiveIO& archive) {
  const auto size = archive.Size();
  if (!size) return "the archive's size cannot be read";
  // The archive never shrinks below its original size without that tail being kept first.
  std::uint64_t restored = *size;
  for (const Range& range : p.ranges) restored = std::max(restored, range.position + range.length);
  if (p.original_size > restored)
    return "it was written for an archive of " + std::to_string(p.original_size) + " bytes, this one has " +
           std::to_string(*size);
  if (p.span > kIdentitySpan) return "its record of the archive's identity is damaged";
  const auto span = static_cast<std::uint32_t>(std::min<std::uint64_t>(p.span, p.original_size));
  const auto head = BytesBefore(archive, *size, p, 0, span);
  const auto tail = BytesBefore(archive, *size, p, p.original_size - span, span);
  if (Crc32(head.data(), head.size()) != p.head_crc || Crc32(tail.data(), tail.size()) != p.tail_crc)
    return "its record of the archive's first and last bytes does not match this archive";
  return {};
}

struct Examined {
  JournalFinding finding;
  std::vector<std::uint8_t> bytes;  // the journal, which `parsed` points into
  Parsed parsed;
};

Examined ExamineJournal(ArchiveFileSystem& fs, const std::string& archive_path) {
  Examined e;
  using Kind = JournalFinding::Kind;
  const std::string journal_path = ArchiveJournal::PathFor(archive_path);
  if (!fs.Exists(journal_path)) return e;
  auto journal = ReadAll(fs, journal_path);
  if (!journal) {
    e.finding = {Kind::Unreadable, "the journal cannot be read"};
    return e;
  }
  e.bytes = std::move(*journal);
  e.parsed = Parse(e.bytes);
  if (e.parsed.header == Parsed::Header::Torn) {
    e.finding = {Kind::Empty, {}};
  } else if (e.parsed.header == Parsed::Header::Old) {
    e.finding = {Kind::Foreign, "an older journal that does not record which archive it was written for"};
  } else if (auto archive = fs.OpenForReading(archive_path); !archive) {
    e.finding = {Kind::Unreadable, "the archive cannot be read"};
  } else if (std::string why = Mismatch(e.parsed, *archive); !why.empty()) {
    e.finding = {Kind::Foreign, why};
  } else {
    e.finding = {Kind::Pending, {}};
  }
  return e;
}
}  // namespace

ArchiveJournal::ArchiveJournal(ArchiveFileSystem& fs, std::string archive_path)
    : fs_(fs), archive_path_(std::move(archive_path)) {}

std::string ArchiveJournal::PathFor(const std::string& archive_path) { return archive_path + ".zqj"; }

void ArchiveJournal::Begin(ArchiveIO& archive) {
  auto size = archive.Size();
  if (!size) throw ArchiveFailure("cannot read the size of " + archive_path_);
  original_size_ = *size;
  kept_.clear();
  kept_files_.clear();
  const auto span = static_cast<std::uint32_t>(std::min<std::uint64_t>(kIdentitySpan, original_size_));
  std::vector<std::uint8_t> head(span), tail(span);
  if (archive.ReadAt(0, head.data(), span) != span || archive.ReadAt(original_size_ - span, tail.data(), span) != span)
    throw ArchiveFailure("cannot read " + archive_path_);
  journal_ = fs_.Open(PathFor(archive_path_), true);
  if (!journal_) throw ArchiveFailure("cannot create the journal " + PathFor(archive_path_));
  journal_size_ = 0;
  std::vector<std::uint8_t> header(kMagic, kMagic + 4);
  PutU64(header, original_size_);
  PutU32(header, kIdentitySpan);
  PutU32(header, Crc32(head.data(), head.size()));
  PutU32(header, Crc32(tail.data(), tail.size()));
  PutCrc(header);
  Append(header);
}

void ArchiveJournal::Resume(ArchiveIO& archive) {
  const std::string path = PathFor(archive_path_);
  auto bytes = fs_.Exists(path) ? ReadAll(fs_, path) : std::nullopt;
  const Parsed p = bytes ? Parse(*bytes) : Parsed{};
  // A torn header: the earlier update had not changed the archive yet.
  if (p.header != Parsed::Header::Current) return Begin(archive);
  if (std::string why = Mismatch(p, archive); !why.empty())
    throw ArchiveFailure("the journal " + path + " cannot be continued: " + why);
  journal_ = fs_.Open(path, false);
  // A record torn by a failed write is cut away, so that the next one follows the last whole one.
  if (!journal_ || !journal_->Truncate(p.valid_end)) throw ArchiveFailure("cannot write the journal " + path);
  journal_size_ = p.valid_end;
  original_size_ = p.original_size;
  kept_.clear();
  kept_files_.clear();
  for (const Range& range : p.ranges) {
    if (range.length == 0) continue;
    std::uint64_t start = range.position, end = range.position + range.length;
    auto it = kept_.lower_bound(start);
    if (it != kept_.begin() && std::prev(it)->second >= start) --it;
    while (it != kept_.end() && it->first <= end) {
      start = std::min(start, it->first);
      end = std::max(end, it->second);
      it = kept_.erase(it);
    }
    kept_[start] = end;
  }
  for (const Side& side : p.sides) kept_files_.insert(side.name);
}

void ArchiveJournal::Append(const std::vector<std::uint8_t>& record) {
  if (journal_->WriteAt(journal_size_, record.data(), record.size()) != record.size() || !journal_->Flush())
    throw ArchiveFailure("cannot write the journal " + PathFor(archive_path_));
  journal_size_ += record.size();
}

void ArchiveJournal::KeepRange(ArchiveIO& archive, std::uint64_t position, std::uint64_t count) {
  if (!journal_) throw ArchiveFailure("archive written outside an update");
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
      throw ArchiveFailure("cannot read " + archive_path_);
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

void ArchiveJournal::KeepSideFile(const std::string& path) {
  if (!journal_) throw ArchiveFailure("archive written outside an update");
  const std::string folder = FolderOf(archive_path_);
  const std::string name = path.substr(std::min(folder.size(), path.size()));
  if (path.compare(0, folder.size(), folder) != 0 || !IsPlainName(name))
    throw ArchiveFailure(path + " does not lie beside " + archive_path_);
  if (!kept_files_.insert(name).second) return;
  std::vector<std::uint8_t> record{'S'};
  PutU16(record, static_cast<std::uint16_t>(name.size()));
  record.insert(record.end(), name.begin(), name.end());
  std::optional<std::vector<std::uint8_t>> old;
  if (fs_.Exists(path)) {
    old = ReadAll(fs_, path);
    if (!old) throw ArchiveFailure("cannot read " + path);
  }
  record.push_back(old ? 1 : 0);
  PutU32(record, old ? static_cast<std::uint32_t>(old->size()) : 0);
  if (old) record.insert(record.end(), old->begin(), old->end());
  PutCrc(record);
  Append(record);
}

void ArchiveJournal::Commit(ArchiveIO& archive) {
  if (!archive.Flush()) throw ArchiveFailure("cannot flush " + archive_path_);
  if (held_) {
    const bool flushed = journal_->Flush();
    journal_.reset();
    if (!flushed) throw ArchiveFailure("cannot write the journal " + PathFor(archive_path_));
    return;
  }
  journal_.reset();
  if (!fs_.Remove(PathFor(archive_path_))) throw ArchiveFailure("cannot remove the journal " + PathFor(archive_path_));
}

JournalFinding ArchiveJournal::Examine(ArchiveFileSystem& fs, const std::string& archive_path) {
  return ExamineJournal(fs, archive_path).finding;
}

JournalRecovery ArchiveJournal::Recover(ArchiveFileSystem& fs, const std::string& archive_path) {
  using Kind = JournalFinding::Kind;
  using Outcome = JournalRecovery::Outcome;
  const std::string journal_path = PathFor(archive_path);
  const Examined e = ExamineJournal(fs, archive_path);
  auto failed = [&](const std::string& why) {
    return JournalRecovery{Outcome::Failed,
                           archive_path + " could not be restored from its journal " + journal_path + ": " + why};
  };
  switch (e.finding.kind) {
    case Kind::None: return {};
    case Kind::Unreadable: return failed(e.finding.reason);
    case Kind::Empty:
      if (!fs.Remove(journal_path)) return failed("the journal cannot be removed");
      return {Outcome::RolledBack, "removed " + journal_path + ": its update had not changed " + archive_path + " yet"};
    case Kind::Foreign:
      if (!fs.Remove(journal_path)) return failed("it does not belong to the archive and cannot be removed");
      return {Outcome::Rejected, "removed " + journal_path + " without applying it: " + e.finding.reason + "; " +
                                     archive_path + " is left as it is"};
    case Kind::Pending: break;
  }
  auto archive = fs.Open(archive_path, false);
  if (!archive) return failed("the archive cannot be opened for writing");
  // The earliest record of a range holds the oldest bytes: apply the latest first.
  for (auto it = e.parsed.ranges.rbegin(); it != e.parsed.ranges.rend(); ++it)
    if (archive->WriteAt(it->position, it->data, it->length) != it->length) return failed("a write failed");
  if (!archive->Truncate(e.parsed.original_size) || !archive->Flush()) return failed("a write failed");
  archive.reset();
  const std::string folder = FolderOf(archive_path);
  for (const auto& side : e.parsed.sides) {
    const std::string path = folder + side.name;
    if (side.existed ? !WriteAll(fs, path, side.data) : (fs.Exists(path) && !fs.Remove(path)))
      return failed(path + " cannot be restored");
  }
  if (!fs.Remove(journal_path)) return failed("the journal cannot be removed");
  return {Outcome::RolledBack, "rolled " + archive_path + " back to where it was before an interrupted update"};
}

std::size_t JournaledFile::WriteAt(std::uint64_t position, const void* buffer, std::size_t count) {
  journal_.KeepRange(inner_, position, count);
  return inner_.WriteAt(position, buffer, count);
}

bool JournaledFile::Truncate(std::uint64_t size) {
  auto current = inner_.Size();
  if (!current) return false;
  if (*current > size) journal_.KeepRange(inner_, size, *current - size);
  return inner_.Truncate(size);
}

}  // namespace zq
