// The run's journal: every change a run makes to the machine is written down, and made durable,
// before it takes effect, with what it replaced or removed, so that a failed run can be undone
// by itself and a killed one by the next run. What a change would remove is kept aside, beside
// itself under a name that carries the run's id, until the run commits.
//
// Nothing in a journal is obeyed unless the engine can prove it wrote it: the journal lives in
// the engine's own folder (which only administrators, or the user of a per-user product, can
// write), and every record carries a keyed check chained over all before it, under a secret
// kept there. And even a genuine journal can only undo: a file comes back only from a kept file
// whose size and digest the record holds; a folder or registry key goes only when the run made
// it and it is empty; a registry value is put back only while it still holds what the run wrote.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/sha256.h"
#include "platform/files.h"
#include "platform/trust_store.h"

namespace zq {

namespace platform {
class Registry;
}

struct RunChange {
  enum class Kind : char {
    FolderCreated = 'D',  // removed when the run is undone, once empty
    FileCreated = 'C',
    FileReplaced = 'R',   // `aside` holds the old file, of `size` bytes and digest `digest`
    FileRemoved = 'X',    // the same
    FolderRemoved = 'Y',  // `aside` holds it, with everything in it
    Renamed = 'M',        // `path` was renamed to `aside`
    KeyCreated = 'K',     // registry key `path`, one record for each level the run made
    RegValue = 'V',       // registry value `aside` of key `path`: what it held, what the run writes
    ArchiveHeld = 'A',    // archive `path`, whose updates its own journal holds until the run ends
  };
  Kind kind = Kind::FileCreated;
  std::string path{};
  std::string aside{};
  std::uint32_t root = 0;   // registry records: the root key's handle value
  char old_type = 0;        // RegValue: 0 absent, 'S' a string, 'D' a DWORD
  std::string old_value{};  // a string, or the DWORD's decimal digits
  char new_type = 0;        // RegValue: what the run writes, as old_type (0: the run deletes it)
  std::string new_value{};
  std::uint64_t size = 0;  // FileReplaced, FileRemoved: the kept file's
  std::string digest{};    // its SHA-256, hexadecimal

  bool operator==(const RunChange&) const = default;
};

using RunLogFn = std::function<void(const std::string&)>;

// What a journal read back holds: whose run it was, the changes, and whether the run had
// committed (then only the tidying of what it kept aside was left).
struct JournalContents {
  std::string run_id;
  std::string install_dir;
  std::vector<RunChange> changes;
  bool committed = false;
};

// Where the journals of a scope live and the secret that signs them; `problem` when the folder
// may not be used (named) or the secret cannot be had.
struct JournalTrust {
  platform::TrustedFolder folder;
  platform::SecretKey key{};
  std::string problem;
  bool ok() const { return problem.empty(); }
};
JournalTrust OpenJournalTrust(platform::TrustScope scope);

class RunJournal {
 public:
  // The journal of a run of the product `short_name` into `install_dir`, in the trusted folder:
  // the short name (made safe for a file name) and a short digest of the folder, so that two
  // products without a prefix, or two installations of one product, never share one.
  static std::string PathFor(const std::string& folder, const std::string& short_name, const std::string& install_dir);

  RunJournal() = default;
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  // Starts a journal at `path` for a run into `install_dir` under a new run id; false when it
  // cannot be written. The caller calls Sync before the first change it records.
  bool Begin(const std::string& path, const platform::SecretKey& key, const std::string& install_dir);
  bool Active() const { return file_.IsOpen(); }
  // A record could not be written: a torn line may end the file, so nothing more is written and
  // every later Record refuses; the run must fail.
  bool Broken() const { return broken_; }
  const std::string& Path() const { return path_; }
  const std::string& RunId() const { return run_id_; }
  const std::vector<RunChange>& Changes() const { return changes_; }
  // Whether `path` lies directly in a folder this run created: nothing there can be in the way.
  bool InCreatedFolder(const std::string& path) const;
  // Whether a FolderCreated record names `folder`.
  bool RecordedFolder(const std::string& folder) const;
  // Where the file or folder at `path` is kept aside by this run: beside it, under a name that
  // carries the run's id and that `exists` does not know.
  std::string AsideFor(const std::string& path, const std::function<bool(const std::string&)>& exists) const;

  // Writes the change down, handed to the system; false when it could not be written, and then
  // the change must not be made. Without a journal every change passes. A change is made only
  // after a Sync that follows its record.
  bool Record(const RunChange& change);
  // Makes what is written so far durable (on the disk, not only in the system's buffers).
  void Sync();

  // The run succeeded: what was kept aside is deleted, then the journal.
  void Commit(const RunLogFn& log);
  // The run failed: every change undone, newest first, then the journal deleted.
  void Rollback(platform::Registry& registry, const RunLogFn& log);

  // The changes of the journal at `path`, when its every record proves to be written under
  // `key` for a run into `install_dir`. A journal whose last record was cut (a kill while it was
  // written) reads up to it, since the change it announced was never made; anything else
  // refuses the whole journal, with `problem` saying why.
  static std::optional<JournalContents> Load(const std::string& path, const platform::SecretKey& key,
                                             const std::string& install_dir, std::string* problem);
  // Finishes what a journal read back says: a committed run's tidying, or else every change
  // undone, newest first, each only as far as its bounds allow; files the run kept aside whose
  // records were lost are found by the run's id. Then `journal` is deleted.
  static void Recover(const JournalContents& contents, const std::string& journal, platform::Registry& registry,
                      const RunLogFn& log);

  // The size and SHA-256 of a file; nothing when it cannot be read.
  static std::optional<std::pair<std::uint64_t, std::string>> FileCheck(const std::string& path);

 private:
  bool WriteLine(const std::string& body);

  std::string path_;
  std::string run_id_;
  std::string install_dir_;
  platform::SecretKey key_{};
  Digest256 chain_{};
  platform::File file_;
  std::vector<RunChange> changes_;
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

}  // namespace zq
