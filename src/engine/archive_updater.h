// The archive update procedures behind "zqpupdate", "zqpofficial", "duplicateentry" and
// "vfsupdate": progress texts and gauge steps, retry prompts, and for every failure a rollback,
// a message, a log line and an aborted run.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "archives/archive_io.h"
#include "archives/pak_system.h"
#include "archives/vfs.h"
#include "engine/archive_procedures.h"
#include "engine/setup_context.h"

namespace zq {

struct RunScope;
class FolderListing;

// The word "zqpofficial" must be given (scrambled in the script) before it acts.
inline constexpr const char* kOfficialWord = "confirm";

// A file about to be installed at `path` replaces whatever archive lay there, so a journal beside
// it guards an archive that is going away: applied later it would turn the new file back into
// the old one. Removes such a journal and logs it. `listing`, when given, answers whether one is there.
void ForgetArchiveJournal(const RunScope& ctx, const std::string& path, FolderListing* listing = nullptr);

class ArchiveUpdater : public ArchiveProcedures {
 public:
  explicit ArchiveUpdater(const RunScope& ctx, ArchiveFileSystem& fs = SystemFileSystem());
  // A VFS archive still open when the run ends is saved and closed, not left with a stale digest.
  ~ArchiveUpdater() override;

  void UpdatePackage(std::uint16_t group, const std::string& package, const std::string& password) override;
  void SetPackageOfficial(const std::string& package, const std::string& word, const std::string& flag) override;
  void DuplicateMember(const std::string& package, const std::string& existing, const std::string& name) override;
  void UpdateVFS(std::uint16_t group, const std::string& archive, bool close) override;
  void EndOfRun(bool keep) override;
  void SaveVFS();
  void CloseVFS();

  bool VFSOpen() const { return vfs_ != nullptr; }

 private:
  enum class Archive { Package, VFS };
  class UpdateGuard;

  struct Counters {
    std::uint32_t Done = 0;
    std::uint32_t Total = 0;
    std::int32_t LastPercent = 0;
    // Whether the gauge moves for the file about to be handled.
    bool Advance();
  };

  std::string FullPath(const std::string& name) const;
  // Within a run with a journal, the archive's own journal is held until the run ends, and the
  // run's journal says so before the archive's first change; false when it cannot.
  template <typename ArchiveT>
  bool HoldForRun(ArchiveT& archive, const std::string& path);
  // Runs one step of an update of `archive` under a guard: unless the step commits, the archive
  // is rolled back, and a ArchiveFailure the step throws also ends the run with its message.
  void Guarded(Archive archive, const std::function<void(UpdateGuard&)>& step);
  // Guarded, with the package opened first (asking to retry while it cannot be).
  void GuardedPackage(const std::string& name, const std::function<void(UpdateGuard&)>& step);
  // Opens the package, asking to retry while it cannot be opened; false when given up.
  bool OpenPackage(const std::string& name);
  // Writes the directory, which commits the update, and lets the package go.
  void FinishPackage(UpdateGuard& update, const std::string& name, const char* command);
  // Rolls the update of `archive` back and lets the archive go; false when the rollback failed.
  bool Abandon(Archive archive);
  // The message box, the log line, the error status and the aborted run of a failed update.
  void Fail(const std::string& message, const char* caption);
  void ShowArchiveText(TextId text_id, const std::string& name, const Counters* counters);

  RunScope ctx_;
  ArchiveFileSystem& fs_;
  TPakSystem pak_;
  Counters pak_counters_;
  std::unique_ptr<TVFSFile> vfs_;
  std::string vfs_name_;
  Counters vfs_counters_;
  std::set<std::string> held_;  // archives whose journals this run holds, lower case
};

}  // namespace zq
