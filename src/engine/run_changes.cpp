#include "engine/run_changes.h"

#include "engine/removal_guard.h"
#include "engine/setup_context.h"
#include "platform/file_holders.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/registry.h"

namespace zq {

namespace {

// The first key of `path` that does not exist yet, or empty when all do.
std::string FirstMissingKey(platform::Registry& reg, const std::string& path) {
  std::size_t at = 0;
  while (at <= path.size()) {
    const std::size_t end = path.find('\\', at);
    const std::string prefix = path.substr(0, end == std::string::npos ? path.size() : end);
    if (!prefix.empty() && !reg.KeyExists(prefix)) return prefix;
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return {};
}

// Why a journal read back must not be applied: a path no installation may own.
std::string ForeignPath(const LoadedSetup& setup, const JournalContents& contents) {
  using Kind = RunChange::Kind;
  for (const RunChange& c : contents.changes) {
    if (c.kind == Kind::KeyCreated || c.kind == Kind::RegValue) continue;
    const bool folder = c.kind == Kind::FolderCreated || c.kind == Kind::FolderRemoved;
    for (const std::string* path : {&c.path, &c.aside}) {
      if (path->empty()) continue;
      if (const std::string refusal = RemovalRefusal(setup, *path, folder); !refusal.empty()) {
        return *path + ": " + refusal;
      }
    }
  }
  return {};
}

}  // namespace

void RecoverInterruptedRun(const RunScope& ctx) {
  const std::string path = RunJournal::PathFor(ctx.Choices.InstallDir, ctx.Setup.SetupInfo.LogPrefix);
  if (!platform::FileExists(path)) return;
  std::string problem;
  const auto contents = RunJournal::Load(path, &problem);
  if (contents) problem = ForeignPath(ctx.Setup, *contents);
  if (!problem.empty()) {
    ctx.Services.LogLine("the journal of an interrupted run " + path + " is not applied: " + problem);
    return;
  }
  ctx.Services.LogLine("finishing an interrupted run from its journal " + path);
  RunJournal::Recover(*contents, path, ctx.Run.Registry,
                      [&ctx](const std::string& line) { ctx.Services.LogLine("  " + line); });
}

std::unordered_set<std::string>& FolderListing::NamesOf(const std::string& folder) {
  auto [at, fresh] = folders_.try_emplace(folder);
  if (fresh) {
    for (const auto& e : platform::ListDir(folder).value_or(std::vector<platform::DirEntry>{})) {
      at->second.insert(platform::LowerCase(e.name));
    }
  }
  return at->second;
}

bool FolderListing::Exists(const std::string& path) {
  const std::size_t cut = path.rfind('\\');
  if (cut == std::string::npos) return platform::FileExists(path) || platform::DirectoryExists(path);
  return NamesOf(path.substr(0, cut)).count(platform::LowerCase(path.substr(cut + 1))) != 0;
}

void FolderListing::Added(const std::string& path) {
  const std::size_t cut = path.rfind('\\');
  if (cut != std::string::npos) NamesOf(path.substr(0, cut)).insert(platform::LowerCase(path.substr(cut + 1)));
}

std::string WhoHolds(const std::string& path) {
  const std::vector<std::string> holders = platform::ProgramsHolding(path);
  if (holders.empty()) return "another program";
  std::string by;
  for (std::size_t i = 0; i < holders.size(); ++i) {
    by += (i == 0 ? "" : i + 1 == holders.size() ? " and " : ", ") + holders[i];
  }
  return by;
}

bool PrepareFileWrite(RunState& run, const std::string& target, FolderListing* listing) {
  if (!run.Journal.Active() || run.Journal.InCreatedFolder(target)) return true;
  auto exists = [listing](const std::string& path) {
    return listing != nullptr ? listing->Exists(path) : platform::FileExists(path) || platform::DirectoryExists(path);
  };
  // A file an earlier run left to be put in place at the next restart would overwrite this one
  // then: it goes (kept aside until the commit), and the system's rename comes to nothing.
  for (int i = 0;; ++i) {
    const std::string staged = NumberedName(target, kStagedSuffix, i);
    if (!exists(staged)) break;
    const std::string aside = FreeName(staged, kKeptSuffix, exists);
    if (!run.Journal.Record({.kind = RunChange::Kind::FileRemoved, .path = staged, .aside = aside}) ||
        !platform::RenameFile(staged, aside)) {
      return false;
    }
    if (listing != nullptr) listing->Added(aside);
  }
  if (!exists(target)) {
    if (listing != nullptr) listing->Added(target);
    return run.Journal.Record({.kind = RunChange::Kind::FileCreated, .path = target});
  }
  // A folder where the file goes is never moved away for it: the write fails and ends the run.
  if (platform::DirectoryExists(target)) return true;
  const std::string aside = FreeName(target, kKeptSuffix, exists);
  if (!run.Journal.Record({.kind = RunChange::Kind::FileReplaced, .path = target, .aside = aside})) return false;
  if (!platform::RenameFile(target, aside)) return false;
  if (listing != nullptr) listing->Added(aside);
  return true;
}

bool PrepareFileWriteOrAsk(const RunScope& ctx, const std::string& target, FolderListing* listing) {
  while (!PrepareFileWrite(ctx.Run, target, listing)) {
    const auto& changes = ctx.Run.Journal.Changes();
    if (changes.empty() || changes.back().path != target) {
      ctx.Services.LogLine("the run's journal cannot be written before " + target + " (the disk may be full)");
      return false;
    }
    // Written down but not moved: a retry writes the record again, which undoes the same way.
    const std::string by = WhoHolds(target);
    const std::string text = "The file \"" + target + "\" is in use by " + by + ".";
    ctx.Services.LogLine("in use: " + target + " (held by " + by + ")");
    const int answer = ctx.Services.ShowMessageBox(
        platform::Utf8ToWide(text + "\r\rClose it and choose Retry, or Cancel to undo the installation."), u"Setup",
        kMbRetryCancel | kMbIconWarning);
    if (answer != kIdRetry) return false;
  }
  return true;
}

std::optional<std::string> PrepareTargetOrStage(const RunScope& ctx, const std::string& target,
                                                FolderListing* listing) {
  if (!ctx.Setup.Options.LockedFilesReboot) {
    if (PrepareFileWriteOrAsk(ctx, target, listing)) return target;
    return std::nullopt;
  }
  if (PrepareFileWrite(ctx.Run, target, listing)) return target;
  const auto& changes = ctx.Run.Journal.Changes();
  if (changes.empty() || changes.back().path != target) return std::nullopt;  // no journal
  // Held: the new file waits beside it. Undoing the run deletes it, and with it the system's
  // rename at the restart comes to nothing.
  const std::string staged = FreeName(target, kStagedSuffix, [listing](const std::string& path) {
    return listing != nullptr ? listing->Exists(path) : platform::FileExists(path);
  });
  if (!ctx.Run.Journal.Record({.kind = RunChange::Kind::FileCreated, .path = staged})) return std::nullopt;
  if (listing != nullptr) listing->Added(staged);
  return staged;
}

bool FinishStagedWrite(const RunScope& ctx, const std::string& staged, const std::string& target) {
  if (!platform::ReplaceAtRestart(staged, target)) return false;
  ctx.Services.LogLine("in use by " + WhoHolds(target) + ", replaced at the next restart: " + target);
  ctx.Run.RestartNeeded = true;
  return true;
}

void CancelFileWrite(RunState& run, const std::string& target) {
  const auto& changes = run.Journal.Changes();
  if (changes.empty() || changes.back().path != target || changes.back().kind != RunChange::Kind::FileReplaced) return;
  const std::string& aside = changes.back().aside;
  if (platform::FileExists(aside) && !platform::FileExists(target)) platform::RenameFile(aside, target);
}

bool RemoveFileKept(RunState& run, const std::string& path) {
  if (!run.Journal.Active()) return platform::DeleteFileAt(path);
  const std::string aside = AsideName(path);
  return run.Journal.Record({.kind = RunChange::Kind::FileRemoved, .path = path, .aside = aside}) &&
         platform::RenameFile(path, aside);
}

bool RemoveFolderKept(RunState& run, const std::string& path) {
  const std::string aside = AsideName(path);
  return run.Journal.Record({.kind = RunChange::Kind::FolderRemoved, .path = path, .aside = aside}) &&
         platform::RenameFile(path, aside);
}

bool RenameRecorded(RunState& run, const std::string& from, const std::string& to) {
  return run.Journal.Record({.kind = RunChange::Kind::Renamed, .path = from, .aside = to}) &&
         platform::RenameFile(from, to);
}

bool RecordRegistryValues(RunState& run, std::uint32_t root, const std::string& key,
                          const std::vector<std::string>& names) {
  if (!run.Journal.Active()) return true;
  platform::Registry& reg = run.Registry;  // the callers set their root and key again
  reg.SetRoot(root);
  if (const std::string missing = FirstMissingKey(reg, key); !missing.empty()) {
    // The values of a key the run creates go with it.
    return run.Journal.Record({.kind = RunChange::Kind::KeyCreated, .path = missing, .root = root});
  }
  if (!reg.OpenKey(key, false)) return true;
  for (const std::string& name : names) {
    RunChange c{.kind = RunChange::Kind::RegValue, .path = key, .aside = name, .root = root};
    if (auto text = reg.ReadString(name)) {
      c.old_type = 'S';
      c.old_value = *text;
    } else if (auto number = reg.ReadDword(name)) {
      c.old_type = 'D';
      c.old_value = std::to_string(*number);
    }
    if (!run.Journal.Record(c)) {
      reg.CloseKey();
      return false;
    }
  }
  reg.CloseKey();
  return true;
}

}  // namespace zq
