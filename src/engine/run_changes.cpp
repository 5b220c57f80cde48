#include "engine/run_changes.h"

#include "base/path_text.h"
#include "engine/run_journal.h"
#include "engine/setup_context.h"
#include "platform/file_holders.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/registry.h"

namespace zq {

namespace {

// Each key of `path` that does not exist yet, outermost first.
std::vector<std::string> MissingKeys(platform::Registry& reg, const std::string& path) {
  std::vector<std::string> missing;
  std::size_t at = 0;
  while (at <= path.size()) {
    const std::size_t end = path.find('\\', at);
    const std::string prefix = path.substr(0, end == std::string::npos ? path.size() : end);
    if (!prefix.empty() && (!missing.empty() || !reg.KeyExists(prefix))) missing.push_back(prefix);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return missing;
}

}  // namespace

platform::TrustScope JournalScope(const RunScope& ctx) {
  return ctx.Setup.Options.Scope == InstallScope::User ? platform::TrustScope::User : platform::TrustScope::Machine;
}

void RecoverInterruptedRun(const RunScope& ctx) {
  const std::string& dir = ctx.Choices.InstallDir;
  // Where journals were kept once, and where anyone who may write the folder could plant one.
  if (const std::string planted = IncludeTrailingBackslash(dir) + ctx.Setup.SetupInfo.LogPrefix + "run.zqr";
      platform::FileExists(planted)) {
    ctx.Services.LogLine("not applied: " + planted +
                         " (a file in the installation folder is never taken for a journal)");
  }
  const JournalTrust trust = OpenJournalTrust(JournalScope(ctx));
  if (!trust.ok()) {
    ctx.Services.LogLine("no interrupted run can be looked for: " + trust.problem);
    return;
  }
  const std::string path = RunJournal::PathFor(trust.folder.path, ctx.Setup.SetupInfo.ShortName, dir);
  if (!platform::FileExists(path)) return;
  std::string problem;
  const auto contents = RunJournal::Load(path, trust.key, dir, &problem);
  if (!contents) {
    // Kept for an administrator to look at, under a name no run takes for its journal.
    const std::string kept = FreeName(path, ".refused", [](const std::string& p) { return platform::FileExists(p); });
    const bool moved = platform::RenameFile(path, kept);
    ctx.Services.LogLine("the journal of an interrupted run " + path + " is not applied: " + problem +
                         (moved ? "; it is kept as " + kept : ""));
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

std::optional<PlannedWrite> PlanFileWrite(RunState& run, const std::string& target, FolderListing* listing) {
  PlannedWrite plan{target, {}, {}};
  RunJournal& journal = run.Journal;
  if (!journal.Active()) return plan;
  if (journal.InCreatedFolder(target)) {
    if (listing != nullptr) listing->Added(target);
    return journal.Record({.kind = RunChange::Kind::FileCreated, .path = target}) ? std::optional(plan) : std::nullopt;
  }
  auto exists = [listing](const std::string& path) {
    return listing != nullptr ? listing->Exists(path) : platform::FileExists(path) || platform::DirectoryExists(path);
  };
  // Kept aside with its size and digest: the only copy undoing the run may put back.
  auto keep = [&](RunChange::Kind kind, const std::string& path) {
    const auto check = RunJournal::FileCheck(path);
    if (!check) {
      plan.held = path;
      return true;
    }
    const std::string aside = journal.AsideFor(path, exists);
    if (!journal.Record({.kind = kind, .path = path, .aside = aside, .size = check->first, .digest = check->second})) {
      return false;
    }
    if (listing != nullptr) listing->Added(aside);
    plan.moves.emplace_back(path, aside);
    return true;
  };
  // A file an earlier run left to be put in place at the next restart would overwrite this one
  // then: it goes (kept aside until the commit), and the system's rename comes to nothing.
  for (int i = 0;; ++i) {
    const std::string staged = NumberedName(target, kStagedSuffix, i);
    if (!exists(staged)) break;
    if (!keep(RunChange::Kind::FileRemoved, staged)) return std::nullopt;
    if (!plan.held.empty()) return plan;
  }
  if (!exists(target)) {
    if (listing != nullptr) listing->Added(target);
    if (!journal.Record({.kind = RunChange::Kind::FileCreated, .path = target})) return std::nullopt;
    return plan;
  }
  // A folder where the file goes is never moved away for it: the write fails and ends the run.
  if (platform::DirectoryExists(target)) return plan;
  if (!keep(RunChange::Kind::FileReplaced, target)) return std::nullopt;
  return plan;
}

bool ApplyFileWrite(const PlannedWrite& plan) {
  if (!plan.held.empty()) return false;
  for (const auto& [from, to] : plan.moves) {
    if (!platform::FileExists(from) && platform::FileExists(to)) continue;  // moved by an earlier try
    if (!platform::RenameFile(from, to)) return false;
  }
  return true;
}

bool PrepareFileWrite(RunState& run, const std::string& target, FolderListing* listing) {
  const auto plan = PlanFileWrite(run, target, listing);
  if (!plan) return false;
  run.Journal.Sync();
  return !run.Journal.Broken() && ApplyFileWrite(*plan);
}

namespace {

// Another program holds `target`: the user may close it and retry. True for Retry.
bool AskAboutHeld(const RunScope& ctx, const std::string& target) {
  const std::string by = WhoHolds(target);
  const std::string text = "The file \"" + target + "\" is in use by " + by + ".";
  ctx.Services.LogLine("in use: " + target + " (held by " + by + ")");
  const int answer = ctx.Services.ShowMessageBox(
      platform::Utf8ToWide(text + "\r\rClose it and choose Retry, or Cancel to undo the installation."), u"Setup",
      kMbRetryCancel | kMbIconWarning);
  return answer == kIdRetry;
}

bool JournalFailed(const RunScope& ctx, const std::string& target) {
  ctx.Services.LogLine("the run's journal cannot be written before " + target + " (the disk may be full)");
  return false;
}

}  // namespace

bool PrepareFileWriteOrAsk(const RunScope& ctx, const std::string& target, FolderListing* listing) {
  while (true) {
    // Planned again on a retry: the records written again undo the same way.
    const auto plan = PlanFileWrite(ctx.Run, target, listing);
    if (!plan) return JournalFailed(ctx, target);
    ctx.Run.Journal.Sync();
    if (ctx.Run.Journal.Broken()) return JournalFailed(ctx, target);
    if (ApplyFileWrite(*plan)) return true;
    if (!AskAboutHeld(ctx, plan->held.empty() ? target : plan->held)) return false;
  }
}

std::optional<std::string> ApplyTargetOrStage(const RunScope& ctx, const PlannedWrite& plan, FolderListing* listing) {
  const std::string& target = plan.target;
  if (ApplyFileWrite(plan)) return target;
  if (!ctx.Setup.Options.LockedFilesReboot) {
    if (!AskAboutHeld(ctx, plan.held.empty() ? target : plan.held)) return std::nullopt;
    if (PrepareFileWriteOrAsk(ctx, target, listing)) return target;
    return std::nullopt;
  }
  // Held: the new file waits beside it. Undoing the run deletes it, and with it the system's
  // rename at the restart comes to nothing.
  const std::string staged = FreeName(target, kStagedSuffix, [listing](const std::string& path) {
    return listing != nullptr ? listing->Exists(path) : platform::FileExists(path);
  });
  if (!ctx.Run.Journal.Record({.kind = RunChange::Kind::FileCreated, .path = staged})) return std::nullopt;
  ctx.Run.Journal.Sync();
  if (ctx.Run.Journal.Broken()) return std::nullopt;
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
  const auto check = RunJournal::FileCheck(path);
  if (!check) return false;
  const std::string aside = run.Journal.AsideFor(
      path, [](const std::string& p) { return platform::FileExists(p) || platform::DirectoryExists(p); });
  if (!run.Journal.Record({.kind = RunChange::Kind::FileRemoved,
                           .path = path,
                           .aside = aside,
                           .size = check->first,
                           .digest = check->second})) {
    return false;
  }
  run.Journal.Sync();
  return !run.Journal.Broken() && platform::RenameFile(path, aside);
}

bool RemoveFolderKept(RunState& run, const std::string& path) {
  const std::string aside = run.Journal.AsideFor(
      path, [](const std::string& p) { return platform::FileExists(p) || platform::DirectoryExists(p); });
  if (!run.Journal.Record({.kind = RunChange::Kind::FolderRemoved, .path = path, .aside = aside})) return false;
  run.Journal.Sync();
  return !run.Journal.Broken() && platform::RenameFile(path, aside);
}

bool RenameRecorded(RunState& run, const std::string& from, const std::string& to) {
  if (!run.Journal.Record({.kind = RunChange::Kind::Renamed, .path = from, .aside = to})) return false;
  run.Journal.Sync();
  return !run.Journal.Broken() && platform::RenameFile(from, to);
}

bool RecordRegistryValues(RunState& run, std::uint32_t root, const std::string& key,
                          const std::vector<RegWrite>& writes) {
  if (!run.Journal.Active()) return true;
  platform::Registry& reg = run.Registry;  // the callers set their root and key again
  reg.SetRoot(root);
  // Each key the run makes has its own record: undoing removes each, deepest first, once empty.
  const std::vector<std::string> missing = MissingKeys(reg, key);
  for (const std::string& made : missing) {
    if (!run.Journal.Record({.kind = RunChange::Kind::KeyCreated, .path = made, .root = root})) return false;
  }
  const bool open = missing.empty() && reg.OpenKey(key, false);
  for (const RegWrite& w : writes) {
    RunChange c{.kind = RunChange::Kind::RegValue, .path = key, .aside = w.name, .root = root};
    c.new_type = w.type;
    c.new_value = w.type == 0 ? std::string() : w.value;
    if (auto text = open ? reg.ReadString(w.name) : std::nullopt) {
      c.old_type = 'S';
      c.old_value = *text;
    } else if (auto number = open ? reg.ReadDword(w.name) : std::nullopt) {
      c.old_type = 'D';
      c.old_value = std::to_string(*number);
    }
    if (!run.Journal.Record(c)) {
      if (open) reg.CloseKey();
      return false;
    }
  }
  if (open) reg.CloseKey();
  run.Journal.Sync();
  return !run.Journal.Broken();
}

}  // namespace zq
