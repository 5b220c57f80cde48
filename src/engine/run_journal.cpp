#include "engine/run_journal.h"

#include <algorithm>

#include "archives/journal.h"
#include "base/path_text.h"
#include "engine/logged_files.h"
#include "engine/removal_guard.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace zq {

namespace {

// The first line: the format, the run's id and the installation folder. A journal copied to
// another installation's name, or another engine's, fails here.
constexpr char kHeaderTag[] = "zqr/2";
// The last record of a committed run: what follows it is only tidying up.
constexpr char kCommitBody[] = "commit ";
constexpr std::size_t kMacHex = 64;

void AppendField(std::string& out, const std::string& field) {
  out += std::to_string(field.size()) + ":" + field + " ";
}

// The installation folder as the journal knows it: one spelling for every way of writing it.
std::string FolderKey(std::string dir) {
  while (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return platform::UpperCase(dir);
}

// Each line's check covers the line and, through the check before it, every line before it: a
// line cannot be dropped, moved or copied from another journal without the rest failing.
Digest256 Chain(const platform::SecretKey& key, const Digest256& before, const std::string& body) {
  HmacSha256 mac(key.data(), key.size());
  mac.Update(before.data(), before.size());
  mac.Update(body);
  return mac.Final();
}

std::optional<Digest256> FromHex(const std::string& hex) {
  if (hex.size() != 2 * Digest256{}.size()) return std::nullopt;
  Digest256 out{};
  for (std::size_t i = 0; i < hex.size(); ++i) {
    const char c = hex[i];
    const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (v < 0) return std::nullopt;
    out[i / 2] = static_cast<std::uint8_t>(out[i / 2] << 4 | v);
  }
  return out;
}

// Reads a body's space-ended tokens and "length:text " fields.
class BodyReader {
 public:
  explicit BodyReader(const std::string& body) : body_(body) {}
  std::optional<std::string> Token() {
    const std::size_t space = body_.find(' ', at_);
    if (space == std::string::npos) return std::nullopt;
    std::string t = body_.substr(at_, space - at_);
    at_ = space + 1;
    return t;
  }
  std::optional<std::string> Field() {
    const std::size_t colon = body_.find(':', at_);
    if (colon == std::string::npos) return std::nullopt;
    const std::int32_t n = StrToIntOr(body_.substr(at_, colon - at_));
    if (n < 0 || colon + 1 + static_cast<std::size_t>(n) >= body_.size() || body_[colon + 1 + n] != ' ') {
      return std::nullopt;
    }
    std::string f = body_.substr(colon + 1, static_cast<std::size_t>(n));
    at_ = colon + 2 + static_cast<std::size_t>(n);
    return f;
  }
  bool AtEnd() const { return at_ == body_.size(); }

 private:
  const std::string& body_;
  std::size_t at_ = 0;
};

std::optional<std::uint64_t> Number(const std::optional<std::string>& text) {
  if (!text || text->empty() || text->size() > 19 || text->find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  return std::stoull(*text);
}

std::string RecordBody(const RunChange& c) {
  std::string body(1, static_cast<char>(c.kind));
  body += " " + std::to_string(c.root) + " " + std::string(1, c.old_type == 0 ? '-' : c.old_type) + " " +
          std::string(1, c.new_type == 0 ? '-' : c.new_type) + " " + std::to_string(c.size) + " ";
  for (const std::string* field : {&c.path, &c.aside, &c.old_value, &c.new_value, &c.digest}) AppendField(body, *field);
  return body;
}

std::optional<RunChange> ParseRecord(const std::string& body) {
  BodyReader in(body);
  const auto kind = in.Token();
  const auto root = Number(in.Token());
  const auto old_type = in.Token(), new_type = in.Token();
  const auto size = Number(in.Token());
  if (!kind || kind->size() != 1 || std::string("DCRXYMKVA").find((*kind)[0]) == std::string::npos || !root ||
      *root > 0xFFFFFFFFu || !old_type || old_type->size() != 1 || !new_type || new_type->size() != 1 || !size) {
    return std::nullopt;
  }
  RunChange c;
  c.kind = static_cast<RunChange::Kind>((*kind)[0]);
  c.root = static_cast<std::uint32_t>(*root);
  c.old_type = (*old_type)[0] == '-' ? 0 : (*old_type)[0];
  c.new_type = (*new_type)[0] == '-' ? 0 : (*new_type)[0];
  c.size = *size;
  for (std::string* field : {&c.path, &c.aside, &c.old_value, &c.new_value, &c.digest}) {
    auto f = in.Field();
    if (!f) return std::nullopt;
    *field = std::move(*f);
  }
  if (!in.AtEnd()) return std::nullopt;
  return c;
}

bool SameFolder(const std::string& a, const std::string& b) { return FolderKey(a) == FolderKey(b); }

// Whether `aside` is a name this run gave to what it kept of `path`: beside it, the run's id in
// its name. A record naming anything else is not the run's own and is never restored from.
bool IsRunsAside(const std::string& aside, const std::string& path, const std::string& run_id) {
  if (run_id.empty() || !SameFolder(ExtractFileDir(aside), ExtractFileDir(path))) return false;
  const std::string stem = platform::LowerCase(ExtractFileName(path)) + "." + run_id + kKeptSuffix;
  const std::string name = platform::LowerCase(ExtractFileName(aside));
  return name.rfind(stem, 0) == 0 && name.find_first_not_of("0123456789", stem.size()) == std::string::npos;
}

// What a registry value holds now, in a record's terms.
std::pair<char, std::string> ValueNow(platform::Registry& reg, const std::string& name) {
  if (auto text = reg.ReadString(name)) return {'S', *text};
  if (auto number = reg.ReadDword(name)) return {'D', std::to_string(*number)};
  return {reg.ValueExists(name) ? '?' : '\0', {}};
}

void UndoOne(const RunChange& c, const std::string& run_id, LinkGuard& links, platform::Registry& reg,
             const RunLogFn& log) {
  using Kind = RunChange::Kind;
  const bool on_disk = c.kind != Kind::KeyCreated && c.kind != Kind::RegValue;
  if (on_disk && (links.ThroughLink(c.path) || (!c.aside.empty() && links.ThroughLink(c.aside)))) {
    log("left " + c.path + ": a link or junction on its way leads out of the installation folder");
    return;
  }
  switch (c.kind) {
    case Kind::FolderCreated:
      // Only empty: what is in it now was put there by someone after the run, or is not the run's.
      if (!platform::DirectoryExists(c.path)) break;
      log(platform::RemoveDir(c.path) ? "undone: removed folder " + c.path
                                      : "left folder " + c.path + ": it is not empty");
      break;
    case Kind::FileCreated:
      if (platform::FileExists(c.path) && platform::DeleteFileAt(c.path)) log("undone: removed " + c.path);
      break;
    case Kind::FileReplaced:
    case Kind::FileRemoved: {
      if (!IsRunsAside(c.aside, c.path, run_id)) {
        log("not restored " + c.path + ": " + c.aside + " is not a file this run kept aside");
        break;
      }
      // Without the kept file the change was never made, or was undone already.
      if (!platform::FileExists(c.aside)) break;
      const auto check = RunJournal::FileCheck(c.aside);
      if (!check || check->first != c.size || check->second != c.digest) {
        log("not restored " + c.path + ": the kept file " + c.aside + " is not the one the run kept");
        break;
      }
      if (platform::FileExists(c.path)) platform::DeleteFileAt(c.path);
      log((platform::RenameFile(c.aside, c.path) ? "undone: restored " : "could not restore ") + c.path);
      break;
    }
    case Kind::FolderRemoved:
      if (!IsRunsAside(c.aside, c.path, run_id)) {
        log("not restored folder " + c.path + ": " + c.aside + " is not a folder this run kept aside");
        break;
      }
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
      if (!reg.KeyExists(c.path)) break;
      if (!reg.KeyIsEmpty(c.path)) {
        log("left registry key " + c.path + ": it is not empty");
      } else if (reg.DeleteKey(c.path)) {
        log("undone: removed registry key " + c.path);
      }
      break;
    case Kind::RegValue: {
      reg.SetRoot(c.root);
      if (!reg.KeyExists(c.path) || !reg.OpenKey(c.path, false)) break;
      const auto now = ValueNow(reg, c.aside);
      if (now == std::pair<char, std::string>{c.old_type, c.old_value}) {
        // Never written (the run ended before it), or put back already.
      } else if (now != std::pair<char, std::string>{c.new_type, c.new_value}) {
        log("left registry value " + c.path + " " + c.aside + ": it has changed since the run wrote it");
      } else {
        if (c.old_type == 'S') reg.WriteString(c.aside, c.old_value);
        else if (c.old_type == 'D') reg.WriteDword(c.aside, static_cast<std::uint32_t>(std::stoul("0" + c.old_value)));
        else reg.DeleteValue(c.aside);
        log("undone: registry value " + c.path + " " + c.aside);
      }
      reg.CloseKey();
      break;
    }
    case Kind::ArchiveHeld:
      // The archive's own journal knows what the run changed in it, and whether it is the
      // archive's: one that is not is removed without being applied.
      if (const JournalRecovery r = ArchiveJournal::Recover(SystemFileSystem(), c.path); !r.note.empty()) {
        log("undone: " + r.note);
      }
      break;
  }
}

void Tidy(const std::vector<RunChange>& changes, const std::string& run_id) {
  for (const RunChange& c : changes) {
    const bool own = IsRunsAside(c.aside, c.path, run_id);
    if ((c.kind == RunChange::Kind::FileReplaced || c.kind == RunChange::Kind::FileRemoved) && own) {
      platform::DeleteFileAt(c.aside);  // one that is gone already fails harmlessly
    } else if (c.kind == RunChange::Kind::FolderRemoved && own) {
      RemoveTree(c.aside);
    } else if (c.kind == RunChange::Kind::ArchiveHeld) {
      platform::DeleteFileAt(ArchiveJournal::PathFor(c.path));
    }
  }
}

// Files the run kept aside whose records a cut journal lost: found by the run's id in their
// names, in the installation folder's tree (never through a link) and the folders the records
// name. Each goes back to its name when nothing took its place and the run is being undone;
// otherwise it is an older copy of what is there, and goes.
void SweepUnrecorded(const JournalContents& contents, LinkGuard& links, const RunLogFn& log) {
  if (contents.run_id.empty()) return;
  const std::string mark = "." + contents.run_id + kKeptSuffix;
  std::unordered_set<std::string> recorded, folders;
  for (const RunChange& c : contents.changes) {
    if (!c.aside.empty()) recorded.insert(platform::LowerCase(c.aside));
    if (const std::string dir = ExtractFileDir(c.path); !dir.empty()) folders.insert(dir);
  }
  std::vector<std::string> pending{contents.install_dir};
  for (const std::string& dir : folders) pending.push_back(dir);
  std::unordered_set<std::string> seen;
  while (!pending.empty()) {
    const std::string here = pending.back();
    pending.pop_back();
    if (!seen.insert(FolderKey(here)).second || links.ThroughLink(here + "\\-")) continue;
    const bool in_tree = here.size() >= contents.install_dir.size() &&
                         SameFolder(here.substr(0, contents.install_dir.size()), contents.install_dir);
    for (const auto& e : platform::ListDir(here).value_or(std::vector<platform::DirEntry>{})) {
      const std::string path = here + "\\" + e.name;
      if (e.is_link) continue;
      if (e.is_directory && in_tree) pending.push_back(path);
      const std::size_t at = platform::LowerCase(e.name).find(mark);
      if (at == std::string::npos || e.is_directory || recorded.count(platform::LowerCase(path))) continue;
      if (e.name.find_first_not_of("0123456789", at + mark.size()) != std::string::npos) continue;
      const std::string original = here + "\\" + e.name.substr(0, at);
      if (!contents.committed && !platform::FileExists(original) && !platform::DirectoryExists(original)) {
        log((platform::RenameFile(path, original) ? "undone: restored " : "could not restore ") + original +
            " (its record was lost)");
      } else if (platform::DeleteFileAt(path)) {
        log("removed " + path + ", kept aside by the run (its record was lost)");
      }
    }
  }
}

}  // namespace

JournalTrust OpenJournalTrust(platform::TrustScope scope) {
  JournalTrust trust;
  trust.folder = platform::OpenTrustedFolder(scope);
  if (!trust.folder.ok()) {
    trust.problem = trust.folder.problem;
    return trust;
  }
  if (auto key = platform::TrustKey(trust.folder, &trust.problem)) trust.key = *key;
  else if (trust.problem.empty()) trust.problem = "the secret in " + trust.folder.path + " cannot be read";
  return trust;
}

std::string RunJournal::PathFor(const std::string& folder, const std::string& short_name,
                                const std::string& install_dir) {
  std::string name;
  for (const char c : short_name.substr(0, 40)) {
    const auto u = static_cast<unsigned char>(c);
    name += u < 0x20 || std::string("\\/:*?\"<>|").find(c) != std::string::npos ? '_' : c;
  }
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
  if (name.empty()) name = "setup";
  const std::string dir = FolderKey(install_dir);
  const Digest256 digest = Sha256Of(dir.data(), dir.size());
  return IncludeTrailingBackslash(folder) + name + "-" + HexText(digest.data(), 4) + ".zqr";
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

std::string RunJournal::AsideFor(const std::string& path, const std::function<bool(const std::string&)>& exists) const {
  return FreeName(path + "." + run_id_, kKeptSuffix, exists);
}

std::optional<std::pair<std::uint64_t, std::string>> RunJournal::FileCheck(const std::string& path) {
  platform::File f;
  if (!f.Open(path, platform::OpenMode::ReadShared)) return std::nullopt;
  Sha256 digest;
  std::vector<std::uint8_t> buffer(256 * 1024);
  std::uint64_t size = 0;
  while (true) {
    const std::size_t n = f.Read(buffer.data(), buffer.size());
    digest.Update(buffer.data(), n);
    size += n;
    if (n < buffer.size()) break;
  }
  if (f.Size().value_or(~std::uint64_t{0}) != size) return std::nullopt;
  return std::pair{size, HexText(digest.Final())};
}

bool RunJournal::WriteLine(const std::string& body) {
  const Digest256 mac = Chain(key_, chain_, body);
  const std::string line = body + HexText(mac) + "\n";
  if (file_.Write(line.data(), line.size()) != line.size()) return false;
  chain_ = mac;
  return true;
}

bool RunJournal::Begin(const std::string& path, const platform::SecretKey& key, const std::string& install_dir) {
  path_ = path;
  install_dir_ = install_dir;
  key_ = key;
  chain_ = {};
  changes_.clear();
  created_folders_.clear();
  broken_ = false;
  std::uint8_t id[8];
  if (!platform::RandomBytes(id, sizeof id)) return false;
  run_id_ = HexText(id, sizeof id);
  if (!file_.Open(path, platform::OpenMode::Create)) return false;
  std::string header = std::string(kHeaderTag) + " " + run_id_ + " ";
  AppendField(header, FolderKey(install_dir));
  // Not flushed yet: the caller syncs before the run's first change, and that one flush makes
  // the file and its first records durable together.
  if (!WriteLine(header)) {
    file_.Close();
    platform::DeleteFileAt(path);
    return false;
  }
  return true;
}

bool RunJournal::Record(const RunChange& change) {
  if (!Active()) return true;
  if (broken_) return false;
  if (!WriteLine(RecordBody(change))) {
    broken_ = true;
    return false;
  }
  changes_.push_back(change);
  if (change.kind == RunChange::Kind::FolderCreated)
    created_folders_.insert(platform::LowerCase(FolderKey(change.path)));
  return true;
}

bool RunJournal::InCreatedFolder(const std::string& path) const {
  const std::size_t cut = path.rfind('\\');
  return cut != std::string::npos && RecordedFolder(path.substr(0, cut));
}

bool RunJournal::RecordedFolder(const std::string& folder) const {
  return created_folders_.count(platform::LowerCase(FolderKey(folder))) != 0;
}

void RunJournal::Sync() {
  if (Active() && !broken_ && !file_.Flush()) broken_ = true;
}

void RunJournal::Commit(const RunLogFn& log) {
  if (!Active()) return;
  // Once this is on the disk a later run finishes the tidying instead of undoing the run.
  const bool marked = !broken_ && WriteLine(kCommitBody) && file_.Flush();
  file_.Close();
  // Unmarked, the journal goes before anything kept aside does: a kill in between leaves stray
  // kept files, never a journal that would undo a run that succeeded.
  if (!marked) platform::DeleteFileAt(path_);
  Tidy(changes_, run_id_);
  if (marked) platform::DeleteFileAt(path_);
  if (log) log("committed " + std::to_string(changes_.size()) + " changes");
  changes_.clear();
}

void RunJournal::Rollback(platform::Registry& registry, const RunLogFn& log) {
  if (!Active()) return;
  file_.Close();
  // No sweep: every change the run made is in its records.
  LinkGuard links(install_dir_);
  const RunLogFn say = log ? log : [](const std::string&) {};
  for (auto c = changes_.rbegin(); c != changes_.rend(); ++c) UndoOne(*c, run_id_, links, registry, say);
  platform::DeleteFileAt(path_);
  say("undid " + std::to_string(changes_.size()) + " changes");
  changes_.clear();
}

std::optional<JournalContents> RunJournal::Load(const std::string& path, const platform::SecretKey& key,
                                                const std::string& install_dir, std::string* problem) {
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
  Digest256 chain{};
  std::size_t at = 0, line_number = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    if (end == std::string::npos) break;  // cut while written: its change was never made
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    ++line_number;
    const auto mac = line.size() > kMacHex ? FromHex(line.substr(line.size() - kMacHex)) : std::nullopt;
    const std::string body = line.substr(0, line.size() - std::min(line.size(), kMacHex));
    const Digest256 expected = Chain(key, chain, body);
    if (!mac || !SameDigest(*mac, expected)) {
      return refuse(line_number == 1 ? "it was not written by a setup of this machine"
                                     : "record " + std::to_string(line_number - 1) + " fails its check");
    }
    chain = expected;
    if (line_number == 1) {
      BodyReader in(body);
      const auto tag = in.Token(), id = in.Token(), dir = in.Field();
      if (!tag || *tag != kHeaderTag || !id || !dir || !in.AtEnd()) return refuse("its first line is damaged");
      if (*dir != FolderKey(install_dir)) return refuse("it is the journal of a run into " + *dir);
      contents.run_id = *id;
      contents.install_dir = install_dir;
      continue;
    }
    if (body == kCommitBody) {
      if (at != text.size()) return refuse("the journal goes on after its commit");
      contents.committed = true;
      break;
    }
    auto change = ParseRecord(body);
    if (!change) return refuse("record " + std::to_string(line_number - 1) + " is damaged");
    contents.changes.push_back(*change);
  }
  if (line_number == 0) return refuse("it is empty");
  return contents;
}

void RunJournal::Recover(const JournalContents& contents, const std::string& journal, platform::Registry& registry,
                         const RunLogFn& log) {
  const RunLogFn say = log ? log : [](const std::string&) {};
  const std::vector<RunChange>& changes = contents.changes;
  LinkGuard links(contents.install_dir);
  if (contents.committed) {
    Tidy(changes, contents.run_id);
    if (!contents.install_dir.empty()) SweepUnrecorded(contents, links, say);
    platform::DeleteFileAt(journal);
    say("finished the tidying of a committed run");
    return;
  }
  for (auto c = changes.rbegin(); c != changes.rend(); ++c) UndoOne(*c, contents.run_id, links, registry, say);
  if (!contents.install_dir.empty()) SweepUnrecorded(contents, links, say);
  platform::DeleteFileAt(journal);
  say("undid " + std::to_string(changes.size()) + " changes");
}

}  // namespace zq
