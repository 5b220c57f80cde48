#include "uninstall/uninstall_list.h"

#include <algorithm>
#include <tuple>

#include "container/pak_string.h"
#include "base/buffer_manager.h"
#include "base/path_text.h"
#include "base/scrambler.h"
#include "platform/files.h"

namespace zq {

void TUninstallList::FoldedIndex::Sync(const std::vector<std::string>& list) {
  // Size and storage catch appends and assignments; the two ends catch most lists rewritten in
  // the same storage (a stale hit is caught again by Find).
  auto known = [&](const std::string& line) { return at_.count(AsciiLowerCase(line)) != 0; };
  if (size_ == list.size() && data_ == list.data() && (list.empty() || (known(list.front()) && known(list.back())))) {
    return;
  }
  at_.clear();
  at_.reserve(list.size());
  // The first of equal lines wins, as a scan from the front would find it.
  for (std::size_t i = 0; i < list.size(); ++i) {
    auto [it, fresh] = at_.try_emplace(AsciiLowerCase(list[i]), Spot{i, 1});
    if (!fresh) ++it->second.count;
  }
  size_ = list.size();
  data_ = list.data();
}

std::ptrdiff_t TUninstallList::FoldedIndex::Find(const std::vector<std::string>& list, const std::string& line,
                                                 std::size_t* count) {
  Sync(list);
  const std::string key = AsciiLowerCase(line);
  auto it = at_.find(key);
  if (it != at_.end() && (it->second.first >= list.size() || !SameTextAscii(list[it->second.first], line))) {
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
  auto [it, fresh] = at_.try_emplace(AsciiLowerCase(list.back()), Spot{list.size() - 1, 1});
  if (!fresh) ++it->second.count;
  size_ = list.size();
  data_ = list.data();
}

void TUninstallList::FoldedIndex::Replaced(const std::vector<std::string>& list, std::size_t at,
                                           const std::string& old_line) {
  const std::string old_key = AsciiLowerCase(old_line);
  std::string new_key = AsciiLowerCase(list[at]);
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
                         (matching > 1 || !SameTextAscii(old_line, new_line));
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

std::string TUninstallList::LogPath(const std::string& directory, const std::string& prefix) {
  return directory + "\\" + prefix + "install.log";
}

void TUninstallList::ReleaseIndexes() {
  files_index_ = FoldedIndex{};
  reg_values_index_ = FoldedIndex{};
}

std::vector<std::uint8_t> TUninstallList::Serialize() const {
  std::vector<std::uint8_t> out;
  std::size_t size = 6;
  for (const auto* list : {&Files, &RegValues, &Dirs}) {
    for (const auto& line : *list) size += 2 + std::min<std::size_t>(line.size(), 0xFFFF);
  }
  out.reserve(size);
  PutU16(out, static_cast<std::uint16_t>(Files.size()));
  PutU16(out, static_cast<std::uint16_t>(RegValues.size()));
  PutU16(out, static_cast<std::uint16_t>(Dirs.size()));
  for (const auto* list : {&Files, &RegValues, &Dirs}) {
    for (const auto& line : *list) AppendPakString(out, ScrambleLine(kUninstallLogKey, line));
  }
  return out;
}

bool TUninstallList::Save(const std::string& directory, const std::string& prefix) const {
  for (const auto* list : {&Files, &RegValues, &Dirs}) {
    if (list->size() > 0xFFFF) return false;
    for (const auto& line : *list) {
      if (line.size() > 0xFFFF) return false;
    }
  }
  const std::string path = LogPath(directory, prefix);
  if (platform::FileExists(path)) platform::DeleteFileAt(path);
  platform::File f;
  if (!f.Open(path, platform::OpenMode::Create)) return false;
  auto bytes = Serialize();
  return f.Write(bytes.data(), bytes.size()) == bytes.size();
}

bool TUninstallList::LoadFromBuffer(const void* data, std::size_t size, std::string* problem) {
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
  TUninstallList loaded;
  const std::tuple<std::vector<std::string>*, std::uint16_t, const char*> lists[] = {
      {&loaded.Files, static_cast<std::uint16_t>(*f), "file"},
      {&loaded.RegValues, static_cast<std::uint16_t>(*r), "registry value"},
      {&loaded.Dirs, static_cast<std::uint16_t>(*d), "folder"}};
  for (const auto& [list, count, what] : lists) {
    for (std::uint32_t i = 0; i < count; ++i) {
      auto line = in.ReadString();
      if (!line) {
        return fail("the uninstall log ends inside " + std::string(what) + " line " + std::to_string(i + 1) + " of " +
                    std::to_string(count));
      }
      list->push_back(UnscrambleLine(kUninstallLogKey, *line));
    }
  }
  Files = std::move(loaded.Files);
  RegValues = std::move(loaded.RegValues);
  Dirs = std::move(loaded.Dirs);
  return true;
}

bool TUninstallList::Load(const std::string& directory, const std::string& prefix) {
  const std::string path = LogPath(directory, prefix);
  if (!platform::FileExists(path)) return false;
  auto bytes = ReadWholeFile(path);
  return bytes && LoadFromBuffer(bytes->data(), bytes->size());
}

}  // namespace zq
