#include "engine/archive_updater.h"

#include "base/path_text.h"
#include "engine/progress.h"
#include "engine/run_changes.h"
#include "engine/run_journal.h"
#include "engine/setup_context.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/text.h"

namespace zq {

namespace {
std::u16string W(const std::string& text) { return platform::Utf8ToWide(text); }
std::u16string Number(std::uint32_t n) { return W(std::to_string(n)); }
constexpr const char* kNotRolledBack =
    " (it could not be rolled back yet: its journal restores it when it is next opened)";
}  // namespace

void ForgetArchiveJournal(const RunScope& ctx, const std::string& path, FolderListing* listing) {
  const std::string journal = ArchiveJournal::PathFor(path);
  // A device name ("CON.zqj") exists for Windows without being a file; no journal has such a name.
  if (platform::RefusedForCreation(journal, false) != platform::FileFault::None) return;
  // The listing knows files and folders alike: a name it has is asked about once more.
  if ((listing != nullptr && !listing->Exists(journal)) || !platform::FileExists(journal)) return;
  // This run's own journal of the archive stays: undoing the run puts the archive back over the
  // file, then rolls the archive back.
  for (const RunChange& c : ctx.Run.Journal.Changes()) {
    if (c.kind == RunChange::Kind::ArchiveHeld && platform::LowerCase(c.path) == platform::LowerCase(path)) {
      return;
    }
  }
  ctx.Services.LogLine((platform::DeleteFileAt(journal) ? "removed " : "could not remove ") + journal +
                       ", an unfinished update's journal of the file installed over it");
}

bool ArchiveUpdater::Counters::Advance() {
  const auto percent = static_cast<std::int32_t>(static_cast<double>(Done) / Total * 100.0);
  if (percent <= LastPercent) return false;
  LastPercent = percent;
  return true;
}

ArchiveUpdater::ArchiveUpdater(const RunScope& ctx, ArchiveFileSystem& fs) : ctx_(ctx), fs_(fs), pak_(fs) {}

ArchiveUpdater::~ArchiveUpdater() {
  try {
    CloseVFS();
  } catch (...) {
    // Nothing can be reported this late; the journal rolls the archive back on its next opening.
  }
}

std::string ArchiveUpdater::FullPath(const std::string& name) const { return ctx_.Choices.InstallDir + "\\" + name; }

template <typename ArchiveT>
bool ArchiveUpdater::HoldForRun(ArchiveT& archive, const std::string& path) {
  if (!ctx_.Run.Journal.Active()) return true;
  const std::string key = platform::LowerCase(path);
  const bool continued = held_.count(key) != 0;
  if (!continued) {
    if (!ctx_.Run.Journal.Record({.kind = RunChange::Kind::ArchiveHeld, .path = path})) return false;
    ctx_.Run.Journal.Sync();
    held_.insert(key);
  }
  archive.HoldJournal(continued);
  return true;
}

void ArchiveUpdater::EndOfRun(bool keep) {
  if (keep) {
    CloseVFS();
  } else if (vfs_) {
    Abandon(Archive::VFS);
  }
}

void ArchiveUpdater::ShowArchiveText(TextId text_id, const std::string& name, const Counters* counters) {
  std::u16string text = TLanguages::ReplaceText(ctx_.Text(text_id), u"<%ZQPNAME%>", W(name));
  if (counters != nullptr) {
    text = TLanguages::ReplaceText(text, u"<%FNUM%>", Number(counters->Done));
    text = TLanguages::ReplaceText(text, u"<%FTOTAL%>", Number(counters->Total));
  }
  SetStatusText(ctx_.Services, text);
  if (ctx_.Services.StatusLabel != nullptr) ctx_.Services.StatusLabel->RepaintParent();
}

void ArchiveUpdater::Fail(const std::string& message, const char* caption) {
  ctx_.Services.LogLine(std::string(caption) + ": " + message);
  ctx_.Services.ShowMessageBox(W(message), W(caption), kMbOk | kMbIconError);
  SetDetailText(ctx_.Services, ctx_.Text(TextId::SetupFailed), true);
  ctx_.Run.SetupAborted = true;
}

// Rolls the update of one archive back when it goes out of scope uncommitted, whichever way that
// happens: a refusal, a failure, an exception of any kind.
class ArchiveUpdater::UpdateGuard {
 public:
  UpdateGuard(ArchiveUpdater& updater, Archive archive) : updater_(updater), archive_(archive) {}
  UpdateGuard(const UpdateGuard&) = delete;
  UpdateGuard& operator=(const UpdateGuard&) = delete;
  ~UpdateGuard() {
    if (!armed_) return;
    try {
      updater_.Abandon(archive_);
    } catch (...) {
      // The journal stays beside the archive; its next opening rolls the archive back.
    }
  }

  // The update went through, or this step of one that stays open did, or nothing was opened.
  void Commit() { armed_ = false; }

  // Rolls the update back now and ends the run with `message`.
  void Fail(const std::string& message) {
    armed_ = false;
    const bool restored = updater_.Abandon(archive_);
    updater_.Fail(message + (restored ? "" : kNotRolledBack), archive_ == Archive::Package ? "Error" : "VFS Error");
  }

 private:
  ArchiveUpdater& updater_;
  const Archive archive_;
  bool armed_ = true;
};

bool ArchiveUpdater::Abandon(Archive archive) {
  if (archive == Archive::Package) {
    pak_.ReleaseDirectory();
    return pak_.Abandon();
  }
  const auto abandoned = std::move(vfs_);
  vfs_name_.clear();
  return abandoned == nullptr || abandoned->Abandon();
}

void ArchiveUpdater::Guarded(Archive archive, const std::function<void(UpdateGuard&)>& step) {
  UpdateGuard update(*this, archive);
  try {
    step(update);
  } catch (const ArchiveFailure& e) {
    update.Fail(e.what());
  }
}

void ArchiveUpdater::GuardedPackage(const std::string& name, const std::function<void(UpdateGuard&)>& step) {
  Guarded(Archive::Package, [&](UpdateGuard& update) {
    if (!OpenPackage(name)) return update.Commit();  // given up: nothing was opened
    step(update);
  });
}

bool ArchiveUpdater::OpenPackage(const std::string& name) {
  const std::string path = FullPath(name);
  pak_.PackageName = name;
  if (!HoldForRun(pak_, path)) throw ArchiveFailure("Unable to write the run's journal " + ctx_.Run.Journal.Path());
  for (;;) {
    std::string message;
    switch (pak_.OpenArchive(path)) {
      case TPakSystem::OpenResult::Ok:
        if (!pak_.JournalNote.empty()) ctx_.Services.LogLine(pak_.JournalNote);
        return true;
      case TPakSystem::OpenResult::NotFound: message = "File not found: \"" + path + "\"."; break;
      case TPakSystem::OpenResult::AttributesFailed: message = "Unable to modify \"" + path + "\" attributes"; break;
      case TPakSystem::OpenResult::OpenFailed:
        message = "Unable to modify file:\"" + path + "\", file may be in use or drive is write protected...";
        break;
    }
    if (ctx_.Services.ShowMessageBox(W(message), u"Error", kMbRetryCancel | kMbIconWarning) == kIdRetry) continue;
    // Cancel ends the update as a failure of the run, not as a success.
    ctx_.Services.LogLine("Error: " + message + " (cancelled: the package was not updated)");
    SetDetailText(ctx_.Services, ctx_.Text(TextId::SetupFailed), true);
    ctx_.Run.SetupAborted = true;
    return false;
  }
}

void ArchiveUpdater::FinishPackage(UpdateGuard& update, const std::string& name, const char* command) {
  pak_.WritePackageDirectory();
  update.Commit();
  pak_.ReleaseDirectory();
  ctx_.Services.LogLine(std::string(command) + " " + FullPath(name));
}

void ArchiveUpdater::UpdatePackage(std::uint16_t group, const std::string& package, const std::string& password) {
  pak_counters_ = Counters{0, static_cast<std::uint32_t>(ctx_.Setup.Pak->CountInGroup(group)), 0};
  if (pak_counters_.Total < 1) return;
  GuardedPackage(package, [&](UpdateGuard& update) {
    TExtraInfo& extra = pak_.ExtraInfo;
    if (extra.Password.empty()) extra.HasPassword = false;
    if (extra.HasPassword && password != extra.Password)
      return update.Fail("Error Incorrect Password\rFile: " + package);
    if (!extra.HasPassword) {
      // A longer one would be written where no reader finds it again.
      if (password.size() > kPakMaxPassword) {
        return update.Fail("The password for " + package + " is longer than " + std::to_string(kPakMaxPassword) +
                           " characters.");
      }
      extra.Password = password;
      extra.HasPassword = true;
    }
    pak_.BeginUpdate();
    std::uint32_t written = 0;
    ShowArchiveText(TextId::ArchiveProgress, package, &pak_counters_);
    for (const std::size_t index : ctx_.Setup.Pak->IndexesInGroup(group)) {
      const bool move = pak_counters_.Advance();
      ShowArchiveText(TextId::ArchiveProgress, package, &pak_counters_);
      if (pak_.AddMember(*ctx_.Setup.Pak, index)) ++written;
      StepProgress(ctx_, move);
      ++pak_counters_.Done;
    }
    ShowArchiveText(TextId::WritingArchiveHeader, package, nullptr);
    FinishPackage(update, package, "zqpupdate");
    ctx_.Services.LogLine("  " + std::to_string(written) + " of " + std::to_string(pak_counters_.Total) +
                          " members written");
  });
}

void ArchiveUpdater::SetPackageOfficial(const std::string& package, const std::string& word, const std::string& flag) {
  if (AsciiLowerCase(word) != kOfficialWord) {
    ctx_.Services.LogLine("zqpofficial " + FullPath(package) + ": the confirmation word does not match; nothing done");
    return;
  }
  GuardedPackage(package, [&](UpdateGuard& update) {
    const std::string f = AsciiLowerCase(flag);
    pak_.ExtraInfo.Official = f == "t" || f == "true" || f == "1";
    FinishPackage(update, package, pak_.ExtraInfo.Official ? "zqpofficial (set)" : "zqpofficial (cleared)");
  });
}

void ArchiveUpdater::DuplicateMember(const std::string& package, const std::string& existing, const std::string& name) {
  GuardedPackage(package, [&](UpdateGuard& update) {
    pak_.DuplicateMember(existing, name);
    FinishPackage(update, package, ("duplicateentry " + existing + " -> " + name + " in").c_str());
  });
}

void ArchiveUpdater::UpdateVFS(std::uint16_t group, const std::string& archive, bool close) {
  const auto total = static_cast<std::uint32_t>(ctx_.Setup.Pak->CountInGroup(group));
  if (total == 0) return;
  const std::string path = FullPath(archive);
  if (!fs_.Exists(path)) {
    const std::string message = "Error: Unable to find <" + archive + ">";
    ctx_.Services.LogLine("VFS Error: " + message);
    ctx_.Services.ShowMessageBox(W(message), u"VFS Error", kMbOk);
    SetDetailText(ctx_.Services, ctx_.Text(TextId::SetupFailed), true);
    ctx_.Run.SetupAborted = true;
    return;
  }
  const bool aborted_before = ctx_.Run.SetupAborted;
  CloseVFS();
  if (!aborted_before && ctx_.Run.SetupAborted) return;  // the archive still open could not be saved
  Guarded(Archive::VFS, [&](UpdateGuard& update) {
    ShowArchiveText(TextId::LoadingArchive, archive, nullptr);
    if (!fs_.MakeWritable(path)) throw ArchiveFailure("Unable to modify \"" + path + "\" attributes");
    vfs_ = std::make_unique<TVFSFile>(fs_);
    if (!HoldForRun(*vfs_, path)) throw ArchiveFailure("Unable to write the run's journal " + ctx_.Run.Journal.Path());
    vfs_->Open(path, true);
    if (!vfs_->JournalNote.empty()) ctx_.Services.LogLine(vfs_->JournalNote);
    vfs_->BeginUpdate();
    vfs_name_ = archive;
    vfs_counters_ = Counters{0, total, 0};
    ShowArchiveText(TextId::ArchiveProgress, vfs_name_, &vfs_counters_);
    for (const std::size_t index : ctx_.Setup.Pak->IndexesInGroup(group)) {
      const bool move = vfs_counters_.Advance();
      ShowArchiveText(TextId::ArchiveProgress, vfs_name_, &vfs_counters_);
      if (auto data = ctx_.Setup.Pak->Extract(index))
        vfs_->Tree->AddFile(ctx_.Setup.Pak->Entries()[index].Name, data->data(),
                            static_cast<std::uint32_t>(data->size()));
      StepProgress(ctx_, move);
      ++vfs_counters_.Done;
    }
    ctx_.Services.LogLine("vfsupdate " + path + ": " + std::to_string(total) + " files stored");
    update.Commit();  // the archive stays open for the next vfsupdate or the close
  });
  if (close) CloseVFS();
}

void ArchiveUpdater::SaveVFS() {
  if (!vfs_) return;
  Guarded(Archive::VFS, [&](UpdateGuard& update) {
    ShowArchiveText(TextId::WritingArchiveHeader, vfs_name_, nullptr);
    vfs_->SaveHeader(false);
    update.Commit();
  });
}

void ArchiveUpdater::CloseVFS() {
  if (!vfs_) return;
  SaveVFS();
  if (!vfs_) return;  // saving failed and rolled back
  Guarded(Archive::VFS, [&](UpdateGuard& update) {
    vfs_->Close();
    update.Commit();
    ctx_.Services.LogLine("saved " + FullPath(vfs_name_));
    vfs_.reset();
    vfs_name_.clear();
  });
}

}  // namespace zq
