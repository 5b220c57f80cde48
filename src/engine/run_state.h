// The run's own state: the worker's alone while a run is on (docs/architecture.md, "Threads
// during a run"); the window's thread touches it only before it raises the run and after.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>

#include "engine/run_journal.h"
#include "platform/registry.h"
#include "script/comp_lines.h"
#include "uninstall/uninstall_list.h"

namespace zq {

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
  // The script's variables by upper-case name ("var", "set" and the reads), $NAME wherever
  // macros expand.
  std::map<std::string, std::string> Variables;
  // The exit code of the program the last "execute" ran; none when it could not be started or
  // the run stopped waiting for it ("ifexitcode" then matches no code).
  std::optional<std::uint32_t> LastExitCode;
};

}  // namespace zq
