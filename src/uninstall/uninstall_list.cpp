#include "uninstall/uninstall_list.h"

#include <algorithm>
#include <tuple>

#include "container/pak_string.h"
#include "base/buffer_manager.h"
#include "base/path_text.h"
#include "base/scrambler.h"
#include "platform/files.h"

namespace zq {

namespace {

void AddUnique(std::vector<std::string>& list, const std::string& line) {
  for (const auto& existing : list) {
    if (SameTextAscii(existing, line)) return;
  }
  list.push_back(line);
}

}  // namespace

void TUninstallList::Clear() {
  Files.clear();
  RegValues.clear();
  Dirs.clear();
}

// Recorded as the system resolves the path, so a sound log never holds a "." or ".."
// component (the uninstaller refuses those).
std::string TUninstallList::FileLine(const std::string& path) const {
  const std::string resolved = ResolveDotComponents(path);
  return Collapse ? Collapse(resolved) : resolved;
}

void TUninstallList::AddFile(const std::string& path) { AddUnique(Files, FileLine(path)); }

bool TUninstallList::RenameFile(const std::string& from, const std::string& to) {
  const std::string old_line = FileLine(from);
  const std::string new_line = FileLine(to);
  auto same = [](const std::string& line) { return [&line](const std::string& e) { return SameTextAscii(e, line); }; };
  auto old_at = std::find_if(Files.begin(), Files.end(), same(old_line));
  if (old_at == Files.end()) return false;
  // A case-only rename matches its own line; only another line for the new name makes this
  // one redundant.
  const bool elsewhere = std::any_of(Files.begin(), Files.end(),
                                     [&](const std::string& e) { return &e != &*old_at && SameTextAscii(e, new_line); });
  if (elsewhere) Files.erase(old_at);
  else *old_at = new_line;
  return true;
}

void TUninstallList::AddRegValue(const std::string& line) { AddUnique(RegValues, line); }

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

std::vector<std::uint8_t> TUninstallList::Serialize() const {
  std::vector<std::uint8_t> out;
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
        return fail("the uninstall log ends inside " + std::string(what) + " line " + std::to_string(i + 1) +
                    " of " + std::to_string(count));
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
