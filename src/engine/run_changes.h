// The run's changes to the machine, each written down in the run's journal before it is made
// and made so that it can be undone: a file that would be replaced or removed is moved aside
// (kept until the run commits), a registry value's old content is written down first. Without
// an active journal (a line run on its own) they act directly, as the commands always did.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/trust_store.h"

namespace zq {

struct RunScope;
struct RunState;

// The journal of this product's installation folder in the engine's own folder: where a killed
// run left it, the next run finishes it first (the run undone, or, when it had committed, its
// tidying done), with a log line for each step. A journal that fails its check is logged and
// set aside for an administrator to look at, never applied. A file in the installation folder
// is never taken for a journal.
void RecoverInterruptedRun(const RunScope& ctx);
// The scope whose folder and secret the product's journals use.
platform::TrustScope JournalScope(const RunScope& ctx);

// The names in the folders one group's extraction writes to, each folder listed once: asking the
// file system about every file of an upgrade costs as much as writing it. Only for a span in
// which nothing but the caller changes those folders.
class FolderListing {
 public:
  bool Exists(const std::string& path);
  void Added(const std::string& path);

 private:
  std::unordered_set<std::string>& NamesOf(const std::string& folder);
  std::unordered_map<std::string, std::unordered_set<std::string>> folders_;  // names folded to lower case
};

// The programs that hold `path` ("A, B and C"), or "another program" where the system cannot tell.
std::string WhoHolds(const std::string& path);

// What PlanFileWrite wrote down for a file about to be written at `target`: the files to move
// aside first (an earlier staged copy, the file there), made by ApplyFileWrite once the records
// are durable. `held` names a file that had to be kept aside but cannot be read (another program
// holds it); nothing was recorded for it.
struct PlannedWrite {
  std::string target;
  std::vector<std::pair<std::string, std::string>> moves;  // from, to
  std::string held;
};
// Records the write: the file as created, or the file there as replaced (with its size and
// digest). Nothing when the journal cannot be written. `listing`, when given, answers which
// files exist.
std::optional<PlannedWrite> PlanFileWrite(RunState& run, const std::string& target, FolderListing* listing = nullptr);
// Makes the moves; false when one cannot be made (another program holds the file). Moves made
// already are passed over, so a retry goes on where it stopped.
bool ApplyFileWrite(const PlannedWrite& plan);

// Before a file is written at `target`: PlanFileWrite, the journal made durable, ApplyFileWrite.
// False when the journal cannot be written or the file there cannot be moved; nothing is
// changed then.
bool PrepareFileWrite(RunState& run, const std::string& target, FolderListing* listing = nullptr);
// PrepareFileWrite for a run with a user: a file another program holds is named with the
// programs that hold it ("another program" where the system cannot tell), and the user may close
// them and retry (an unattended run takes Cancel). False when the file stays held or the journal
// cannot be written; the log says which and names the file.
bool PrepareFileWriteOrAsk(const RunScope& ctx, const std::string& target, FolderListing* listing = nullptr);
// For a file of the payload whose write is planned and made durable already (PlanFileWrite, with
// the rest of its group): the moves made as PrepareFileWriteOrAsk makes them, except that with
// "lockedfiles reboot" a held file is not asked about: the new file goes beside it under a name
// of its own, which is returned to be written, and FinishStagedWrite has the system put it in
// place at the next restart. Nothing when the file cannot be written at all.
std::optional<std::string> ApplyTargetOrStage(const RunScope& ctx, const PlannedWrite& plan, FolderListing* listing);
// After the staged file is written: the system replaces `target` with it at the next restart and
// the run ends with exit code 3010. False when the system cannot be asked.
bool FinishStagedWrite(const RunScope& ctx, const std::string& staged, const std::string& target);
// Puts back the file PrepareFileWrite moved aside when the write it prepared did not happen.
void CancelFileWrite(RunState& run, const std::string& target);
// "delete": the file is moved aside. False when it is not there or cannot be moved.
bool RemoveFileKept(RunState& run, const std::string& path);
// "rmdir": the folder is moved aside whole. False when it cannot be moved.
bool RemoveFolderKept(RunState& run, const std::string& path);
// "rename", recorded so that it can be renamed back.
bool RenameRecorded(RunState& run, const std::string& from, const std::string& to);
// A registry value a run is about to write: a string ('S'), a DWORD ('D', its decimal digits), or
// 0 when the run deletes it.
struct RegWrite {
  std::string name;
  char type = 'S';
  std::string value{};
};
// Writes down what the values of `key` under `root` hold now and what the run writes (and each
// key of its path that the run will make), durably, before they are written. False when the
// journal cannot be written.
bool RecordRegistryValues(RunState& run, std::uint32_t root, const std::string& key,
                          const std::vector<RegWrite>& writes);

}  // namespace zq
