// What a run reports to and asks through: the readable log, the user's questions, the
// progress targets, and the seams later stages fill (archive updates, the uninstaller maker,
// the fatal-error report). Set up by the front end before the run; their targets hand
// updates to the window's thread themselves.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/ui_targets.h"
#include "engine/archive_procedures.h"

namespace zq {

struct RunScope;

struct RunServices {
  // The readable run log (/LOG); empty: not kept. Locks itself.
  std::function<void(const std::string&)> RunLog;
  void LogLine(const std::string& line) const {
    if (RunLog) RunLog(line);
  }

  MessageBoxes* Messages = nullptr;  // none: every box takes its default answer
  // Shows a message box through the front end; without one the default answer is taken
  // (OK, Yes, and Cancel for a retry question so that an unattended run cannot loop).
  int ShowMessageBox(const std::u16string& text, const std::u16string& caption, unsigned flags) const {
    return Messages != nullptr ? Messages->Show(text, caption, flags) : DefaultMessageBoxAnswer(flags);
  }

  TextTarget* StatusLabel = nullptr;
  GaugeTarget* Gauge = nullptr;
  TextTarget* DetailLabel = nullptr;

  ArchiveProcedures* Archives = nullptr;
  // Run by the worker after the log is saved at the end of a run.
  std::function<void(const RunScope&)> MakeUninstaller;
  std::function<void(const std::string& message, const std::string& stage)> FatalError;
};

}  // namespace zq
