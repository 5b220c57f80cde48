#include "base/registry_roots.h"

#include "base/path_text.h"
#include "platform/registry.h"

namespace zq {

std::uint8_t RootNameToCode(const std::string& name) {
  const std::string up = AsciiUpperCase(name);
  if (up == "HKCU") return 1;
  if (up == "HKCR") return 2;
  if (up == "HKU") return 3;
  if (up == "HKCC") return 4;
  return 0;
}

std::uint32_t RootCodeToKey(int code) {
  switch (code) {
    case 0: return platform::kHkeyLocalMachine;
    case 1: return platform::kHkeyCurrentUser;
    case 2: return platform::kHkeyClassesRoot;
    case 3: return platform::kHkeyUsers;
    case 4: return platform::kHkeyCurrentConfig;
    default: return 0;
  }
}

std::string RootCodeToName(int code) {
  switch (code) {
    case 0: return "HKEY_LOCAL_MACHINE";
    case 1: return "HKEY_CURRENT_USER";
    case 2: return "HKEY_CLASSES_ROOT";
    case 3: return "HKEY_USERS";
    case 4: return "HKEY_CURRENT_CONFIG";
    default: return "!ERROR!";
  }
}

}  // namespace zq
