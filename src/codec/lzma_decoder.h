// Streaming LZMA2 decoding for the solid blocks of a package: the one place that knows the
// decoding half of liblzma (the encoder lives apart, so the engine links no encoder).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zq {

// The largest window a block may ask of a reader (64 MiB): a block's window is its own data
// size, and the index refuses blocks larger than this, so a damaged or hostile package cannot
// take memory without bound.
inline constexpr std::uint32_t kLzmaMaxWindow = 64u << 20;
// The window of blocks written today: two of them fit the same memory, so a reader decodes two
// blocks at once, one per core, and a block may be larger than its window.
inline constexpr std::uint32_t kLzmaLaneWindow = 32u << 20;

// Raw LZMA2 (no container, no check: the package's slice CRCs and the index's entry CRCs prove
// the bytes), the data's end marked by LZMA2's own end byte.
class LzmaDecoder {
 public:
  enum class Status { More, End, Damaged };

  LzmaDecoder();
  ~LzmaDecoder();
  LzmaDecoder(const LzmaDecoder&) = delete;
  LzmaDecoder& operator=(const LzmaDecoder&) = delete;

  // Back to the start of a block whose matches reach at most `window` bytes back (at most
  // kLzmaMaxWindow). Throws CodecError without memory.
  void Reset(std::uint32_t window);
  // Consumes from `in` (advancing `in_used`) and writes to `out` (advancing `out_used`) until
  // one of them is exhausted. End: the block's data is complete and its end byte consumed.
  Status Decode(const std::uint8_t* in, std::size_t in_size, std::size_t& in_used, std::uint8_t* out,
                std::size_t out_size, std::size_t& out_used);

 private:
  void* stream_ = nullptr;
};

}  // namespace zq
