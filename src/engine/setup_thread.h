// The script worker: idle until asked, then runs the compiled lines once from the top and
// performs the closing steps of an installation.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace zq {

class SetupContext;
struct RunScope;

// One run: every line from CurrentLine + 1 on (over the run's own copy of the lines, made here),
// jumps followed, until the last line, an abort, or Terminating; then the closing steps
// (installation directory, uninstall log, uninstaller), which run after an abort too. Errors
// of commands propagate to the caller.
void RunScript(const RunScope& ctx);

class TSetupThread {
 public:
  // Starts the worker at once; it sleeps until a run or a stop is asked for.
  explicit TSetupThread(SetupContext& ctx);
  // Stops and waits for the worker.
  ~TSetupThread();
  TSetupThread(const TSetupThread&) = delete;
  TSetupThread& operator=(const TSetupThread&) = delete;

  // The window's side of one run, once the caller has set CurrentLine to -1: hands the run to
  // the worker and returns when it is over. Without `pump` it simply waits. With it, `pump`
  // handles the window's messages, blocking until one arrives, and `wake` (called by the worker
  // when the run ends) makes one arrive. Until it returns the run's state and the services are
  // the worker's alone; the page model stays on the window's thread, which the worker reaches
  // only through the report targets and the message boxes (docs/architecture.md, "Threads
  // during a run").
  void RunAndWait(const std::function<void()>& pump = {}, const std::function<void()>& wake = {});
  // True from RunAndWait's hand-over until the worker has finished the run.
  bool Running() const;
  // Ends the worker's waiting, and with Terminating a run in progress after its current line.
  // A command's error ends no run this way: the worker reports it and ends the process (see
  // Execute).
  void Stop();
  void Join();

 private:
  void Execute();

  SetupContext& ctx_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool run_requested_ = false;
  bool stop_requested_ = false;
  std::function<void()> wake_;
  std::thread thread_;
};

}  // namespace zq
