#include "engine/run_journal.h"

#include <cstdio>

#include "archives/journal.h"
#include "base/path_text.h"
#include "codec/zlib_codec.h"
#include "engine/logged_files.h"
#include "platform/registry.h"

namespace zq {

namespace {

// Records written between two syncs: a kill loses nothing the system was handed; a power cut
// loses at most this many, whose changes are as recent.
constexpr std::size_t kSyncEvery = 256;

// The last record of a committed run: what follows it is only tidying up.
constexpr char kCommitLine[] = "commit\n";

void AppendField(std::string& out, const std::string& field) {
  out += std::to_string(field.size()) + ":" + field + " ";
}

std::string Hex8(std::uint32_t v) {
  char buffer[9];
  std::snprintf(buffer, sizeof buffer, "%08x", v);
  return buffer;
}

// One record's line without its newline; nothing when it does not parse or its check fails.
std::optional<RunChange> ParseLine(const std::string& line) {
  const std::size_t crc_at = line.size() >= 9 ? line.size() - 8 : std::string::npos;
  if (crc_at == std::string::npos || line[crc_at - 1] != ' ') return std::nullopt;
  const std::string body = line.substr(0, crc_at);
  if (Hex8(Crc32(reinterpret_cast<const std::uint8_t*>(body.data()), body.size())) != line.substr(crc_at)) {
    return std::nullopt;
  }
  RunChange c;
  std::size_t at = 0;
  auto token = [&]() -> std::optional<std::string> {
    const std::size_t space = body.find(' ', at);
    if (space == std::string::npos) return std::nullopt;
    std::string t = body.substr(at, space - at);
    at = space + 1;
    return t;
  };
  auto field = [&]() -> std::optional<std::string> {
    const std::size_t colon = body.find(':', at);
    if (colon == std::string::npos) return std::nullopt;
    const std::int32_t n = StrToIntOr(body.substr(at, colon - at));
    if (n < 0 || colon + 1 + static_cast<std::size_t>(n) >= body.size()) return std::nullopt;
    std::string f = body.substr(colon + 1, static_cast<std::size_t>(n));
    at = colon + 2 + static_cast<std::size_t>(n);
    return f;
  };
  const auto kind = token();
  const auto root = token();
  const auto type = token();
  if (!kind || kind->size() != 1 || !root || !type || type->size() != 1) return std::nullopt;
  if (std::string("DCRXYMKVA").find((*kind)[0]) == std::string::npos) return std::nullopt;
  c.kind = static_cast<RunChange::Kind>((*kind)[0]);
  c.root = static_cast<std::uint32_t>(std::stoul("0" + *root));
  c.old_type = (*type)[0] == '-' ? 0 : (*type)[0];
  auto path = field(), aside = field(), old = field();
  if (!path || !aside || !old || at != body.size()) return std::nullopt;
  c.path = *path;
  c.aside = *aside;
  c.old_value = *old;
  return c;
}

void UndoOne(const RunChange& c, platform::Registry& reg, const RunLogFn& log) {
  using Kind = RunChange::Kind;
  switch (c.kind) {
    case Kind::FolderCreated: break;  // by the caller, last
    case Kind::FileCreated:
      if (platform::FileExists(c.path) && platform::DeleteFileAt(c.path)) log("undone: removed " + c.path);
      break;
    case Kind::FileReplaced:
    case Kind::FileRemoved:
      // Without the kept file the change was never made, or was undone already.
      if (!platform::FileExists(c.aside)) break;
      if (platform::FileExists(c.path)) platform::DeleteFileAt(c.path);
      log((platform::RenameFile(c.aside, c.path) ? "undone: restored " : "could not restore ") + c.path);
      break;
    case Kind::FolderRemoved:
      if (platform::DirectoryExists(c.aside) && !platform::DirectoryExists(c.path)) {
        log((platform::RenameFile(c.aside, c.path) ? "undone: restored folder " : "could not restore folder ") +
            c.path);
      }
      break;
    case Kind::Renamed:
      if (platform::FileExists(c.aside) && !platform::FileExists(c.path) && platform::RenameFile(c.aside, c.path)) {
        log("undone: renamed " + c.aside + " back to " + c.path);
      }
      break;
    case Kind::KeyCreated:
      reg.SetRoot(c.root);
      if (reg.KeyExists(c.path) && reg.DeleteKey(c.path)) log("undone: removed registry key " + c.path);
      break;
    case Kind::RegValue:
      reg.SetRoot(c.root);
      if (!reg.KeyExists(c.path) || !reg.OpenKey(c.path, false)) break;
      if (c.old_type == 'S') reg.WriteString(c.aside, c.old_value);
      else if (c.old_type == 'D') reg.WriteDword(c.aside, static_cast<std::uint32_t>(std::stoul("0" + c.old_value)));
      else reg.DeleteValue(c.aside);
      reg.CloseKey();
      log("undone: registry value " + c.path + " " + c.aside);
      break;
    case Kind::ArchiveHeld:
      // The archive's own journal knows what the run changed in it, and whether it is the
      // archive's: one that is not is removed without being applied.
      if (const JournalRecovery r = ArchiveJournal::Recover(SystemFileSystem(), c.path); !r.note.empty()) {
        log("undone: " + r.note);
      }
      break;
  }
}

void Tidy(const std::vector<RunChange>& changes) {
  for (const RunChange& c : changes) {
    if (c.kind == RunChange::Kind::FileReplaced || c.kind == RunChange::Kind::FileRemoved) {
      platform::DeleteFileAt(c.aside);  // one that is gone already fails harmlessly
    } else if (c.kind == RunChange::Kind::FolderRemoved) {
      RemoveTree(c.aside);
    } else if (c.kind == RunChange::Kind::ArchiveHeld) {
      platform::DeleteFileAt(ArchiveJournal::PathFor(c.path));
    }
  }
}

}  // namespace

std::string RunJournal::PathFor(const std::string& install_dir, const std::string& log_prefix) {
  return IncludeTrailingBackslash(install_dir) + log_prefix + "run.zqr";
}

std::string NumberedName(const std::string& base, const char* suffix, int n) {
  return base + suffix + (n == 0 ? std::string() : std::to_string(n));
}

std::string FreeName(const std::string& base, const char* suffix,
                     const std::function<bool(const std::string&)>& exists) {
  for (int n = 0;; ++n) {
    if (std::string name = NumberedName(base, suffix, n); !exists(name)) return name;
  }
}

std::string AsideName(const std::string& path) {
  return FreeName(path, kKeptSuffix,
                  [](const std::string& p) { return platform::FileExists(p) || platform::DirectoryExists(p); });
}

std::string RunJournal::Serialize(const RunChange& c) {
  std::string body(1, static_cast<char>(c.kind));
  body += " " + std::to_string(c.root) + " " + std::string(1, c.old_type == 0 ? '-' : c.old_type) + " ";
  AppendField(body, c.path);
  AppendField(body, c.aside);
  AppendField(body, c.old_value);
  return body + Hex8(Crc32(reinterpret_cast<const std::uint8_t*>(body.data()), body.size())) + "\n";
}

bool RunJournal::Begin(const std::string& path) {
  path_ = path;
  changes_.clear();
  created_folders_.clear();
  unsynced_ = 0;
  broken_ = false;
  // Not flushed yet: the caller syncs before the run's first change, and that one flush makes
  // the file and its first records durable together.
  return file_.Open(path, platform::OpenMode::Create);
}

bool RunJournal::Record(const RunChange& change) {
  if (!Active()) return true;
  if (broken_) return false;
  const std::string line = Serialize(change);
  if (file_.Write(line.data(), line.size()) != line.size()) {
    broken_ = true;
    return false;
  }
  changes_.push_back(change);
  if (change.kind == RunChange::Kind::FolderCreated) created_folders_.insert(change.path);
  if (++unsynced_ >= kSyncEvery) Sync();
  return true;
}

bool RunJournal::InCreatedFolder(const std::string& path) const {
  const std::size_t cut = path.rfind('\\');
  return cut != std::string::npos && created_folders_.count(path.substr(0, cut)) != 0;
}

void RunJournal::Sync() {
  if (Active()) file_.Flush();
  unsynced_ = 0;
}

void RunJournal::Commit(const RunLogFn& log) {
  if (!Active()) return;
  // Once this is on the disk a later run finishes the tidying instead of undoing the run.
  const bool marked = !broken_ && file_.Write(kCommitLine, sizeof kCommitLine - 1) == sizeof kCommitLine - 1 &&
                      file_.Flush();
  file_.Close();
  // Unmarked, the journal goes before anything kept aside does: a kill in between leaves stray
  // kept files, never a journal that would undo a run that succeeded.
  if (!marked) platform::DeleteFileAt(path_);
  Tidy(changes_);
  if (marked) platform::DeleteFileAt(path_);
  if (log) log("committed " + std::to_string(changes_.size()) + " changes");
  changes_.clear();
}

void RunJournal::Rollback(platform::Registry& registry, const RunLogFn& log) {
  if (!Active()) return;
  file_.Close();
  Recover(JournalContents{changes_, false}, path_, registry, log);
  changes_.clear();
}

std::optional<JournalContents> RunJournal::Load(const std::string& path, std::string* problem) {
  auto refuse = [problem](const std::string& why) -> std::optional<JournalContents> {
    if (problem) *problem = why;
    return std::nullopt;
  };
  platform::File f;
  if (!f.Open(path, platform::OpenMode::ReadShared)) return refuse("the journal cannot be read");
  const std::uint64_t size = f.Size().value_or(0);
  if (size > (256u << 20)) return refuse("the journal is larger than any run writes");
  std::string text(static_cast<std::size_t>(size), '\0');
  if (f.Read(text.data(), text.size()) != text.size()) return refuse("the journal cannot be read");
  JournalContents contents;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    if (end == std::string::npos) break;  // cut while written: its change was never made
    const std::string line = text.substr(at, end + 1 - at);
    at = end + 1;
    if (line == kCommitLine) {
      if (at != text.size()) return refuse("the journal goes on after its commit");
      contents.committed = true;
      break;
    }
    auto change = ParseLine(line.substr(0, line.size() - 1));
    if (!change) return refuse("record " + std::to_string(contents.changes.size() + 1) + " is damaged");
    contents.changes.push_back(*change);
  }
  return contents;
}

void RunJournal::Recover(const JournalContents& contents, const std::string& journal, platform::Registry& registry,
                         const RunLogFn& log) {
  const RunLogFn say = log ? log : [](const std::string&) {};
  const std::vector<RunChange>& changes = contents.changes;
  if (contents.committed) {
    Tidy(changes);
    platform::DeleteFileAt(journal);
    say("finished the tidying of a committed run");
    return;
  }
  for (auto c = changes.rbegin(); c != changes.rend(); ++c) UndoOne(*c, registry, say);
  platform::DeleteFileAt(journal);
  for (auto c = changes.rbegin(); c != changes.rend(); ++c) {
    if (c->kind == RunChange::Kind::FolderCreated && platform::DirectoryExists(c->path) && RemoveTree(c->path)) {
      say("undone: removed folder " + c->path);
    }
  }
  say("undid " + std::to_string(changes.size()) + " changes");
}

}  // namespace zq
