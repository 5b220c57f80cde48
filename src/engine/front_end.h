// What start-up needs of a front end (windowed or headless): message boxes, the verification
// window, and the wizard that runs the setup or the uninstall to its end.
#pragma once

#include <cstddef>

#include "base/ui_targets.h"

namespace zq {

class SetupContext;

// Exit codes of the engine, for scripts that run setups.
enum EngineExit : int {
  kExitInstalled = 0,
  kExitCancelled = 1,
  kExitScriptFailed = 2,
  kExitRefused = 3,
  kExitInternalError = 4,
  // Another run of the same product is in progress; deployment tools retry on this code.
  kExitAnotherRun = 1618,
  // Done, but files in use are removed only when the machine restarts.
  kExitRestartNeeded = 3010,
};

// The small window that counts up while start-up verifies the package.
class VerifyView {
 public:
  virtual ~VerifyView() = default;
  virtual void Begin(std::size_t count) = 0;
  virtual void Progress(std::size_t done, std::size_t count) = 0;
  virtual void End() = 0;
};

class FrontEnd : public MessageBoxes {
 public:
  virtual void VerifyBegin(std::size_t /*count*/) {}
  virtual void VerifyProgress(std::size_t /*done*/, std::size_t /*count*/) {}
  virtual void VerifyEnd() {}
  // Leads through the pages and runs the setup (or the uninstall); returns the exit code.
  virtual int RunWizard(SetupContext& ctx) = 0;
};

}  // namespace zq
