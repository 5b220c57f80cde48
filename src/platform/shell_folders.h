// Shell special folders by their CSIDL numbers.
#pragma once

#include <optional>
#include <string>

namespace zq::platform {

enum : int {
  kCsidlPrograms = 0x02,  // Start menu programs of the user
  kCsidlDesktop = 0x10,   // desktop directory of the user
  kCsidlAppData = 0x1a,
  kCsidlWindows = 0x24,
  kCsidlProgramFiles = 0x26,
  kCsidlProfile = 0x28,  // the user's profile folder
};

// File-system path of the folder, without a trailing backslash; nullopt when unknown.
std::optional<std::string> SpecialFolderPath(int csidl);

}  // namespace zq::platform
