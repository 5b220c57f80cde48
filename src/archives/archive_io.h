// How the archives reach their files: positioned reads and writes over an interface, so that
// tests can run every update over a file system that fails or "crashes" at a chosen write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"

namespace zq {

// An update that cannot go on (short write, no free block, damaged data). The procedures
// catch it, roll the archive back and report the message.
class ArchiveFailure : public Error {
 public:
  using Error::Error;
};

class ArchiveIO {
 public:
  virtual ~ArchiveIO() = default;
  // Bytes actually transferred; short at the end of the file or on an error.
  virtual std::size_t ReadAt(std::uint64_t position, void* buffer, std::size_t count) = 0;
  virtual std::size_t WriteAt(std::uint64_t position, const void* buffer, std::size_t count) = 0;
  virtual bool Truncate(std::uint64_t size) = 0;
  virtual std::optional<std::uint64_t> Size() = 0;
  virtual bool Flush() = 0;
};

class ArchiveFileSystem {
 public:
  virtual ~ArchiveFileSystem() = default;
  // An existing file for reading and writing; with `create`, a new empty one (truncating).
  virtual std::unique_ptr<ArchiveIO> Open(const std::string& path, bool create) = 0;
  // An existing file to read only: inspecting needs no write access (a read-only archive).
  virtual std::unique_ptr<ArchiveIO> OpenForReading(const std::string& path) { return Open(path, false); }
  virtual bool Exists(const std::string& path) = 0;
  virtual bool Remove(const std::string& path) = 0;
  // Clears a read-only attribute; false when that fails.
  virtual bool MakeWritable(const std::string& path) {
    (void)path;
    return true;
  }
};

// The platform's files.
ArchiveFileSystem& SystemFileSystem();

// Whole-file helpers over the interface; nullopt when the file cannot be read.
std::optional<std::vector<std::uint8_t>> ReadAll(ArchiveFileSystem& fs, const std::string& path);
bool WriteAll(ArchiveFileSystem& fs, const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace zq
