// Inflates a group's entries on a second thread, ahead of the one that writes them, so that
// inflating and writing overlap. The entries come out in the order given; the bytes held ahead
// stay under a bound (one entry may exceed it alone).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "codec/zlib_codec.h"
#include "container/pak.h"
#include "platform/files.h"

namespace zq {

// A few entries ahead keep the writer busy; more would only raise the install's peak memory.
inline constexpr std::size_t kPrefetchBytes = 8u << 20;
// Small files are counted too: 8 MiB of 1 KB files would be thousands of buffers ahead.
inline constexpr std::size_t kPrefetchEntries = 64;

class EntryPrefetch {
 public:
  struct Result {
    std::optional<Bytes> data;      // nothing: the entry could not be read or inflated
    std::uint64_t decomp_size = 0;  // what came out, for the error box
  };

  // `order` lists entries below the large-entry size; the pak's directory must stay as it is
  // until this object is gone. With fewer than two entries, or no second handle on the file,
  // each entry is read when asked for, on the caller's thread.
  EntryPrefetch(TPak& pak, std::vector<std::size_t> order, std::size_t bound = kPrefetchBytes);
  ~EntryPrefetch();
  EntryPrefetch(const EntryPrefetch&) = delete;
  EntryPrefetch& operator=(const EntryPrefetch&) = delete;

  // The next entry of the order; rethrows what the inflating thread threw (an allocation failure).
  Result Next();

 private:
  void Work();
  bool HalfTaken() const;  // under mutex_

  TPak& pak_;
  std::vector<std::size_t> order_;
  std::size_t bound_;
  platform::File handle_;
  std::size_t taken_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Result> ready_;
  std::size_t held_ = 0;       // bytes in ready_
  bool worker_waits_ = false;  // from full until half is taken
  bool stop_ = false;
  std::exception_ptr failure_;
  std::thread worker_;
};

}  // namespace zq
