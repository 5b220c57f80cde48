// The one shared context of a run: the container, the records loaded from it, the texts, the
// uninstall log, the registry accessor, the space figures, the folders behind the path macros
// and the targets that progress is reported to.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "container/pak.h"
#include "container/setup_info.h"
#include "engine/archive_procedures.h"
#include "base/ui_targets.h"
#include "platform/registry.h"
#include "engine/command.h"
#include "script/comp_lines.h"
#include "ui/language_strings.h"
#include "ui/languages.h"
#include "uninstall/uninstall_list.h"

namespace zq {

class SetupContext {
 public:
  // Creates the empty records and registers the five placeholders, bound to their fields.
  SetupContext();
  SetupContext(const SetupContext&) = delete;
  SetupContext& operator=(const SetupContext&) = delete;

  std::unique_ptr<TPak> Pak;
  TSetupInfoFile SetupInfo;
  TCompLines CompLines;
  TCommandList CommandList;
  TLanguages Languages;
  TLanguageStrings LanguageStrings;
  TUninstallList UninstallList;
  platform::Registry Registry;

  std::int64_t SpaceRequired = 0;
  std::string SpaceRequiredText;
  std::int64_t SpaceAvailable = 0;
  std::string SpaceAvailableText;
  // The one rule for the free-space figure, wherever the installation directory is settled:
  // when InstallDir starts with a drive letter, the free bytes of that drive, or -1 (which no
  // requirement passes) when the drive cannot be asked; otherwise both stay as they are.
  void MeasureSpaceAvailable();

  TTextTarget* StatusLabel = nullptr;
  TGaugeTarget* Gauge = nullptr;
  TTextTarget* DetailLabel = nullptr;
  TMessageBoxes* Messages = nullptr;  // none: every box takes its default answer
  std::int32_t ProgressPosition = 0;

  std::string ProgramFilesDir;  // with a trailing "\"
  std::string StartMenuDir;     // with a trailing "\"
  std::string CDDrive;          // "D:\" or empty
  std::string DesktopDir;       // the user's desktop, with a trailing "\"
  std::string AppDataDir;       // the user's roaming application data, with a trailing "\"

  // The readable run log (/LOG); empty: not kept.
  std::function<void(const std::string&)> RunLog;
  void LogLine(const std::string& line) const {
    if (RunLog) RunLog(line);
  }

  // Seams the later stages fill: the archive procedures, the uninstaller maker (run after the
  // log is saved at the end of a run) and the worker's fatal-error report.
  TArchiveProcedures* Archives = nullptr;
  std::function<void(SetupContext&)> MakeUninstaller;
  std::function<void(const std::string& message, const std::string& stage)> FatalError;
  // Raised by the worker's Stop (the window closing, or unwinding after an error on the
  // window's thread): the run ends after its current line and a waiting "execute" stops waiting.
  std::atomic<bool> Terminating{false};

  std::vector<std::uint8_t> GroupFlags;
  std::atomic<std::int32_t> CurrentLine{0};
  std::atomic<bool> SetupAborted{false};

  // Shows a message box through the front end; without one the default answer is taken
  // (OK, Yes, and Cancel for a retry question so that an unattended run cannot loop).
  int ShowMessageBox(const std::u16string& text, const std::u16string& caption, unsigned flags);
};

}  // namespace zq
