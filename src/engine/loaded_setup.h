// What start-up loads from the package and the machine before the wizard opens. Written only
// by start-up (app/startup.cpp); everything after it reads it through a const reference.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "container/pak.h"
#include "container/run_options.h"
#include "container/setup_info.h"
#include "engine/command.h"
#include "script/comp_lines.h"
#include "script/components.h"
#include "ui/languages.h"

namespace zq {

struct LoadedSetup {
  std::unique_ptr<TPak> Pak;
  TSetupInfoFile SetupInfo;
  TCompLines CompLines;
  TCommandList CommandList;
  // The tables; which one is in use is the user's choice (UserChoices::Language).
  TLanguages Languages;
  std::vector<std::uint8_t> GroupFlags;

  // The setup's version, files in use, "allowdowngrade", the architecture and the scope
  // (RunOptions.txt; the uninstaller's copy too).
  RunOptions Options;

  // The script's components, and for each package group the component it lies in (-1 none).
  std::vector<ComponentInfo> Components;
  std::vector<int> GroupComponent;
  // The entry name of each language table after "LANGUAGE-", parallel to Languages.Items.
  std::vector<std::string> LanguageNames;
  // "license [LANGNAME] FILE": the licence entries by the language table they are for ("" for
  // every other language).
  struct License {
    std::string Language;
    std::string Entry;
  };
  std::vector<License> Licenses;
  // "runafter PROGRAM [ARGUMENTS]": started after Finish when the box is checked.
  std::string RunAfterProgram;
  std::string RunAfterArguments;

  // The folders behind the path macros other than $INSTDIR, each with a trailing "\".
  std::string ProgramFilesDir;     // $PROGRAMFILES: the architecture's, one of the two below
  std::string ProgramFiles32Dir;   // what a 32-bit program sees: Program Files (x86) on 64-bit Windows
  std::string ProgramFiles64Dir;   // the machine's own; the 32-bit one on 32-bit Windows
  std::string StartMenuDir;        // the user's Start menu programs
  std::string CDDrive;             // "D:\" or empty
  std::string DesktopDir;          // the user's desktop
  std::string AppDataDir;          // the user's roaming application data
  std::string LocalAppDataDir;     // the user's local application data
  std::string CommonStartMenuDir;  // all users' Start menu programs
  std::string CommonDesktopDir;    // all users' desktop
  std::string CommonAppDataDir;    // all users' application data

  bool IsUninstaller() const { return SetupInfo.Mode == SetupMode::Uninstaller; }
};

}  // namespace zq
