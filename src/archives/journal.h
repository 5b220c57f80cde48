// All-or-nothing archive updates: before an update overwrites or cuts any byte of the archive
// as it was, those bytes go to a journal beside it ("<archive>.zqj"), flushed first. The journal
// is removed once the archive is complete and flushed; an archive found with a journal beside
// it is rolled back before anything else touches it.
//
// Journal layout (little-endian): "ZQJ1", u64 original archive size, u32 CRC-32 of those 12
// bytes; then records, each ending in the CRC-32 of its own bytes so that a torn last record is
// recognised and ignored (its range had not been touched yet):
//   'R' u64 position, u32 length, the archive's old bytes
//   'S' u16 path length, path, u8 existed, u32 length, the companion file's old content
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "archives/archive_io.h"

namespace zq {

class TJournal {
 public:
  TJournal(TArchiveFileSystem& fs, std::string archive_path);

  static std::string PathFor(const std::string& archive_path);
  // Rolls back an interrupted update when a journal lies beside the archive. False when the
  // rollback could not be completed (the journal then stays for the next attempt).
  static bool Recover(TArchiveFileSystem& fs, const std::string& archive_path);

  // Starts the journal; a rollback restores the archive's present size. Throws TArchiveFailure.
  void Begin(TArchiveIO& archive);
  bool Active() const { return journal_ != nullptr; }
  // Keeps what the archive holds at [position, position + count) within its original size,
  // except ranges kept already.
  void KeepRange(TArchiveIO& archive, std::uint64_t position, std::uint64_t count);
  // Keeps a companion file (or that it did not exist) before its first change.
  void KeepSideFile(const std::string& path);
  // The archive (and companions written through WriteAll) is complete: flush, drop the journal.
  void Commit(TArchiveIO& archive);
  // Forgets the journal without touching it (after a failed update, before Recover).
  void Detach() { journal_.reset(); }

 private:
  void Append(const std::vector<std::uint8_t>& record);

  TArchiveFileSystem& fs_;
  std::string archive_path_;
  std::unique_ptr<TArchiveIO> journal_;
  std::uint64_t journal_size_ = 0;
  std::uint64_t original_size_ = 0;
  std::map<std::uint64_t, std::uint64_t> kept_;  // start -> end, merged
  std::set<std::string> kept_files_;
};

// The archive as an update writes it: every write and cut is kept in the journal first.
class TJournaledFile : public TArchiveIO {
 public:
  TJournaledFile(TArchiveIO& inner, TJournal& journal) : inner_(inner), journal_(journal) {}
  std::size_t ReadAt(std::uint64_t position, void* buffer, std::size_t count) override {
    return inner_.ReadAt(position, buffer, count);
  }
  std::size_t WriteAt(std::uint64_t position, const void* buffer, std::size_t count) override;
  bool Truncate(std::uint64_t size) override;
  std::optional<std::uint64_t> Size() override { return inner_.Size(); }
  bool Flush() override { return inner_.Flush(); }

 private:
  TArchiveIO& inner_;
  TJournal& journal_;
};

}  // namespace zq
