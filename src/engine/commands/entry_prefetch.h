// Reads and inflates a group's entries on a second thread, ahead of the one that writes them,
// so that inflating and writing overlap. The entries come out in the order given, each a piece
// at a time (TPak::StreamEntryWith), and the bytes held ahead stay under a bound in bytes, so
// an entry of any size passes through a few MiB.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "codec/zlib_codec.h"
#include "container/pak.h"
#include "platform/files.h"

namespace zq {

// A few MiB ahead keep the writer busy; more would only raise the install's peak memory.
inline constexpr std::size_t kPrefetchBytes = 8u << 20;
// Small files are counted too: 8 MiB of 1 KB files would be thousands of buffers ahead.
inline constexpr std::size_t kPrefetchEntries = 64;
// Buffers written out come back for the next entries (BufferPool): a whole entry's stored block
// and data take one each, so four keep both threads supplied, at most 16 MiB.
inline constexpr std::size_t kPrefetchSpareBuffers = 4;

class EntryPrefetch {
 public:
  // `order` lists entries that are not of solid blocks; the pak's directory must stay as it is
  // until this object is gone. Without a second handle on the file, or with nothing to overlap,
  // each entry is read when asked for, on the caller's thread.
  EntryPrefetch(TPak& pak, std::vector<std::size_t> order, std::size_t bound = kPrefetchBytes);
  ~EntryPrefetch();
  EntryPrefetch(const EntryPrefetch&) = delete;
  EntryPrefetch& operator=(const EntryPrefetch&) = delete;

  // Passes the next entry of the order to `sink`, as TPak::StreamEntryWith does: a damaged
  // entry may have given pieces before it says so. Past the last entry: Damaged. Rethrows what
  // the reading thread threw (an allocation failure).
  EntryRead Next(const PieceSink& sink, std::uint64_t& decomp_size);

 private:
  struct Piece {
    Bytes data;
    bool last = false;  // the entry's end; then `end` and `decomp_size` say how it ended
    EntryRead end = EntryRead::Ok;
    std::uint64_t decomp_size = 0;
  };
  void Work();
  // Waits for room and queues the piece; false once stopped.
  bool Push(Piece piece);
  bool HalfTaken() const;  // under mutex_

  TPak& pak_;
  std::vector<std::size_t> order_;
  std::size_t bound_;
  platform::File handle_;
  std::size_t taken_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Piece> ready_;
  std::size_t held_ = 0;  // bytes in ready_
  bool stop_ = false;
  bool worker_waits_ = false;  // from full until half is taken
  std::exception_ptr failure_;
  BufferPool pool_{kPrefetchSpareBuffers, kWholeEntryLimit};
  std::thread worker_;
};

}  // namespace zq
