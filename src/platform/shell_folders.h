// Shell special folders by their CSIDL numbers.
#pragma once

#include <optional>
#include <string>

namespace zq::platform {

enum : int {
  kCsidlPrograms = 0x02,        // Start menu programs of the user
  kCsidlDesktop = 0x10,         // desktop directory of the user
  kCsidlCommonPrograms = 0x17,  // Start menu programs of all users
  kCsidlCommonDesktop = 0x19,   // desktop directory of all users
  kCsidlAppData = 0x1a,
  kCsidlLocalAppData = 0x1c,
  kCsidlCommonAppData = 0x23,
  kCsidlWindows = 0x24,
  kCsidlProgramFiles = 0x26,  // the 32-bit programs' folder: Program Files (x86) on 64-bit Windows
  kCsidlProfile = 0x28,       // the user's profile folder
  // No CSIDL: the machine's own program files folder, which a 32-bit program cannot ask the
  // shell for; the 32-bit one on 32-bit Windows. (The 64-bit engine asks the shell for each.)
  kFolderProgramFiles64 = 0x10000,
};

// File-system path of the folder, without a trailing backslash; nullopt when unknown.
std::optional<std::string> SpecialFolderPath(int csidl);

}  // namespace zq::platform
