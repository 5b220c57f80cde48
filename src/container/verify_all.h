// Checking every entry of a package on all cores, as start-up and zq verify do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "container/pak.h"

namespace zq {

struct VerifyResult {
  std::optional<std::size_t> first_failure;  // lowest index that failed
  std::size_t skipped = 0;                   // empty entries, never checked
  std::size_t unchecked = 0;                 // large entries without a CRC, passed without reading
  bool could_not_read = false;               // the file could not be opened again
};

// What all threads together may hold at once, on any number of cores. No entry's check holds
// more than twice kWholeEntryLimit (larger ones are read a piece at a time), so the bound is
// never passed; a few MiB per thread keep two to four cores busy with a usual payload.
inline constexpr std::uint64_t kVerifyBytesInFlight = 16u << 20;

struct VerifyOptions {
  unsigned threads = 0;  // 0: one per core, at most 16
  // Bytes the checks of the entries in hand hold (BytesHeldReading), whatever the number of
  // threads; an entry that needs more than this alone is checked while no other is.
  std::uint64_t bytes_in_flight = kVerifyBytesInFlight;
  // Checks entry i through the thread's own handle; empty: TPak::VerifyEntryWith.
  std::function<bool(platform::File& handle, std::size_t index)> check;
};

// Entries of size 0 are skipped; large ones without a CRC pass unchecked (TPak::PassesUnchecked).
// `progress` (may be empty) is called on the calling thread with the number of entries done, in
// increasing order, ending at the count.
// An exception in any thread (no memory) stops the others and is thrown again here.
VerifyResult VerifyAllEntries(const TPak& pak, const std::function<void(std::size_t done)>& progress,
                              const VerifyOptions& options = {});

}  // namespace zq
