// The run's own state: the worker's alone while a run is on (docs/architecture.md, "Threads
// during a run"); the window's thread touches it only before it raises the run and after.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/run_journal.h"
#include "platform/registry.h"
#include "script/comp_lines.h"
#include "uninstall/uninstall_list.h"

namespace zq {

// The script's variables by upper-case name ("var", "set" and the reads): a script has a
// handful, so a list searched in order serves.
class ScriptVariables {
 public:
  const std::string* Find(const std::string& upper_name) const {
    for (const auto& [name, value] : items_) {
      if (name == upper_name) return &value;
    }
    return nullptr;
  }
  void Set(const std::string& upper_name, std::string value) {
    for (auto& [name, held] : items_) {
      if (name == upper_name) {
        held = std::move(value);
        return;
      }
    }
    items_.emplace_back(upper_name, std::move(value));
  }
  // Empty unless it holds a value already (a page gave it one).
  void Declare(const std::string& upper_name) {
    if (Find(upper_name) == nullptr) items_.emplace_back(upper_name, std::string());
  }
  bool Empty() const { return items_.empty(); }

 private:
  std::vector<std::pair<std::string, std::string>> items_;
};

struct RunState {
  // The run's copy of the compiled lines: a few commands store a decoded or expanded argument
  // back into their line, which the loaded setup must not see.
  TCompLines Lines;
  // The line being run; -1 before the first. Jumps set it to the line before their target.
  std::atomic<std::int32_t> CurrentLine{0};
  // The script failed (the "failure" command, a file that could not be written, an archive
  // update that rolled back): the run ends after its line, exit code 2.
  std::atomic<bool> SetupAborted{false};
  // The window is closing or unwinding: the run ends after its current line and a waiting
  // "execute" stops waiting.
  std::atomic<bool> Terminating{false};
  // The user cancelled the run from the window: it ends after its current line or file and is
  // undone; exit code 1.
  std::atomic<bool> Cancelled{false};
  // Files in use are left for the system to remove at the next restart: exit code 3010.
  std::atomic<bool> RestartNeeded{false};

  // Every change of the run, written down before it is made; active from the run's start to
  // its commit or rollback.
  RunJournal Journal;
  TUninstallList UninstallList;
  // How the log stands: saved with its check (or not) by a run; believed, of an older engine,
  // or failing its check for the uninstaller, which then removes less.
  LogCheck UninstallLogCheck = LogCheck::Absent;
  platform::Registry Registry;
  std::int32_t ProgressPosition = 0;
  // $NAME wherever macros expand.
  ScriptVariables Variables;
  // The exit code of the program the last "execute" ran; none when it could not be started or
  // the run stopped waiting for it ("ifexitcode" then matches no code).
  std::optional<std::uint32_t> LastExitCode;
};

}  // namespace zq
