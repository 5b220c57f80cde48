#include "engine/setup_thread.h"

#include <cstdlib>
#include <exception>

#include "engine/front_end.h"
#include "engine/logged_files.h"
#include "engine/setup_context.h"
#include "platform/shell_link.h"
#include "platform/system.h"

namespace zq {

void RunScript(SetupContext& ctx) {
  platform::ComApartment com;  // shortcuts need COM on this thread
  const std::int64_t highest = static_cast<std::int64_t>(ctx.CompLines.Lines.size()) - 1;
  // Widened so that a jump to the largest line number cannot wrap around to the top.
  for (std::int64_t next = std::int64_t{ctx.CurrentLine} + 1; next <= highest;
       next = std::int64_t{ctx.CurrentLine} + 1) {
    ctx.CurrentLine = static_cast<std::int32_t>(next);
    const TCompLine& line = ctx.CompLines.Lines[static_cast<std::size_t>(next)];
    if (line.CommandIndex > 0) {
      if (TCommandClass* command = ctx.CommandList.At(line.CommandIndex)) command->SFXProcess(ctx, line.LineNumber);
    }
    // A script that loops for ever would otherwise keep a closing window waiting for ever.
    if (ctx.SetupAborted || ctx.Terminating) break;
  }
  ForceDirectoriesLogged(ctx, ctx.SetupInfo.InstallDir);
  if (ctx.SetupInfo.HasUninstaller == 1) {
    ctx.UninstallList.ReleaseIndexes();
    ctx.UninstallList.Save(ctx.SetupInfo.InstallDir, ctx.SetupInfo.LogPrefix);
    if (ctx.MakeUninstaller) ctx.MakeUninstaller(ctx);
  }
}

TSetupThread::TSetupThread(SetupContext& ctx) : ctx_(ctx), thread_([this] { Execute(); }) {}

TSetupThread::~TSetupThread() {
  Stop();
  Join();
}

void TSetupThread::RunAndWait(const std::function<void()>& pump) {
  RunRequested = true;
  while (RunRequested) {
    if (pump) pump();
    platform::SleepMs(1);
  }
}

void TSetupThread::Stop() {
  StopRequested = true;
  ctx_.Terminating = true;
}

void TSetupThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void TSetupThread::Execute() {
  try {
    while (!StopRequested) {
      if (RunRequested) {
        RunScript(ctx_);
        RunRequested = false;
      }
      platform::SleepMs(1);
    }
  } catch (const std::exception& e) {
    if (ctx_.FatalError) ctx_.FatalError(e.what(), "Setup Thread");
    // The report is written; nothing further of the run may happen: no closing step, no
    // destructor (an archive saved, a log written by the unwinding window's thread). The
    // window's thread may be anywhere, so the worker ends the whole process itself.
    std::_Exit(kExitInternalError);
  }
}

}  // namespace zq
