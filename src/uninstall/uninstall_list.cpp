#include "uninstall/uninstall_list.h"

#include <algorithm>
#include <iterator>
#include <tuple>

#include "container/pak_string.h"
#include "base/buffer_manager.h"
#include "base/byte_io.h"
#include "base/path_text.h"
#include "base/scrambler.h"
#include "base/sha256.h"
#include "platform/files.h"
#include "platform/text.h"

namespace zq {

namespace {

// Windows compares names without regard to case by Unicode's simple mappings.
std::string FoldedKey(const std::string& text) { return platform::LowerCase(text); }
bool SameFolded(const std::string& a, const std::string& b) { return FoldedKey(a) == FoldedKey(b); }

}  // namespace

void TUninstallList::FoldedIndex::Sync(const std::vector<std::string>& list) {
  // Size and storage catch appends and assignments; the two ends catch most lists rewritten in
  // the same storage (a stale hit is caught again by Find).
  auto known = [&](const std::string& line) { return at_.count(FoldedKey(line)) != 0; };
  if (size_ == list.size() && data_ == list.data() && (list.empty() || (known(list.front()) && known(list.back())))) {
    return;
  }
  at_.clear();
  at_.reserve(list.size());
  // The first of equal lines wins, as a scan from the front would find it.
  for (std::size_t i = 0; i < list.size(); ++i) {
    auto [it, fresh] = at_.try_emplace(FoldedKey(list[i]), Spot{i, 1});
    if (!fresh) ++it->second.count;
  }
  size_ = list.size();
  data_ = list.data();
}

std::ptrdiff_t TUninstallList::FoldedIndex::Find(const std::vector<std::string>& list, const std::string& line,
                                                 std::size_t* count) {
  Sync(list);
  const std::string key = FoldedKey(line);
  auto it = at_.find(key);
  if (it != at_.end() && (it->second.first >= list.size() || !SameFolded(list[it->second.first], line))) {
    // A list changed in place behind the index's back.
    Invalidate();
    Sync(list);
    it = at_.find(key);
  }
  if (count != nullptr) *count = it == at_.end() ? 0 : it->second.count;
  return it == at_.end() ? -1 : static_cast<std::ptrdiff_t>(it->second.first);
}

void TUninstallList::FoldedIndex::Appended(const std::vector<std::string>& list) {
  if (size_ + 1 != list.size()) return Invalidate();
  auto [it, fresh] = at_.try_emplace(FoldedKey(list.back()), Spot{list.size() - 1, 1});
  if (!fresh) ++it->second.count;
  size_ = list.size();
  data_ = list.data();
}

void TUninstallList::FoldedIndex::Replaced(const std::vector<std::string>& list, std::size_t at,
                                           const std::string& old_line) {
  const std::string old_key = FoldedKey(old_line);
  std::string new_key = FoldedKey(list[at]);
  if (old_key == new_key) return;
  auto it = at_.find(old_key);
  // Equal lines elsewhere would need a search for the next first one: build again instead.
  if (size_ != list.size() || data_ != list.data() || it == at_.end() || it->second.first != at ||
      it->second.count != 1 || at_.count(new_key) != 0) {
    return Invalidate();
  }
  at_.erase(it);
  at_.emplace(std::move(new_key), Spot{at, 1});
}

void TUninstallList::AddUnique(std::vector<std::string>& list, FoldedIndex& index, const std::string& line) {
  if (index.Find(list, line) >= 0) return;
  list.push_back(line);
  index.Appended(list);
}

void TUninstallList::Clear() {
  Files.clear();
  RegValues.clear();
  Dirs.clear();
  Keys.clear();
  files_index_.Invalidate();
  reg_values_index_.Invalidate();
}

// Recorded as the system resolves the path, so a sound log never holds a "." or ".."
// component (the uninstaller refuses those).
std::string TUninstallList::FileLine(const std::string& path) const {
  const std::string resolved = ResolveDotComponents(path);
  return Collapse ? Collapse(resolved) : resolved;
}

void TUninstallList::AddFile(const std::string& path) { AddUnique(Files, files_index_, FileLine(path)); }

bool TUninstallList::RenameFile(const std::string& from, const std::string& to) {
  const std::string old_line = FileLine(from);
  const std::string new_line = FileLine(to);
  const std::ptrdiff_t old_at = files_index_.Find(Files, old_line);
  if (old_at < 0) return false;
  // A case-only rename matches its own line; only another line for the new name makes this
  // one redundant.
  std::size_t matching = 0;
  const bool elsewhere = files_index_.Find(Files, new_line, &matching) >= 0 &&
                         (matching > 1 || !SameFolded(old_line, new_line));
  if (elsewhere) {
    Files.erase(Files.begin() + old_at);
    files_index_.Invalidate();
  } else {
    const std::string previous = Files[static_cast<std::size_t>(old_at)];
    Files[static_cast<std::size_t>(old_at)] = new_line;
    files_index_.Replaced(Files, static_cast<std::size_t>(old_at), previous);
  }
  return true;
}

void TUninstallList::AddRegValue(const std::string& line) { AddUnique(RegValues, reg_values_index_, line); }

void TUninstallList::AddDir(const std::string& path) { Dirs.push_back(ResolveDotComponents(path)); }

std::string TUninstallList::RegValueLine(const std::string& root, const std::string& key, const std::string& name,
                                         const std::string& value) {
  return "\"" + root + "\" \"" + key + "\" \"" + name + "\" \"" + value + "\"";
}

bool TUninstallList::SplitRegValueLine(const std::string& line, std::string fields[4]) {
  // The separators are exactly `" "`; values may themselves hold quotes, so the three
  // separators are found from the outside in: root and key cannot hold `" "`, the value
  // is what lies between the third separator and the closing quote.
  if (line.size() < 2 || line.front() != '"' || line.back() != '"') return false;
  const std::string body = line.substr(1, line.size() - 2);
  const std::string sep = "\" \"";
  std::size_t a = body.find(sep);
  if (a == std::string::npos) return false;
  std::size_t b = body.find(sep, a + sep.size());
  if (b == std::string::npos) return false;
  std::size_t c = body.find(sep, b + sep.size());
  if (c == std::string::npos) return false;
  fields[0] = body.substr(0, a);
  fields[1] = body.substr(a + sep.size(), b - a - sep.size());
  fields[2] = body.substr(b + sep.size(), c - b - sep.size());
  fields[3] = body.substr(c + sep.size());
  return true;
}

void TUninstallList::AddKey(const std::string& line) {
  for (const std::string& k : Keys) {
    if (SameTextAscii(k, line)) return;
  }
  Keys.push_back(line);
}

std::string TUninstallList::KeyLine(const std::string& root, const std::string& key) {
  return "\"" + root + "\" \"" + key + "\"";
}

bool TUninstallList::SplitKeyLine(const std::string& line, std::string fields[2]) {
  const std::string sep = "\" \"";
  if (line.size() < 2 || line.front() != '"' || line.back() != '"') return false;
  const std::string body = line.substr(1, line.size() - 2);
  const std::size_t a = body.find(sep);
  if (a == std::string::npos) return false;
  fields[0] = body.substr(0, a);
  fields[1] = body.substr(a + sep.size());
  return true;
}

std::string TUninstallList::LogPath(const std::string& directory, const std::string& prefix) {
  return directory + "\\" + prefix + "install.log";
}

void TUninstallList::ReleaseIndexes() {
  files_index_ = FoldedIndex{};
  reg_values_index_ = FoldedIndex{};
}

namespace {

// A log whose lines are all ASCII and that records no registry key keeps the format every reader
// knows. Any other line, and the keys (the fourth section), need the extended form: three counts of 0xFFFF (so a reader
// of the three counts alone looks for 196,605 lines, finds the log ends early and refuses it), the marker line, then
// one line holding the sections' counts (four bytes each, three or more sections), then the lines, UTF-8. A reader
// skips sections after those it knows.
constexpr char kExtendedLogMarker[] = "ZQLOG/UTF-8";
constexpr std::uint16_t kExtendedLogCount = 0xFFFF;
// An older reader must run out of lines before it has read 3 x 65,535 of them.
constexpr std::size_t kMostExtendedLines = 3 * std::size_t{0xFFFF} - 3;

constexpr char kCheckMarker[] = "ZQMAC/1";

// The folder comes first, counted, so no split of the same bytes between folder and lists
// gives the same check.
Digest256 CheckOf(const LogKey& key, const std::string& folder, const std::uint8_t* lists, std::size_t size) {
  HmacSha256 mac(key.data(), key.size());
  std::vector<std::uint8_t> counted;
  AppendPakString(counted, TUninstallList::LogCheckFolder(folder));
  mac.Update(counted.data(), counted.size());
  mac.Update(lists, size);
  return mac.Final();
}

}  // namespace

std::string TUninstallList::LogCheckFolder(const std::string& folder) {
  std::string out = platform::UpperCase(folder);
  std::replace(out.begin(), out.end(), '/', '\\');
  while (out.size() > 3 && out.back() == '\\') out.pop_back();
  return out;
}

bool TUninstallList::NeedsExtendedLog() const {
  if (!Keys.empty()) return true;
  for (const auto* list : {&Files, &RegValues, &Dirs}) {
    for (const auto& line : *list) {
      if (!platform::IsAscii(line)) return true;
    }
  }
  return false;
}

std::vector<std::uint8_t> TUninstallList::Serialize(const LogKey* key, const std::string& folder) const {
  const bool extended = NeedsExtendedLog();
  std::vector<std::uint8_t> out;
  std::size_t size = 64;
  for (const auto* list : {&Files, &RegValues, &Dirs}) {
    for (const auto& line : *list) size += 2 + std::min<std::size_t>(line.size(), 0xFFFF);
  }
  out.reserve(size);
  if (extended) {
    for (int i = 0; i < 3; ++i) PutU16(out, kExtendedLogCount);
    AppendPakString(out, kExtendedLogMarker);
    std::vector<std::uint8_t> counts;
    for (const auto* list : {&Files, &RegValues, &Dirs}) PutU32(counts, static_cast<std::uint32_t>(list->size()));
    if (!Keys.empty()) PutU32(counts, static_cast<std::uint32_t>(Keys.size()));
    AppendPakString(out, std::string(counts.begin(), counts.end()));
  } else {
    PutU16(out, static_cast<std::uint16_t>(Files.size()));
    PutU16(out, static_cast<std::uint16_t>(RegValues.size()));
    PutU16(out, static_cast<std::uint16_t>(Dirs.size()));
  }
  for (const auto* list : {&Files, &RegValues, &Dirs, &Keys}) {
    for (const auto& line : *list) AppendPakString(out, ScrambleLine(kUninstallLogKey, line));
  }
  if (key != nullptr) {
    const Digest256 check = CheckOf(*key, folder, out.data(), out.size());
    AppendPakString(out, kCheckMarker);
    out.insert(out.end(), check.begin(), check.end());
  }
  return out;
}

bool TUninstallList::Save(const std::string& directory, const std::string& prefix, const LogKey* key) const {
  const bool extended = NeedsExtendedLog();
  std::size_t lines = 0;
  for (const auto* list : {&Files, &RegValues, &Dirs, &Keys}) {
    if (list->size() > 0xFFFF) return false;
    lines += list->size();
    for (const auto& line : *list) {
      if (line.size() > 0xFFFF) return false;
    }
  }
  if (extended && lines > kMostExtendedLines) return false;
  // Three full lists would read as the extended form's mark.
  if (!extended && Files.size() == kExtendedLogCount && RegValues.size() == kExtendedLogCount &&
      Dirs.size() == kExtendedLogCount) {
    return false;
  }
  const std::string path = LogPath(directory, prefix);
  if (platform::FileExists(path)) platform::DeleteFileAt(path);
  platform::File f;
  if (!f.Open(path, platform::OpenMode::Create)) return false;
  auto bytes = Serialize(key, directory);
  if (f.Write(bytes.data(), bytes.size()) != bytes.size() || !f.Flush()) return false;
  f.Close();
  // Read back: a run registers its product only with a log that will read as it was written.
  const auto written = ReadWholeFile(path);
  return written && written->size() == bytes.size() && std::equal(bytes.begin(), bytes.end(), written->begin());
}

bool TUninstallList::LoadFromBuffer(const void* data, std::size_t size, std::string* problem, const LogKey* key,
                                    const std::string& folder, LogCheck* check) {
  auto fail = [&](const std::string& why) {
    if (problem != nullptr) *problem = why;
    return false;
  };
  if (size > 0xFFFFFFFFu) return fail("the uninstall log is larger than 4 GiB");
  TBufferManager in(static_cast<const std::uint8_t*>(data), data == nullptr ? 0 : static_cast<std::uint32_t>(size));
  auto f = in.ReadInt16();
  auto r = in.ReadInt16();
  auto d = in.ReadInt16();
  if (!f || !r || !d) return fail("the uninstall log ends before its three line counts");
  std::vector<std::uint32_t> counts = {static_cast<std::uint16_t>(*f), static_cast<std::uint16_t>(*r),
                                       static_cast<std::uint16_t>(*d)};
  const bool extended = counts[0] == kExtendedLogCount && counts[1] == kExtendedLogCount &&
                        counts[2] == kExtendedLogCount;
  if (extended) {
    auto marker = in.ReadString();
    if (!marker || *marker != kExtendedLogMarker) return fail("the uninstall log has an unknown format");
    auto table = in.ReadString();
    if (!table || table->size() % 4 != 0 || table->size() < 3 * 4) {
      return fail("the uninstall log's section counts are damaged");
    }
    counts.clear();
    for (std::size_t at = 0; at < table->size(); at += 4) {
      const auto* b = reinterpret_cast<const std::uint8_t*>(table->data() + at);
      counts.push_back(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24));
    }
  }
  TUninstallList loaded;
  std::vector<std::string> unknown;
  const char* const names[] = {"file", "registry value", "folder", "registry key"};
  std::vector<std::string>* const known[] = {&loaded.Files, &loaded.RegValues, &loaded.Dirs, &loaded.Keys};
  constexpr std::size_t kKnown = std::size(known);
  for (std::size_t section = 0; section < counts.size(); ++section) {
    std::vector<std::string>* list = section < kKnown ? known[section] : &unknown;
    const std::string what = section < kKnown ? names[section] : "section " + std::to_string(section + 1);
    for (std::uint32_t i = 0; i < counts[section]; ++i) {
      auto line = in.ReadString();
      if (!line) {
        return fail("the uninstall log ends inside " + what + " line " + std::to_string(i + 1) + " of " +
                    std::to_string(counts[section]));
      }
      if (section >= kKnown) continue;
      std::string text = UnscrambleLine(kUninstallLogKey, *line);
      // Logs of the three-count form were written in the ANSI code page.
      list->push_back(extended ? std::move(text) : platform::LegacyToUtf8(text));
    }
  }
  if (check != nullptr) {
    const std::uint32_t lists_end = in.Position;
    auto marker = in.ReadString();
    Digest256 carried{};
    if (lists_end == in.Size) {
      *check = LogCheck::Absent;
    } else if (!marker || *marker != kCheckMarker || in.ReadInto(32, carried.data()) != 32 || in.Position != in.Size ||
               key == nullptr) {
      // Anything after the lists claims a check: one that cannot be tested is no proof.
      *check = LogCheck::Failed;
    } else {
      const auto* bytes = static_cast<const std::uint8_t*>(data);
      *check = SameDigest(CheckOf(*key, folder, bytes, lists_end), carried) ? LogCheck::Verified : LogCheck::Failed;
    }
  }
  Files = std::move(loaded.Files);
  RegValues = std::move(loaded.RegValues);
  Dirs = std::move(loaded.Dirs);
  Keys = std::move(loaded.Keys);
  return true;
}

bool TUninstallList::Load(const std::string& directory, const std::string& prefix, std::string* problem,
                          const LogKey* key, LogCheck* check) {
  const std::string path = LogPath(directory, prefix);
  if (!platform::FileExists(path)) return false;
  auto bytes = ReadWholeFile(path);
  if (!bytes) {
    if (problem != nullptr) *problem = "the uninstall log cannot be read";
    return false;
  }
  return LoadFromBuffer(bytes->data(), bytes->size(), problem, key, directory, check);
}

}  // namespace zq
