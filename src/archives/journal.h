// All-or-nothing archive updates: before an update overwrites or cuts any byte of the archive
// as it was, those bytes go to a journal beside it ("<archive>.zqj"), flushed first. The journal
// is removed once the archive is complete and flushed; an archive found with a journal beside
// it is rolled back before anything else touches it, but only by a journal that shows it was
// written for that archive.
//
// Journal layout (little-endian): "ZQJ2", u64 the archive's size when the update began, u32 span,
// u32 CRC-32 of the archive's first `span` bytes then and u32 CRC-32 of its last `span` bytes
// then (fewer when it was shorter): its identity; u32 CRC-32 of those 24 bytes. Then records,
// each ending in the CRC-32 of its own bytes so that a torn last record is recognised and
// ignored (its range had not been touched yet):
//   'R' u64 position, u32 length, the archive's old bytes
//   'S' u16 name length, name of a file in the archive's folder, u8 existed, u32 length, its old
//       content (by name, so a moved folder still recovers)
// "ZQJ1" journals (no identity) are never applied.
//
// Within a setup's run a journal is held: it outlives each update of the archive and grows with
// the next one, so that the run can still roll the archive back to where it was before the run
// began, and it is dropped only when the run commits.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "archives/archive_io.h"

namespace zq {

// A journal beside an archive as a rollback would judge it; nothing is written to find out.
struct JournalFinding {
  enum class Kind {
    None,       // no journal
    Empty,      // its header was torn: the update had not changed the archive yet
    Pending,    // an interrupted update of this archive, to be rolled back
    Foreign,    // not the archive's own (another archive's, an older format): never applied
    Unreadable  // the journal or the archive cannot be read
  };
  Kind kind = Kind::None;
  std::string reason;  // Foreign, Unreadable: why, in a few words
};

// What opening an archive did with the journal beside it.
struct JournalRecovery {
  enum class Outcome {
    NoJournal,
    RolledBack,  // the archive is as it was before the interrupted update (an empty journal too)
    Rejected,    // a Foreign journal was removed; the archive is left as it is
    Failed       // the rollback could not be completed; the journal stays for the next attempt
  };
  Outcome outcome = Outcome::NoJournal;
  std::string note;  // a line for the log; empty without a journal
  bool Usable() const { return outcome != Outcome::Failed; }
};

class ArchiveJournal {
 public:
  ArchiveJournal(ArchiveFileSystem& fs, std::string archive_path);

  static std::string PathFor(const std::string& archive_path);
  static JournalFinding Examine(ArchiveFileSystem& fs, const std::string& archive_path);
  // Rolls back an interrupted update when the journal beside the archive is its own; removes a
  // journal that is not. The archive is checked against the journal's identity before a byte
  // of it is written.
  static JournalRecovery Recover(ArchiveFileSystem& fs, const std::string& archive_path);

  // Starts the journal; a rollback restores the archive's present size. Throws ArchiveFailure.
  void Begin(ArchiveIO& archive);
  // Goes on with the held journal an earlier update of this run left beside the archive (Begin
  // when there is none): a rollback still restores the archive as it was before the first.
  // Throws ArchiveFailure for a journal that is not the archive's.
  void Resume(ArchiveIO& archive);
  // Commit keeps the journal instead of dropping it; the run drops it when it commits.
  void Hold() { held_ = true; }
  bool Active() const { return journal_ != nullptr; }
  // Keeps what the archive holds at [position, position + count) within its original size,
  // except ranges kept already.
  void KeepRange(ArchiveIO& archive, std::uint64_t position, std::uint64_t count);
  // Keeps a companion file in the archive's folder (or that it did not exist) before its first
  // change. Throws ArchiveFailure for a file elsewhere.
  void KeepSideFile(const std::string& path);
  // The archive (and companions written through WriteAll) is complete: flush, drop the journal
  // (or, held, flush it and keep it).
  void Commit(ArchiveIO& archive);
  // Forgets the journal without touching it (after a failed update, before Recover).
  void Detach() { journal_.reset(); }

 private:
  void Append(const std::vector<std::uint8_t>& record);

  ArchiveFileSystem& fs_;
  std::string archive_path_;
  std::unique_ptr<ArchiveIO> journal_;
  std::uint64_t journal_size_ = 0;
  std::uint64_t original_size_ = 0;
  bool held_ = false;
  std::map<std::uint64_t, std::uint64_t> kept_;  // start -> end, merged
  std::set<std::string> kept_files_;
};

// The archive as an update writes it: every write and cut is kept in the journal first.
class JournaledFile : public ArchiveIO {
 public:
  JournaledFile(ArchiveIO& inner, ArchiveJournal& journal) : inner_(inner), journal_(journal) {}
  std::size_t ReadAt(std::uint64_t position, void* buffer, std::size_t count) override {
    return inner_.ReadAt(position, buffer, count);
  }
  std::size_t WriteAt(std::uint64_t position, const void* buffer, std::size_t count) override;
  bool Truncate(std::uint64_t size) override;
  std::optional<std::uint64_t> Size() override { return inner_.Size(); }
  bool Flush() override { return inner_.Flush(); }

 private:
  ArchiveIO& inner_;
  ArchiveJournal& journal_;
};

}  // namespace zq
