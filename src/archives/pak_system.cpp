#include "archives/pak_system.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <chrono>
#include <random>
#include <set>

#include "archives/cipher.h"
#include "archives/wave_container.h"
#include "container/pak.h"
#include "base/byte_io.h"
#include "base/path_text.h"

namespace zq {

namespace {

[[noreturn]] void Corrupted(const std::string& path) {
  throw ArchiveFailure("File " + path + " has corrupted header.");
}

bool IsPasswordChar(std::uint8_t c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A member's bytes as they were added; nothing, with `problem` said, when they cannot be had.
std::optional<Bytes> ReadMember(ArchiveIO& file, std::uint64_t file_size, const TPakDirEntry& r, std::string& problem) {
  if (r.Marker != 0x0A0D) problem = "bad record marker";
  else if (std::uint64_t{r.Offset} + r.StoredSize > file_size) problem = "stored bytes past the data";
  else if (r.Kind != kPakKindWave && r.Kind != kPakKindZlib) problem = "unknown kind " + std::to_string(r.Kind);
  if (!problem.empty()) return std::nullopt;
  Bytes stored(r.StoredSize);
  if (file.ReadAt(r.Offset, stored.data(), stored.size()) != stored.size()) {
    problem = "stored bytes past the data";
    return std::nullopt;
  }
  if (r.Kind == kPakKindWave) return DecodeWaveContainer(stored, problem);
  Bytes stream = UnmaskZlib(std::move(stored));
  // The output starts at the size the record gives, but no larger than the stream can inflate
  // to (as for the directory), so a damaged size is not allocated up front.
  const std::size_t expected =
      static_cast<std::size_t>(std::min<std::uint64_t>(r.UnpackedSize, std::uint64_t{r.StoredSize} * 1100 + 1024));
  auto data = Inflate(stream.data(), stream.size(), expected, std::size_t{r.UnpackedSize} + 1);
  if (data.status != InflateResult::Status::Complete || data.data.size() != r.UnpackedSize) {
    problem = "does not inflate to its unpacked size";
    return std::nullopt;
  }
  return data.data;
}

bool IsWaveName(const std::string& name) {
  auto dot = name.rfind('.');
  auto slash = name.rfind('\\');
  if (dot == std::string::npos || (slash != std::string::npos && slash > dot)) return false;
  std::string ext = name.substr(dot);
  for (auto& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext == ".WAV";
}

}  // namespace

std::uint32_t DosDateToday() {
  std::time_t now = std::time(nullptr);
  std::tm local = *std::localtime(&now);
  std::uint32_t date =
      static_cast<std::uint32_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  return date << 16;
}

void PutPakRecord(Bytes& out, const TPakDirEntry& r) {
  PutU16(out, r.Marker);
  PutU8(out, r.Kind);
  PutU8(out, r.Reserved);
  PutU32(out, r.Date);
  PutU32(out, r.StoredSize);
  PutU32(out, r.UnpackedSize);
  PutU32(out, r.Offset);
  PutU32(out, 0);
  const std::size_t length = std::min<std::size_t>(r.Name.size(), 127);
  PutU8(out, static_cast<std::uint8_t>(length));
  out.insert(out.end(), r.Name.begin(), r.Name.begin() + static_cast<std::ptrdiff_t>(length));
  out.insert(out.end(), 127 - length, 0);
}

TPakDirEntry GetPakRecord(const std::uint8_t* p) {
  TPakDirEntry r;
  r.Marker = GetU16(p);
  r.Kind = p[2];
  r.Reserved = p[3];
  r.Date = GetU32(p + 4);
  r.StoredSize = GetU32(p + 8);
  r.UnpackedSize = GetU32(p + 12);
  r.Offset = GetU32(p + 16);
  r.Name.assign(reinterpret_cast<const char*>(p + 25), std::min<std::size_t>(p[24], 127));
  return r;
}

Bytes MaskedZlib(const Bytes& data) {
  Bytes stream = Compress(data.data(), data.size());
  if (stream.size() > 4) SetU32(stream.data(), GetU32(stream.data()) ^ Crc32(stream.data() + 4, stream.size() - 4));
  return stream;
}

// The mask covers only the first word and is keyed by the bytes after it: applying it again undoes it.
Bytes UnmaskZlib(Bytes stored) {
  if (stored.size() > 4) SetU32(stored.data(), GetU32(stored.data()) ^ Crc32(stored.data() + 4, stored.size() - 4));
  return stored;
}

PakTail ReadPakTail(ArchiveIO& file, const std::string& path) {
  PakTail tail;
  auto size_or = file.Size();
  if (!size_or) Corrupted(path);
  const std::uint64_t end = *size_or;
  // The last 76 bytes hold any password trailer the reader can find.
  const std::uint64_t window = std::min<std::uint64_t>(end, 76);
  Bytes last(window);
  if (file.ReadAt(end - window, last.data(), window) != window) Corrupted(path);
  auto at_end = [&](std::uint64_t back) { return last.data() + (window - back); };  // `back` bytes before the end

  if (window >= 13 && std::memcmp(at_end(13), "ZQP2", 4) == 0) {
    tail.TrailerVersion = 2;
    tail.TrailerLength = 13;
    const std::uint8_t* field = at_end(9);
    std::size_t n = 0;
    while (n < 9 && IsPasswordChar(field[n])) ++n;
    tail.ExtraInfo.Password.assign(reinterpret_cast<const char*>(field), n);
    tail.ExtraInfo.HasPassword = n > 0;
  } else {
    for (std::uint64_t i = 0; i <= 50; ++i) {
      if (i + 6 > window || std::memcmp(at_end(i + 6), "ZQP3", 4) != 0) continue;
      tail.TrailerVersion = 3;
      tail.TrailerLength = i + 6;
      if (i >= 4 && (std::memcmp(at_end(i), "EIV1", 4) == 0 || std::memcmp(at_end(i), "EIV2", 4) == 0)) {
        const bool v2 = std::memcmp(at_end(i), "EIV2", 4) == 0;
        if (i < 8) Corrupted(path);
        TVelmEncryptionType cipher;
        cipher.SineSeed = *at_end(i - 4);
        cipher.CosineSeed = *at_end(i - 5);
        const std::uint16_t n = GetU16(at_end(i - 6));
        if (std::uint64_t{n} + (v2 ? 1 : 0) > i - 8) Corrupted(path);
        tail.ExtraInfo.Password = cipher.Decrypt(std::string(reinterpret_cast<const char*>(at_end(i - 8)), n));
        tail.ExtraInfo.HasPassword = !tail.ExtraInfo.Password.empty();
        if (v2) tail.ExtraInfo.Official = *at_end(i - 8 - n) != 0;
      }
      break;
    }
  }

  if (end < tail.TrailerLength + kPakDirTrailerSize) Corrupted(path);
  std::uint8_t t[kPakDirTrailerSize];
  if (file.ReadAt(end - tail.TrailerLength - kPakDirTrailerSize, t, sizeof t) != sizeof t) Corrupted(path);
  const std::uint32_t packed = GetU32(t), unpacked = GetU32(t + 4), count = GetU32(t + 12);
  if (GetU32(t + 8) != kPakFormat || GetU32(t + 16) != 0) Corrupted(path);
  // Sizes that cannot be right are refused before anything is allocated for them.
  if (std::uint64_t{count} * kPakRecordSize != unpacked || packed > end - tail.TrailerLength - kPakDirTrailerSize ||
      std::uint64_t{unpacked} > std::uint64_t{packed} * 1100 + 1024)
    Corrupted(path);
  tail.DataEnd = end - tail.TrailerLength - kPakDirTrailerSize - packed;
  Bytes block(packed);
  if (file.ReadAt(tail.DataEnd, block.data(), packed) != packed) Corrupted(path);
  InflateResult directory = Inflate(block.data(), block.size(), unpacked, std::size_t{unpacked} + 1);
  if (directory.status != InflateResult::Status::Complete || directory.data.size() != unpacked) Corrupted(path);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* p = directory.data.data() + std::size_t{i} * kPakRecordSize;
    if (p[24] > 127) Corrupted(path);
    tail.Records.push_back(GetPakRecord(p));
  }
  return tail;
}

std::vector<ArchiveProblem> CheckPakMembers(ArchiveIO& file, const PakTail& tail, const SoundMember& sound) {
  std::vector<ArchiveProblem> problems;
  std::set<std::string> names;
  const std::uint64_t file_size = file.Size().value_or(0);
  for (const auto& r : tail.Records) {
    std::string problem;
    if (!names.insert(AsciiLowerCase(r.Name)).second) problem = "a second record of the same name";
    auto data = problem.empty() ? ReadMember(file, file_size, r, problem) : std::nullopt;
    if (data && std::uint64_t{r.Offset} + r.StoredSize > tail.DataEnd) problem = "stored bytes overlap the directory";
    if (!problem.empty() || !data) {
      problems.push_back({r.Name, problem});
    } else if (sound) {
      sound(r.Name, *data);
    }
  }
  return problems;
}

Bytes PakDirectoryBytes(const std::vector<TPakDirEntry>& records, const TExtraInfo& extra) {
  Bytes directory;
  directory.reserve(records.size() * kPakRecordSize);
  for (const auto& r : records) PutPakRecord(directory, r);
  Bytes out = Compress(directory.data(), directory.size());
  PutU32(out, static_cast<std::uint32_t>(out.size()));
  PutU32(out, static_cast<std::uint32_t>(directory.size()));
  PutU32(out, kPakFormat);
  PutU32(out, static_cast<std::uint32_t>(records.size()));
  PutU32(out, 0);
  // Fresh seeds each time; 0 is left out because a sine seed of 0 gives no key at all.
  // Seeded from the clock: the seeds only vary the scrambling, and std::random_device would link
  // the string-stream machinery into the engine.
  static std::mt19937 rng{
      static_cast<std::uint32_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count())};
  std::uniform_int_distribution<int> seed(1, 255);
  TVelmEncryptionType cipher;
  cipher.SineSeed = static_cast<std::uint8_t>(seed(rng));
  cipher.CosineSeed = static_cast<std::uint8_t>(seed(rng));
  const std::string enciphered = cipher.Encrypt(extra.Password);
  PutText(out, "ZQP3");
  PutU16(out, 1);
  PutText(out, "EIV2");
  PutU8(out, cipher.SineSeed);
  PutU8(out, cipher.CosineSeed);
  PutU16(out, static_cast<std::uint16_t>(enciphered.size()));
  PutText(out, enciphered);
  PutU8(out, extra.Official ? 1 : 0);
  return out;
}

TPakSystem::~TPakSystem() {
  // A package left open by an error escaping the procedures is rolled back, never left cut.
  try {
    if (journal_ && journal_->Active()) Abandon();
  } catch (...) {
    // The journal stays beside the archive; its next opening rolls the archive back.
  }
}

TPakSystem::OpenResult TPakSystem::OpenArchive(const std::string& path) {
  ReleaseDirectory();
  path_ = path;
  ExtraInfo = {};
  JournalNote.clear();
  if (!fs_.Exists(path)) return OpenResult::NotFound;
  if (!fs_.MakeWritable(path)) return OpenResult::AttributesFailed;
  const JournalRecovery recovery = continue_journal_ ? JournalRecovery{} : ArchiveJournal::Recover(fs_, path);
  JournalNote = recovery.note;
  if (!recovery.Usable()) throw ArchiveFailure("File " + recovery.note + ".");
  file_ = fs_.Open(path, false);
  if (!file_) return OpenResult::OpenFailed;
  PakTail tail = ReadPakTail(*file_, path);
  ExtraInfo = tail.ExtraInfo;
  DataEnd = WritePosition = tail.DataEnd;
  for (auto& r : tail.Records) Put(std::move(r));
  return OpenResult::Ok;
}

void TPakSystem::BeginUpdate() {
  if (!file_) throw ArchiveFailure("Package " + path_ + " is not open.");
  journal_ = std::make_unique<ArchiveJournal>(fs_, path_);
  if (hold_journal_) journal_->Hold();
  if (continue_journal_) {
    journal_->Resume(*file_);
  } else {
    journal_->Begin(*file_);
  }
  journaled_ = std::make_unique<JournaledFile>(*file_, *journal_);
}

void TPakSystem::Put(TPakDirEntry record) {
  std::string key = AsciiLowerCase(record.Name);
  auto old = index_.find(key);
  if (old != index_.end()) {
    record.Name = old->second->Name;  // the stored case of a name never changes
    list_.erase(old->second);
  }
  list_.push_back(std::move(record));
  index_[key] = std::prev(list_.end());
}

const TPakDirEntry* TPakSystem::Find(const std::string& name) const {
  auto it = index_.find(AsciiLowerCase(name));
  return it == index_.end() ? nullptr : &*it->second;
}

std::vector<TPakDirEntry> TPakSystem::Records() const { return {list_.begin(), list_.end()}; }

bool TPakSystem::AddMember(const std::string& name, std::uint32_t orig_size, const Bytes& data) {
  TPakDirEntry record;
  Bytes stored;
  if (IsWaveName(name)) {
    auto container = BuildWaveContainer(name, data);
    if (!container) return false;
    stored = std::move(*container);
    record.Kind = kPakKindWave;
  } else {
    stored = MaskedZlib(data);
    record.Kind = kPakKindZlib;
  }
  if (const TPakDirEntry* old = Find(name); old != nullptr && old->StoredSize == stored.size() &&
                                            old->UnpackedSize == orig_size &&
                                            std::uint64_t{old->Offset} + old->StoredSize <= DataEnd) {
    Bytes previous(old->StoredSize);
    if (file_->ReadAt(old->Offset, previous.data(), previous.size()) == previous.size() &&
        Crc32(previous.data(), previous.size()) == Crc32(stored.data(), stored.size()))
      return false;
  }
  if (journaled_->WriteAt(WritePosition, stored.data(), stored.size()) != stored.size())
    throw ArchiveFailure("Disk full, " + path_ + " is lost. Restore it from backup and try again. ");
  record.Date = DosDateToday();
  record.StoredSize = static_cast<std::uint32_t>(stored.size());
  record.UnpackedSize = orig_size;
  record.Offset = static_cast<std::uint32_t>(WritePosition);
  record.Name = name.substr(0, 127);
  WritePosition += stored.size();
  Put(std::move(record));
  return true;
}

bool TPakSystem::AddMember(const TPak& pak, std::size_t index) {
  auto data = pak.Extract(index);
  if (!data) return false;  // the container has reported the damaged entry already
  return AddMember(pak.Entries()[index].Name, pak.Entries()[index].OrigSize, *data);
}

void TPakSystem::DuplicateMember(const std::string& existing, const std::string& name) {
  auto source = index_.find(AsciiLowerCase(existing));
  if (source == index_.end()) return;
  const TPakDirEntry from = *source->second;
  auto target = index_.find(AsciiLowerCase(name));
  if (target == index_.end()) {
    TPakDirEntry copy = from;
    copy.Name = AsciiLowerCase(name).substr(0, 127);
    list_.push_back(copy);
    index_[AsciiLowerCase(copy.Name)] = std::prev(list_.end());
    return;
  }
  TPakDirEntry& to = *target->second;
  if (to.Offset == from.Offset && to.UnpackedSize == from.UnpackedSize && to.StoredSize == from.StoredSize) {
    to.Date = from.Date;
    to.Kind = from.Kind;
    to.Marker = from.Marker;
  }
}

void TPakSystem::WritePackageDirectory() {
  if (!journaled_) BeginUpdate();
  const Bytes tail = PakDirectoryBytes(Records(), ExtraInfo);
  if (journaled_->WriteAt(WritePosition, tail.data(), tail.size()) != tail.size() ||
      !journaled_->Truncate(WritePosition + tail.size()))
    throw ArchiveFailure("Disk full, " + path_ + " is lost. Restore it from backup and try again. ");
  journal_->Commit(*file_);
  journaled_.reset();
  journal_.reset();
  file_.reset();
}

bool TPakSystem::Abandon() {
  journaled_.reset();
  if (journal_) journal_->Detach();
  journal_.reset();
  file_.reset();
  return path_.empty() || ArchiveJournal::Recover(fs_, path_).Usable();
}

void TPakSystem::ReleaseDirectory() {
  list_.clear();
  index_.clear();
  DataEnd = WritePosition = 0;
}

}  // namespace zq
