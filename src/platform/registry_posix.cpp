#include "platform/registry.h"

#include <utility>

#include "platform/host_paths.h"
#include "platform/text.h"

namespace zq::platform {
namespace {

// The `type` column holds the system's own type codes; a REG_DWORD's data is its four bytes,
// little-endian, as the system stores it.
constexpr std::int64_t kRegSz = 1;
constexpr std::int64_t kRegExpandSz = 2;
constexpr std::int64_t kRegDword = 4;

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

// Backslash-separated, no leading or trailing backslash, no empty components.
std::string NormalizeKey(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
    out += c;
  }
  if (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

std::string Fold(const std::string& text) { return LowerCase(text); }

}  // namespace

struct Registry::Impl {
  std::uint32_t root = kHkeyCurrentUser;
  std::optional<std::string> key;  // the open key's normalised path
  std::unique_ptr<host::Db> db;

  // The current prefix's database; reopened when the prefix changed.
  host::Db* Database() {
    if (!KnownRoot(root)) return nullptr;
    if (db && db->file() == host::ReadyPrefix() + "/system.db") return db.get();
    db = host::Db::Open();
    return db.get();
  }

  bool KeyRowExists(host::Db& d, const std::string& path) {
    if (path.empty()) return true;
    host::Stmt st(d, "SELECT 1 FROM keys WHERE root = ?1 AND lpath = ?2");
    return st.Bind(1, root).BindBlob(2, Fold(path)).Step() == SQLITE_ROW;
  }

  // Creates `path` and its missing ancestors, inside the caller's transaction.
  bool CreateKeys(host::Db& d, const std::string& path) {
    host::Stmt insert(d, "INSERT OR IGNORE INTO keys(root, lpath, path) VALUES(?1, ?2, ?3)");
    for (std::size_t pos = 0; pos <= path.size(); ++pos) {
      if (pos == 0 || (pos != path.size() && path[pos] != '\\')) continue;
      const std::string part = path.substr(0, pos);
      if (!insert.Reset().Bind(1, root).BindBlob(2, Fold(part)).BindBlob(3, part).Run()) return false;
    }
    return true;
  }

  // The open key's value: its type and data.
  std::optional<std::pair<std::int64_t, std::string>> Read(const std::string& name) {
    host::Db* d = Database();
    if (d == nullptr || !key) return std::nullopt;
    host::Stmt st(*d, "SELECT type, data FROM vals WHERE root = ?1 AND lpath = ?2 AND lname = ?3");
    if (st.Bind(1, root).BindBlob(2, Fold(*key)).BindBlob(3, Fold(name)).Step() != SQLITE_ROW) return std::nullopt;
    return std::make_pair(st.Int(0), st.Blob(1));
  }

  bool Write(const std::string& name, std::int64_t type, const std::string& data) {
    return Change([&](host::Db& d) {
      // An upsert keeps the name as first written and the value's place in the listing.
      host::Stmt st(d,
                    "INSERT INTO vals(root, lpath, lname, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5, ?6) "
                    "ON CONFLICT(root, lpath, lname) DO UPDATE SET type = excluded.type, data = excluded.data");
      return st.Bind(1, root)
          .BindBlob(2, Fold(*key))
          .BindBlob(3, Fold(name))
          .BindBlob(4, name)
          .Bind(5, type)
          .BindBlob(6, data)
          .Run();
    });
  }

  // Runs `change` in one transaction, on the open key that must still exist.
  template <typename F>
  bool Change(F change) {
    host::Db* d = Database();
    if (d == nullptr || !key || !d->Begin()) return false;
    if (!KeyRowExists(*d, *key) || !change(*d)) {
      d->Rollback();
      return false;
    }
    return d->Commit();
  }
};

Registry::Registry() : impl_(std::make_unique<Impl>()) {}
Registry::~Registry() = default;

void Registry::SetRoot(std::uint32_t root_key) {
  CloseKey();
  impl_->root = root_key;
}

std::uint32_t Registry::Root() const { return impl_->root; }

bool Registry::OpenKey(const std::string& path, bool can_create) {
  CloseKey();
  host::Db* d = impl_->Database();
  if (d == nullptr) return false;
  const std::string key = NormalizeKey(path);
  if (can_create) {
    if (!d->Begin()) return false;
    if (!impl_->CreateKeys(*d, key)) {
      d->Rollback();
      return false;
    }
    if (!d->Commit()) return false;
  } else if (!impl_->KeyRowExists(*d, key)) {
    return false;
  }
  impl_->key = key;
  return true;
}

void Registry::CloseKey() { impl_->key.reset(); }

bool Registry::HasOpenKey() const { return impl_->key.has_value(); }

std::optional<std::string> Registry::ReadString(const std::string& name) {
  auto value = impl_->Read(name);
  if (!value || (value->first != kRegSz && value->first != kRegExpandSz)) return std::nullopt;
  return value->second;
}

bool Registry::WriteString(const std::string& name, const std::string& value) {
  return impl_->Write(name, kRegSz, value);
}

std::optional<std::uint32_t> Registry::ReadDword(const std::string& name) {
  auto value = impl_->Read(name);
  if (!value || value->first != kRegDword || value->second.size() != 4) return std::nullopt;
  const std::string& d = value->second;
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(d[static_cast<std::size_t>(i)]);
  return v;
}

bool Registry::WriteDword(const std::string& name, std::uint32_t value) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
  return impl_->Write(name, kRegDword, data);
}

bool Registry::ValueExists(const std::string& name) {
  host::Db* d = impl_->Database();
  if (d == nullptr || !impl_->key) return false;
  host::Stmt st(*d, "SELECT 1 FROM vals WHERE root = ?1 AND lpath = ?2 AND lname = ?3");
  return st.Bind(1, impl_->root).BindBlob(2, Fold(*impl_->key)).BindBlob(3, Fold(name)).Step() == SQLITE_ROW;
}

bool Registry::DeleteValue(const std::string& name) {
  return impl_->Change([&](host::Db& d) {
    host::Stmt st(d, "DELETE FROM vals WHERE root = ?1 AND lpath = ?2 AND lname = ?3");
    return st.Bind(1, impl_->root).BindBlob(2, Fold(*impl_->key)).BindBlob(3, Fold(name)).Run() &&
           sqlite3_changes(d.handle()) > 0;
  });
}

std::vector<std::string> Registry::ValueNames() {
  std::vector<std::string> names;
  host::Db* d = impl_->Database();
  if (d == nullptr || !impl_->key) return names;
  host::Stmt st(*d, "SELECT name FROM vals WHERE root = ?1 AND lpath = ?2 ORDER BY rowid");
  st.Bind(1, impl_->root).BindBlob(2, Fold(*impl_->key));
  while (st.Step() == SQLITE_ROW) names.push_back(st.Blob(0));
  return names;
}

bool Registry::KeyExists(const std::string& path) {
  host::Db* d = impl_->Database();
  return d != nullptr && impl_->KeyRowExists(*d, NormalizeKey(path));
}

bool Registry::KeyIsEmpty(const std::string& path) {
  host::Db* d = impl_->Database();
  const std::string key = Fold(NormalizeKey(path));
  if (d == nullptr || key.empty() || !impl_->KeyRowExists(*d, NormalizeKey(path))) return false;
  const std::string lo = key + '\\', hi = key + ']';
  host::Stmt sub(*d, "SELECT 1 FROM keys WHERE root = ?1 AND lpath >= ?2 AND lpath < ?3 LIMIT 1");
  if (sub.Bind(1, impl_->root).BindBlob(2, lo).BindBlob(3, hi).Step() == SQLITE_ROW) return false;
  host::Stmt vals(*d, "SELECT 1 FROM vals WHERE root = ?1 AND lpath = ?2 LIMIT 1");
  return vals.Bind(1, impl_->root).BindBlob(2, key).Step() != SQLITE_ROW;
}

bool Registry::DeleteKey(const std::string& path) {
  host::Db* d = impl_->Database();
  const std::string key = Fold(NormalizeKey(path));
  if (d == nullptr || key.empty() || !d->Begin()) return false;
  // The subtree is the key itself and the paths in [key + "\", key + "]"): ']' follows '\'.
  const std::string lo = key + '\\', hi = key + ']';
  const char* where = " WHERE root = ?1 AND (lpath = ?2 OR (lpath >= ?3 AND lpath < ?4))";
  host::Stmt keys(*d, (std::string("DELETE FROM keys") + where).c_str());
  bool ok = keys.Bind(1, impl_->root).BindBlob(2, key).BindBlob(3, lo).BindBlob(4, hi).Run() &&
            sqlite3_changes(d->handle()) > 0;
  if (ok) {
    host::Stmt vals(*d, (std::string("DELETE FROM vals") + where).c_str());
    ok = vals.Bind(1, impl_->root).BindBlob(2, key).BindBlob(3, lo).BindBlob(4, hi).Run();
  }
  if (!ok) {
    d->Rollback();
    return false;
  }
  return d->Commit();
}

}  // namespace zq::platform
