#include "platform/host_paths.h"

namespace zq::platform::host {
namespace {

constexpr int kSchemaVersion = 1;

// Key paths and value names are stored twice: as written, and folded to lower case by
// the code page's rules (the `l` columns) for lookups, so comparison without regard to
// case is an exact BLOB match and a subtree is one index range.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    "  root INTEGER NOT NULL, lpath BLOB NOT NULL, path BLOB NOT NULL,"
    "  PRIMARY KEY(root, lpath));"
    "CREATE TABLE IF NOT EXISTS vals("
    "  root INTEGER NOT NULL, lpath BLOB NOT NULL, lname BLOB NOT NULL, name BLOB NOT NULL,"
    "  type INTEGER NOT NULL, data BLOB NOT NULL,"
    "  PRIMARY KEY(root, lpath, lname));"
    "CREATE TABLE IF NOT EXISTS drives(letter INTEGER PRIMARY KEY, type INTEGER NOT NULL);";

int UserVersion(sqlite3* db) {
  sqlite3_stmt* st = nullptr;
  int version = -1;
  if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
    version = sqlite3_column_int(st, 0);
  sqlite3_finalize(st);
  return version;
}

}  // namespace

std::unique_ptr<Db> Db::Open() {
  std::string file = ReadyPrefix() + "/system.db";
  sqlite3* raw = nullptr;
  int rc =
      sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  std::unique_ptr<Db> db(new Db(raw, file));
  if (rc != SQLITE_OK) return nullptr;
  // Several processes may share a prefix: wait for each other instead of failing.
  sqlite3_busy_timeout(raw, 5000);
  if (!db->Exec("PRAGMA journal_mode=WAL") || !db->Exec("PRAGMA synchronous=NORMAL")) return nullptr;
  if (UserVersion(raw) == kSchemaVersion) return db;
  if (!db->Begin()) return nullptr;
  if (UserVersion(raw) != kSchemaVersion) {
    if (!db->Exec(kSchema) || !db->Exec(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str())) {
      db->Rollback();
      return nullptr;
    }
  }
  if (!db->Commit()) return nullptr;
  return db;
}

Db::~Db() { sqlite3_close_v2(db_); }

bool Db::Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

Stmt::Stmt(const Db& db, const char* sql) {
  if (sqlite3_prepare_v2(db.handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }
}

Stmt::~Stmt() { sqlite3_finalize(stmt_); }

Stmt& Stmt::Reset() {
  if (stmt_ != nullptr) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  return *this;
}

Stmt& Stmt::Bind(int index, std::int64_t value) {
  if (stmt_ != nullptr) sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

Stmt& Stmt::BindBlob(int index, const std::string& bytes) {
  // A null data pointer would bind SQL NULL; an empty name must stay an empty BLOB.
  if (stmt_ != nullptr) {
    if (bytes.empty()) sqlite3_bind_zeroblob(stmt_, index, 0);
    else sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  }
  return *this;
}

int Stmt::Step() { return stmt_ != nullptr ? sqlite3_step(stmt_) : SQLITE_MISUSE; }

std::int64_t Stmt::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Stmt::Blob(int column) const {
  const void* data = sqlite3_column_blob(stmt_, column);
  int size = sqlite3_column_bytes(stmt_, column);
  if (data == nullptr || size <= 0) return {};
  return std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

}  // namespace zq::platform::host
