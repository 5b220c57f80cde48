// The registry. win32: the system's own. Host: an embedded SQLite database in the
// prefix, with key paths and value names compared without regard to case and one
// transaction per change.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zq::platform {

// Predefined root keys, by their Windows handle values.
enum : std::uint32_t {
  kHkeyClassesRoot = 0x80000000u,
  kHkeyCurrentUser = 0x80000001u,
  kHkeyLocalMachine = 0x80000002u,
  kHkeyUsers = 0x80000003u,
  kHkeyCurrentConfig = 0x80000005u,
};

// One registry accessor: set a root, open a key below it, read and write its values.
// Key paths use backslashes; leading and trailing backslashes are ignored.
class Registry {
 public:
  Registry();
  ~Registry();
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  // Closes any open key. An unknown root makes every later call fail. The root starts
  // as HKEY_CURRENT_USER.
  void SetRoot(std::uint32_t root_key);
  std::uint32_t Root() const;

  // Opens the key; with can_create, missing keys along the path are created.
  bool OpenKey(const std::string& path, bool can_create);
  void CloseKey();
  bool HasOpenKey() const;

  // Values of the open key. ReadString gives nullopt for a missing value or one that is
  // not a string; ReadDword likewise for one that is not a REG_DWORD.
  std::optional<std::string> ReadString(const std::string& name);
  bool WriteString(const std::string& name, const std::string& value);
  std::optional<std::uint32_t> ReadDword(const std::string& name);
  bool WriteDword(const std::string& name, std::uint32_t value);
  bool ValueExists(const std::string& name);
  bool DeleteValue(const std::string& name);
  std::vector<std::string> ValueNames();

  // Relative to the root, independent of the open key.
  bool KeyExists(const std::string& path);
  // The key exists and holds neither values nor subkeys (relative to the root).
  bool KeyIsEmpty(const std::string& path);
  // Deletes the key with all its subkeys and values.
  bool DeleteKey(const std::string& path);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zq::platform
