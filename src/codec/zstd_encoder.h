// zstd compression of a package's solid blocks (the builder's side only).
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/zlib_codec.h"

namespace zq {

// One zstd frame fed piece by piece; the content size is declared up front, so a block smaller
// than the window asks its reader for no more memory than itself.
class ZstdEncoder {
 public:
  // `window_log` at most kZstdMaxWindowLog; throws CodecError on a library fault.
  ZstdEncoder(int level, int window_log, std::uint64_t content_size);
  ~ZstdEncoder();
  ZstdEncoder(const ZstdEncoder&) = delete;
  ZstdEncoder& operator=(const ZstdEncoder&) = delete;

  // Appends what the frame has to `out` so far.
  void Feed(const std::uint8_t* data, std::size_t size, Bytes& out);
  void Finish(Bytes& out);

 private:
  void Run(const std::uint8_t* data, std::size_t size, Bytes& out, bool end);
  void* stream_ = nullptr;
};

}  // namespace zq
