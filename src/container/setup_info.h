// The setup information record: names, where the setup installs, and whether this
// executable is the setup or its uninstaller. Stored as the entry "SetupInfo".
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zq {

struct RegKeyRef {
  std::uint8_t HKEY = 0;  // root code 0..4
  std::string Path;
  std::string Key;  // empty: no registry lookup
};

// What the executable is. Stored as one byte; a damaged record may hold any other value, which
// start-up refuses.
enum class SetupMode : std::uint8_t { Setup = 0, Uninstaller = 1 };

class TSetupInfoFile {
 public:
  std::string SetupName;
  std::string ShortName;
  std::string SetupExeName;
  std::string UninstallExeName;
  std::string LogPrefix;
  std::string InstallDir;
  std::string Changelog;
  RegKeyRef InstallDirRegKey;
  std::string Pages;
  std::string UninstallPages;
  SetupMode Mode = SetupMode::Setup;
  std::uint8_t HasUninstaller = 0;

  // Reads every field in order. A record that ends early is refused whole: false, the fields
  // are left as they were and `problem` names the field that is cut.
  bool LoadFromBuffer(const void* data, std::size_t size, std::string* problem = nullptr);
  std::vector<std::uint8_t> Serialize() const;
  // Passes every text field through `convert` (text read in a legacy code page, to UTF-8).
  void MapText(const std::function<std::string(const std::string&)>& convert);
  // Creates or truncates the file and writes the record; false when it could not be written.
  bool SaveToFile(const std::string& path) const;
};

}  // namespace zq
