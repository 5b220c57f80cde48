// Buffers handed back by whoever took an entry's data, for the next entries to be read into.
// Under Wine every fresh large buffer is mapped, faulted in page by page and cleared anew, which
// cost an install of many megabyte-sized files a third of its time; a few kept buffers cost
// that once. Thread-safe: the reading thread takes, the writing thread gives back.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "codec/zlib_codec.h"

namespace zq {

class BufferPool {
 public:
  // Keeps at most `keep` buffers of at most `largest` bytes of capacity each.
  BufferPool(std::size_t keep, std::size_t largest) : keep_(keep), largest_(largest) {}

  // A kept buffer (empty, its capacity kept), or a new empty one.
  Bytes Take();
  // Keeps `buffer` when there is room for it; otherwise it is freed.
  void Give(Bytes&& buffer);

 private:
  std::mutex mutex_;
  std::vector<Bytes> kept_;
  const std::size_t keep_, largest_;
};

}  // namespace zq
