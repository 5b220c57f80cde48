#include "engine/setup_thread.h"

#include <cstdlib>
#include <exception>

#include "engine/archive_procedures.h"
#include "engine/front_end.h"
#include "engine/logged_files.h"
#include "engine/progress.h"
#include "engine/run_changes.h"
#include "engine/setup_context.h"
#include "engine/uninstall_log_check.h"
#include "platform/files.h"
#include "platform/shell_link.h"
#include "platform/text.h"

namespace zq {

namespace {

// The journal, in the engine's own folder, then the installation folder; the folders made for
// it are its first records. False when the journal cannot be written: nothing may change
// without it.
bool BeginRun(const RunScope& ctx) {
  RunState& run = ctx.Run;
  const std::string& dir = ctx.Choices.InstallDir;
  const JournalTrust trust = OpenJournalTrust(JournalScope(ctx));
  if (!trust.ok()) {
    FailRun(ctx, "Unable to write the run's journal: " + trust.problem + ".");
    return false;
  }
  const std::string journal = RunJournal::PathFor(trust.folder.path, ctx.Setup.SetupInfo.ShortName, dir);
  if (!run.Journal.Begin(journal, trust.key, dir)) {
    FailRun(ctx, "Unable to write file \"" + journal + "\": the run's journal cannot be written.");
    return false;
  }
  ForceDirectoriesLogged(run.UninstallList, dir, &run.Journal);
  run.Journal.Sync();
  if (run.Journal.Broken()) {
    run.Journal.Rollback(run.Registry, {});
    FailRun(ctx, "Unable to write file \"" + journal + "\": the disk may be full.");
    return false;
  }
  return true;
}

// The uninstall log and the uninstaller, written and read back before anything is registered.
void CloseRun(const RunScope& ctx) {
  RunState& run = ctx.Run;
  ForceDirectoriesLogged(run.UninstallList, ctx.Choices.InstallDir, &run.Journal);
  if (ctx.Setup.SetupInfo.HasUninstaller != 1) return;
  run.UninstallList.ReleaseIndexes();
  const std::string& prefix = ctx.Setup.SetupInfo.LogPrefix;
  const std::string log = TUninstallList::LogPath(ctx.Choices.InstallDir, prefix);
  if (!PrepareFileWriteOrAsk(ctx, log) || !SaveUninstallLog(ctx, ctx.Choices.InstallDir, prefix)) {
    FailRun(ctx, "Unable to write file \"" + log + "\": the uninstall log could not be saved.");
    return;
  }
  if (ctx.Services.MakeUninstaller && !ctx.Services.MakeUninstaller(ctx)) {
    FailRun(ctx, "Unable to write the uninstaller into \"" + ctx.Choices.InstallDir + "\".");
  }
}

}  // namespace

void RunScript(const RunScope& ctx) {
  // Shortcuts and programs started through the shell need COM on this thread; entered when
  // the first of them comes.
  platform::ComApartment com(platform::ComApartment::When::FirstUse);
  RunState& run = ctx.Run;
  run.Lines = ctx.Setup.CompLines;
  RecoverInterruptedRun(ctx);
  if (!BeginRun(ctx)) return;
  const std::vector<TCompLine>& lines = run.Lines.Lines;
  const std::int64_t highest = static_cast<std::int64_t>(lines.size()) - 1;
  // Widened so that a jump to the largest line number cannot wrap around to the top.
  for (std::int64_t next = std::int64_t{run.CurrentLine} + 1; next <= highest;
       next = std::int64_t{run.CurrentLine} + 1) {
    run.CurrentLine = static_cast<std::int32_t>(next);
    const TCompLine& line = lines[static_cast<std::size_t>(next)];
    if (line.CommandIndex > 0) {
      if (TCommandClass* command = ctx.Setup.CommandList.At(line.CommandIndex)) {
        command->SFXProcess(ctx, line.LineNumber);
      }
    }
    // A change that could not be written down first was not made, and none may follow it.
    if (run.Journal.Broken() && !run.SetupAborted) {
      FailRun(ctx, "Unable to write file \"" + run.Journal.Path() + "\": the disk may be full.");
    }
    // A script that loops for ever would otherwise keep a closing window waiting for ever.
    if (run.SetupAborted || run.Terminating || run.Cancelled) break;
  }
  const auto failed = [&run] { return run.SetupAborted || run.Terminating || run.Cancelled; };
  // An archive the script left open is saved now, so that its failure still undoes the run.
  if (ctx.Services.Archives != nullptr) ctx.Services.Archives->EndOfRun(!failed());
  if (!failed()) CloseRun(ctx);
  // All or nothing: a run that failed, was cancelled or was stopped leaves the machine as it
  // found it.
  if (failed()) {
    if (ctx.Services.Archives != nullptr) ctx.Services.Archives->EndOfRun(false);
    run.Journal.Rollback(run.Registry, [&ctx](const std::string& line) { ctx.Services.LogLine(line); });
    ctx.Services.LogLine("the run was undone");
  } else {
    run.Journal.Commit([&ctx](const std::string& line) { ctx.Services.LogLine(line); });
    if (run.RestartNeeded) {
      ctx.Services.LogLine("restart needed: files in use are replaced when the machine restarts (exit code 3010)");
      SetDetailText(ctx.Services, u"Restart the computer to finish: files that were in use are replaced then.", true);
    }
  }
}

TSetupThread::TSetupThread(SetupContext& ctx) : ctx_(ctx), thread_([this] { Execute(); }) {}

TSetupThread::~TSetupThread() {
  Stop();
  Join();
}

void TSetupThread::RunAndWait(const std::function<void()>& pump, const std::function<void()>& wake) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    run_requested_ = true;
    wake_ = wake;
  }
  changed_.notify_all();
  if (pump) {
    while (Running()) pump();
    return;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !run_requested_; });
}

bool TSetupThread::Running() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return run_requested_;
}

void TSetupThread::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_requested_ = true;
  }
  ctx_.Run.Terminating = true;
  changed_.notify_all();
}

void TSetupThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void TSetupThread::Execute() {
  try {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
      changed_.wait(lock, [this] { return run_requested_ || stop_requested_; });
      if (stop_requested_) break;
      lock.unlock();
      RunScript(ctx_);
      lock.lock();
      run_requested_ = false;
      const std::function<void()> wake = std::move(wake_);
      wake_ = nullptr;
      lock.unlock();
      changed_.notify_all();
      if (wake) wake();
      lock.lock();
    }
    // A run asked for after the stop never starts; whoever waits for it is released.
    run_requested_ = false;
    const std::function<void()> wake = std::move(wake_);
    lock.unlock();
    changed_.notify_all();
    if (wake) wake();
  } catch (const std::exception& e) {
    if (ctx_.Services.FatalError) ctx_.Services.FatalError(e.what(), "Setup Thread");
    // The report is written; nothing further of the run may happen: no closing step, no
    // destructor (an archive saved, a log written by the unwinding window's thread). The
    // window's thread may be anywhere, so the worker ends the whole process itself.
    std::_Exit(kExitInternalError);
  }
}

}  // namespace zq
