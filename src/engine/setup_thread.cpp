#include "engine/setup_thread.h"

#include <cstdlib>
#include <exception>

#include "engine/front_end.h"
#include "engine/logged_files.h"
#include "engine/setup_context.h"
#include "platform/shell_link.h"

namespace zq {

void RunScript(const RunScope& ctx) {
  platform::ComApartment com;  // shortcuts need COM on this thread
  ctx.Run.Lines = ctx.Setup.CompLines;
  const std::vector<TCompLine>& lines = ctx.Run.Lines.Lines;
  const std::int64_t highest = static_cast<std::int64_t>(lines.size()) - 1;
  // Widened so that a jump to the largest line number cannot wrap around to the top.
  for (std::int64_t next = std::int64_t{ctx.Run.CurrentLine} + 1; next <= highest;
       next = std::int64_t{ctx.Run.CurrentLine} + 1) {
    ctx.Run.CurrentLine = static_cast<std::int32_t>(next);
    const TCompLine& line = lines[static_cast<std::size_t>(next)];
    if (line.CommandIndex > 0) {
      if (TCommandClass* command = ctx.Setup.CommandList.At(line.CommandIndex)) {
        command->SFXProcess(ctx, line.LineNumber);
      }
    }
    // A script that loops for ever would otherwise keep a closing window waiting for ever.
    if (ctx.Run.SetupAborted || ctx.Run.Terminating) break;
  }
  ForceDirectoriesLogged(ctx.Run.UninstallList, ctx.Choices.InstallDir);
  if (ctx.Setup.SetupInfo.HasUninstaller == 1) {
    ctx.Run.UninstallList.ReleaseIndexes();
    ctx.Run.UninstallList.Save(ctx.Choices.InstallDir, ctx.Setup.SetupInfo.LogPrefix);
    if (ctx.Services.MakeUninstaller) ctx.Services.MakeUninstaller(ctx);
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
