// What the user decides before the run: the installation folder and the language. Written on
// the window's thread (the pages, or the command line for a silent run) and by start-up, which
// seeds them; the run only reads them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zq {

struct UserChoices {
  // Seeded from the setup record, then the registry or /D=; the wizard keeps it expanded and
  // without a trailing backslash once its pages are set up.
  std::string InstallDir;
  // Index of the language table in use.
  std::int32_t Language = 0;

  // One element per component of the setup (LoadedSetup::Components): chosen or not.
  std::vector<bool> ComponentChosen;
  // The check boxes and radio buttons of the pages by lower-case name, as they stand when the
  // run starts ("ifchecked").
  std::map<std::string, bool> Checked;
  // The run answers no question (/S): "ifsilent".
  bool Silent = false;
  // The licence entry for the language in use ("<%LICENSE%>"); empty without a licence.
  std::string LicenseEntry;

  // The free space of InstallDir's drive, measured whenever the folder is settled.
  std::int64_t SpaceAvailable = 0;
  std::string SpaceAvailableText;
  // The allocation unit of that drive: every file takes whole ones.
  std::int64_t ClusterBytes = 4096;
  // What the run holds at its peak with the components chosen (engine/selection.h).
  std::int64_t SpaceRequired = 0;
  std::string SpaceRequiredText;
  // When InstallDir starts with a drive letter, the free bytes of that drive, or -1 (which no
  // requirement passes) when the drive cannot be asked, and its cluster size; otherwise they
  // stay as they are.
  void MeasureSpaceAvailable();
};

}  // namespace zq
