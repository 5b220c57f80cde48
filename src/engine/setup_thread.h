// The script worker: idle until asked, then runs the compiled lines once from the top and
// performs the closing steps of an installation.
#pragma once

#include <atomic>
#include <thread>

namespace zq {

class SetupContext;

// One run: every line from CurrentLine + 1 on, jumps followed, until the last line, an abort,
// or a stop request; then the closing steps (installation directory, uninstall log,
// uninstaller), which run after an abort too. Errors of commands propagate to the caller.
void RunScript(SetupContext& ctx, const std::atomic<bool>* stop_requested = nullptr);

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

  void Stop() { StopRequested = true; }
  void Join();

 private:
  void Execute();

  SetupContext& ctx_;
  std::thread thread_;
};

}  // namespace zq
