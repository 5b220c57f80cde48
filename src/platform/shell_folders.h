// Shell special folders by their CSIDL numbers.
#pragma once

#include <optional>
#include <string>

namespace zq::platform {

enum : int {
  kCsidlPrograms = 0x02,      // Start menu programs of the user
  kCsidlDesktop = 0x10,       // desktop directory of the user
  kCsidlAppData = 0x1a,
  kCsidlProgramFiles = 0x26,
};

// File-system path of the folder, without a trailing backslash; nullopt when unknown.
std::optional<std::string> SpecialFolderPath(int csidl);

}  // namespace zq::platform
