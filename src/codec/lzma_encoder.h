// LZMA2 compression of a package's solid blocks (the builder's side only).
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/zlib_codec.h"

namespace zq {

// One raw LZMA2 stream fed piece by piece; its window (at most kLzmaMaxWindow) is what a reader
// must hold to decode it.
class LzmaEncoder {
 public:
  // `preset` 0-9; throws CodecError on a library fault or without memory.
  LzmaEncoder(std::uint32_t preset, std::uint32_t window);
  ~LzmaEncoder();
  LzmaEncoder(const LzmaEncoder&) = delete;
  LzmaEncoder& operator=(const LzmaEncoder&) = delete;

  // What one encoder of that preset and window takes of memory (about 11 times the window).
  static std::uint64_t MemoryFor(std::uint32_t preset, std::uint32_t window);

  // Appends what the stream has to `out` so far.
  void Feed(const std::uint8_t* data, std::size_t size, Bytes& out);
  void Finish(Bytes& out);

 private:
  void Run(const std::uint8_t* data, std::size_t size, Bytes& out, bool end);
  void* stream_ = nullptr;
};

}  // namespace zq
