// Checking every entry of a package on all cores, as start-up and zq verify do.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>

namespace zq {

class TPak;

struct VerifyResult {
  std::optional<std::size_t> first_failure;  // lowest index that failed
  std::size_t skipped = 0;                   // empty entries, never checked
  std::size_t unchecked = 0;                 // large entries, passed without reading
  bool could_not_read = false;               // the file could not be opened again
};

// Entries of size 0 are skipped; large ones pass unchecked. `progress` (may be empty) is called
// on the calling thread with the number of entries done, in increasing order, ending at the count.
VerifyResult VerifyAllEntries(const TPak& pak, const std::function<void(std::size_t done)>& progress);

}  // namespace zq
