// The run's journal: every change a run makes to the machine is written down (and flushed)
// before it takes effect, with what it replaced or removed, so that a failed run can be undone
// by itself and a killed one by the next run. What a change would remove is kept aside, beside
// itself, until the run commits.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/files.h"

namespace zq {

namespace platform {
class Registry;
}

struct RunChange {
  enum class Kind : char {
    FolderCreated = 'D',  // with everything the run puts in it: undone as a whole
    FileCreated = 'C',
    FileReplaced = 'R',   // `aside` holds the old file
    FileRemoved = 'X',    // `aside` holds it
    FolderRemoved = 'Y',  // `aside` holds it, with everything in it
    Renamed = 'M',        // `path` was renamed to `aside`
    KeyCreated = 'K',     // registry key `path` (the first of its path that was missing)
    RegValue = 'V',       // registry value `aside` of key `path`, and what it held before
    ArchiveHeld = 'A',    // archive `path`, whose updates its own journal holds until the run ends
  };
  Kind kind = Kind::FileCreated;
  std::string path{};
  std::string aside{};
  std::uint32_t root = 0;   // registry records: the root key's handle value
  char old_type = 0;        // RegValue: 0 absent, 'S' a string, 'D' a DWORD
  std::string old_value{};  // a string, or the DWORD's decimal digits

  bool operator==(const RunChange&) const = default;
};

using RunLogFn = std::function<void(const std::string&)>;

// What a journal read back holds: the changes, and whether the run had committed (then only
// the tidying of what it kept aside was left).
struct JournalContents {
  std::vector<RunChange> changes;
  bool committed = false;
};

class RunJournal {
 public:
  // The journal of a run into `install_dir`: inside it, so that it is as protected as the
  // installation itself and found again by every run that installs or uninstalls there.
  static std::string PathFor(const std::string& install_dir, const std::string& log_prefix);

  RunJournal() = default;
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  // Starts a journal at `path` (its folder must exist); false when it cannot be written. The
  // caller calls Sync before the first change it records.
  bool Begin(const std::string& path);
  bool Active() const { return file_.IsOpen(); }
  // A record could not be written: a torn line may end the file, so nothing more is written and
  // every later Record refuses; the run must fail.
  bool Broken() const { return broken_; }
  const std::string& Path() const { return path_; }
  const std::vector<RunChange>& Changes() const { return changes_; }
  // Whether `path` lies directly in a folder this run created: everything in such a folder is
  // the run's and goes with it, so its files need no record of their own.
  bool InCreatedFolder(const std::string& path) const;

  // Writes the change down and hands it to the system before it is made; false when it could
  // not be written, and then the change must not be made. Without a journal every change passes.
  bool Record(const RunChange& change);
  // Makes what is written so far durable (the system's buffers on disk).
  void Sync();

  // The run succeeded: what was kept aside is deleted, then the journal.
  void Commit(const RunLogFn& log);
  // The run failed: every change undone, newest first, then the journal deleted.
  void Rollback(platform::Registry& registry, const RunLogFn& log);

  // The changes a journal holds. A journal whose last record was cut (a kill while it was being
  // written) reads up to it, since the change it announced was never made; any other damage
  // refuses the whole journal, with `problem` saying why.
  static std::optional<JournalContents> Load(const std::string& path, std::string* problem);
  // Finishes what a journal read back says: a committed run's tidying, or else every change
  // undone, newest first; then `journal` (the file it was read from) is deleted, and the folders
  // the run created are removed last, with everything in them (never through a link), since the
  // journal may lie in one of them.
  static void Recover(const JournalContents& contents, const std::string& journal, platform::Registry& registry,
                      const RunLogFn& log);

  static std::string Serialize(const RunChange& change);

 private:
  std::string path_;
  platform::File file_;
  std::vector<RunChange> changes_;
  std::size_t unsynced_ = 0;
  bool broken_ = false;
  std::unordered_set<std::string> created_folders_;
};

// The names of files the run keeps aside (".zqold") or stages for the restart (".zqnew"): the
// suffix, then with 1, 2, ... after it.
inline constexpr char kKeptSuffix[] = ".zqold";
inline constexpr char kStagedSuffix[] = ".zqnew";
std::string NumberedName(const std::string& base, const char* suffix, int n);
// The first of those names that `exists` does not know.
std::string FreeName(const std::string& base, const char* suffix,
                     const std::function<bool(const std::string&)>& exists);
// Where a file about to be replaced or removed is kept until the run ends: beside it, under a
// name no other file has.
std::string AsideName(const std::string& path);

}  // namespace zq
