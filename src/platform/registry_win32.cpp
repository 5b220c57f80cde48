#include "platform/registry.h"

#include <windows.h>

#include "platform/machine_view.h"
#include "platform/win32_strings.h"

namespace zq::platform {
namespace {

using win32::Wide;

bool KnownRoot(std::uint32_t root) {
  switch (root) {
    case kHkeyClassesRoot:
    case kHkeyCurrentUser:
    case kHkeyLocalMachine:
    case kHkeyUsers:
    case kHkeyCurrentConfig: return true;
    default: return false;
  }
}

// The predefined handles are these numbers sign-extended to the pointer's width.
HKEY RootHandle(std::uint32_t root) {
  return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(root))));
}

// The 64-bit view when the setup takes the machine's own (a no-op on 32-bit Windows).
REGSAM View() { return NativeView() ? KEY_WOW64_64KEY : 0; }

std::string NormalizeKey(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
    out += c;
  }
  if (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

}  // namespace

struct Registry::Impl {
  std::uint32_t root = kHkeyCurrentUser;
  HKEY key = nullptr;

  HKEY RootKey() const { return KnownRoot(root) ? RootHandle(root) : nullptr; }
};

Registry::Registry() : impl_(std::make_unique<Impl>()) {}
Registry::~Registry() { CloseKey(); }

void Registry::SetRoot(std::uint32_t root_key) {
  CloseKey();
  impl_->root = root_key;
}

std::uint32_t Registry::Root() const { return impl_->root; }

bool Registry::OpenKey(const std::string& path, bool can_create) {
  CloseKey();
  HKEY root = impl_->RootKey();
  if (root == nullptr) return false;
  const std::wstring sub = Wide(NormalizeKey(path));
  HKEY key = nullptr;
  LONG rc;
  if (can_create) {
    rc = RegCreateKeyExW(root, sub.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE | View(), nullptr, &key, nullptr);
  } else {
    rc = RegOpenKeyExW(root, sub.c_str(), 0, KEY_READ | KEY_WRITE | View(), &key);
  }
  // Without the right to write (HKLM for a standard user) the key can still be read.
  if (rc == ERROR_ACCESS_DENIED) rc = RegOpenKeyExW(root, sub.c_str(), 0, KEY_READ | View(), &key);
  if (rc != ERROR_SUCCESS) return false;
  impl_->key = key;
  return true;
}

void Registry::CloseKey() {
  if (impl_->key != nullptr) RegCloseKey(impl_->key);
  impl_->key = nullptr;
}

bool Registry::HasOpenKey() const { return impl_->key != nullptr; }

std::optional<std::string> Registry::ReadString(const std::string& name) {
  if (impl_->key == nullptr) return std::nullopt;
  const std::wstring wname = Wide(name);
  DWORD type = 0, size = 0;
  LONG rc = RegQueryValueExW(impl_->key, wname.c_str(), nullptr, &type, nullptr, &size);
  std::wstring data;
  // The value may grow between the two calls.
  for (int attempt = 0; attempt < 8 && rc == ERROR_SUCCESS; ++attempt) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    data.assign(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    rc = RegQueryValueExW(impl_->key, wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
    if (rc == ERROR_MORE_DATA) {
      size = got;
      rc = ERROR_SUCCESS;
      continue;
    }
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
    data.resize(got / sizeof(wchar_t));
    // Stored strings need not end with a null, and may carry several.
    while (!data.empty() && data.back() == L'\0') data.pop_back();
    return win32::Narrow(data);
  }
  return std::nullopt;
}

bool Registry::WriteString(const std::string& name, const std::string& value) {
  if (impl_->key == nullptr) return false;
  const std::wstring wvalue = Wide(value);
  const DWORD bytes = static_cast<DWORD>((wvalue.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(impl_->key, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wvalue.c_str()),
                        bytes) == ERROR_SUCCESS;
}

std::optional<std::uint32_t> Registry::ReadDword(const std::string& name) {
  if (impl_->key == nullptr) return std::nullopt;
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExW(impl_->key, Wide(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value) {
    return std::nullopt;
  }
  return value;
}

bool Registry::WriteDword(const std::string& name, std::uint32_t value) {
  if (impl_->key == nullptr) return false;
  const DWORD data = value;
  return RegSetValueExW(impl_->key, Wide(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof data) == ERROR_SUCCESS;
}

bool Registry::ValueExists(const std::string& name) {
  if (impl_->key == nullptr) return false;
  LONG rc = RegQueryValueExW(impl_->key, Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr);
  return rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA;
}

bool Registry::DeleteValue(const std::string& name) {
  return impl_->key != nullptr && RegDeleteValueW(impl_->key, Wide(name).c_str()) == ERROR_SUCCESS;
}

std::vector<std::string> Registry::ValueNames() {
  std::vector<std::string> names;
  if (impl_->key == nullptr) return names;
  DWORD count = 0, longest = 0;
  if (RegQueryInfoKeyW(impl_->key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return names;
  std::wstring buf(longest + 1, L'\0');
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(buf.size());
    LONG rc = RegEnumValueW(impl_->key, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) {  // a longer name was added meanwhile
      buf.resize(buf.size() * 2);
      --i;
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    names.push_back(win32::Narrow(buf.data(), len));
  }
  return names;
}

bool Registry::KeyExists(const std::string& path) {
  HKEY root = impl_->RootKey();
  if (root == nullptr) return false;
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExW(root, Wide(NormalizeKey(path)).c_str(), 0, KEY_QUERY_VALUE | View(), &key);
  if (rc == ERROR_SUCCESS) RegCloseKey(key);
  return rc == ERROR_SUCCESS || rc == ERROR_ACCESS_DENIED;  // denied: it is there, just not ours
}

bool Registry::KeyIsEmpty(const std::string& path) {
  HKEY root = impl_->RootKey();
  const std::string normal = NormalizeKey(path);
  if (root == nullptr || normal.empty()) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, Wide(normal).c_str(), 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &key) != ERROR_SUCCESS) {
    return false;
  }
  DWORD subkeys = 0, values = 0;
  const LONG rc = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

bool Registry::DeleteKey(const std::string& path) {
  HKEY root = impl_->RootKey();
  const std::string key = NormalizeKey(path);
  if (root == nullptr || key.empty()) return false;
  const std::wstring sub = Wide(key);
  // Opened in the view first: the tree call itself takes no view.
  HKEY opened = nullptr;
  LONG rc = RegOpenKeyExW(root, sub.c_str(), 0, KEY_ALL_ACCESS | View(), &opened);
  if (rc != ERROR_SUCCESS) return false;
  rc = RegDeleteTreeW(opened, nullptr);
  RegCloseKey(opened);
  if (rc != ERROR_SUCCESS) return false;
  // Some implementations empty the key but leave it in place.
  rc = RegDeleteKeyExW(root, sub.c_str(), View(), 0);
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

}  // namespace zq::platform
