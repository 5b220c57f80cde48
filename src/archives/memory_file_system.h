// A file system in memory for the archive tests, with a fault at a chosen write: the N-th
// change (write, cut, creation or removal of a file) either fails (a full disk) or "crashes" the
// process (throws SimulatedCrash and lets nothing else through). Flush points can be recorded.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

#include "archives/archive_io.h"
#include "codec/zlib_codec.h"

namespace zq::test {

struct SimulatedCrash {};

class MemoryFileSystem : public ArchiveFileSystem {
 public:
  enum class Fault { Fail, Crash };

  std::map<std::string, Bytes> Files;
  std::size_t Changes = 0;  // changes made so far
  std::size_t FaultAt = 0;  // 1-based change that faults; 0: none
  Fault Kind = Fault::Crash;
  bool Crashed = false;
  // Called after every successful flush with the path flushed.
  std::function<void(const std::string&)> OnFlush;

  std::unique_ptr<ArchiveIO> Open(const std::string& path, bool create) override;
  bool Exists(const std::string& path) override { return Files.count(path) != 0; }
  bool Remove(const std::string& path) override {
    if (!Change()) return false;
    return Files.erase(path) != 0;
  }

  // False when this change is the faulting one (and it fails); throws when it crashes.
  bool Change() {
    if (Crashed) throw SimulatedCrash{};
    ++Changes;
    if (FaultAt == 0 || Changes != FaultAt) return true;
    if (Kind == Fault::Crash) {
      Crashed = true;
      throw SimulatedCrash{};
    }
    return false;
  }
};

class MemoryFile : public ArchiveIO {
 public:
  MemoryFile(MemoryFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
  std::size_t ReadAt(std::uint64_t position, void* buffer, std::size_t count) override {
    if (fs_.Crashed) throw SimulatedCrash{};
    const Bytes& b = fs_.Files[path_];
    if (position >= b.size()) return 0;
    const std::size_t n = std::min<std::size_t>(count, b.size() - position);
    if (n > 0) std::memcpy(buffer, b.data() + position, n);
    return n;
  }
  std::size_t WriteAt(std::uint64_t position, const void* buffer, std::size_t count) override {
    if (!fs_.Change()) return 0;
    Bytes& b = fs_.Files[path_];
    if (b.size() < position + count) b.resize(position + count);
    if (count > 0) std::memcpy(b.data() + position, buffer, count);
    return count;
  }
  bool Truncate(std::uint64_t size) override {
    if (!fs_.Change()) return false;
    fs_.Files[path_].resize(size);
    return true;
  }
  std::optional<std::uint64_t> Size() override { return fs_.Files[path_].size(); }
  bool Flush() override {
    if (fs_.Crashed) throw SimulatedCrash{};
    if (fs_.OnFlush) fs_.OnFlush(path_);
    return true;
  }

 private:
  MemoryFileSystem& fs_;
  std::string path_;
};

inline std::unique_ptr<ArchiveIO> MemoryFileSystem::Open(const std::string& path, bool create) {
  if (Crashed) throw SimulatedCrash{};
  if (create) {
    if (!Change()) return nullptr;
    Files[path].clear();
  } else if (!Exists(path)) {
    return nullptr;
  }
  return std::make_unique<MemoryFile>(*this, path);
}

}  // namespace zq::test
