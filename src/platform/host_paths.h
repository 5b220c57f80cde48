// Host only, private to platform/: the prefix's layout and its database, shared by the
// *_posix.cpp files.
#pragma once

#ifndef _WIN32

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zq::platform::host {

// The prefix with its layout made (done once per prefix, thread-safe).
std::string ReadyPrefix();
// The user the prefix's C:\users\<name> belongs to.
std::string UserName();
// "<prefix>/dosdevices/x:" for a letter; nullopt when the letter is no drive letter.
std::optional<std::string> DriveLink(char letter);
// Lower-case drive letter of "X:", "X:\..." or "X:/..."; nullopt otherwise.
std::optional<char> DriveLetterOf(const std::string& path);

// The case-insensitive lookup keeps each folder's names; the file layer reports what it
// creates (kept in step) and what it removes or renames (the folder is read again). Changes
// made by others are seen through the folder's modification time.
void NoteEntryAdded(const std::string& host_path);
void NoteEntryRemoved(const std::string& host_path);

// One connection to <prefix>/system.db with the schema in place.
class Db {
 public:
  static std::unique_ptr<Db> Open();
  ~Db();
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  sqlite3* handle() const { return db_; }
  const std::string& file() const { return file_; }
  bool Exec(const char* sql);
  // BEGIN IMMEDIATE, so a writer waits for others here and not halfway through.
  bool Begin() { return Exec("BEGIN IMMEDIATE"); }
  bool Commit() { return Exec("COMMIT"); }
  void Rollback() { Exec("ROLLBACK"); }

 private:
  Db(sqlite3* db, std::string file) : db_(db), file_(std::move(file)) {}
  sqlite3* db_;
  std::string file_;
};

// A prepared statement with positional binding from 1.
class Stmt {
 public:
  Stmt(const Db& db, const char* sql);
  ~Stmt();
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  // Ready to run again with new bindings.
  Stmt& Reset();
  Stmt& Bind(int index, std::int64_t value);
  Stmt& BindBlob(int index, const std::string& bytes);
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step();
  // True when the statement ran to completion without error.
  bool Run() { return Step() == SQLITE_DONE; }
  std::int64_t Int(int column) const;
  std::string Blob(int column) const;

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace zq::platform::host

#endif
