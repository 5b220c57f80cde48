// The script worker: idle until asked, then runs the compiled lines once from the top and
// performs the closing steps of an installation.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace zq {

class SetupContext;

// One run: every line from CurrentLine + 1 on, jumps followed, until the last line, an abort,
// or Terminating; then the closing steps (installation directory, uninstall log,
// uninstaller), which run after an abort too. Errors of commands propagate to the caller.
void RunScript(SetupContext& ctx);

class TSetupThread {
 public:
  // Starts the worker at once; it polls RunRequested every millisecond.
  explicit TSetupThread(SetupContext& ctx);
  // Stops and waits for the worker.
  ~TSetupThread();
  TSetupThread(const TSetupThread&) = delete;
  TSetupThread& operator=(const TSetupThread&) = delete;

  // Raised by the window to request one run; lowered by the worker when the run is over.
  std::atomic<bool> RunRequested{false};
  std::atomic<bool> StopRequested{false};

  // The window's side of one run, once the caller has set CurrentLine to -1: raises
  // RunRequested, then runs `pump` (the window's messages; nothing headless) and sleeps 1 ms
  // until the worker lowers it. Until then the run's share of the context (lines, container,
  // registry, uninstall log, archives) is the worker's alone; the page model stays on the
  // window's thread, which the worker reaches only through the report targets and
  // ctx.Messages; only atomics cross otherwise (docs/architecture.md, "Threads during a run").
  void RunAndWait(const std::function<void()>& pump = {});
  // Ends the polling, and with Terminating a run in progress after its current line. A
  // command's error ends no run this way: the worker reports it and ends the process (see
  // Execute).
  void Stop();
  void Join();

 private:
  void Execute();

  SetupContext& ctx_;
  std::thread thread_;
};

}  // namespace zq
