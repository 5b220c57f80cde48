// What the user decides before the run: the installation folder and the language. Written on
// the window's thread (the pages, or the command line for a silent run) and by start-up, which
// seeds them; the run only reads them.
#pragma once

#include <cstdint>
#include <string>

namespace zq {

struct UserChoices {
  // Seeded from the setup record, then the registry or /D=; the wizard keeps it expanded and
  // without a trailing backslash once its pages are set up.
  std::string InstallDir;
  // Index of the language table in use.
  std::int32_t Language = 0;

  // The free space of InstallDir's drive, measured whenever the folder is settled.
  std::int64_t SpaceAvailable = 0;
  std::string SpaceAvailableText;
  // When InstallDir starts with a drive letter, the free bytes of that drive, or -1 (which no
  // requirement passes) when the drive cannot be asked; otherwise both stay as they are.
  void MeasureSpaceAvailable();
};

}  // namespace zq
