// Streaming zstd decoding for the solid blocks of a package: the one place that knows the
// decoding half of the zstd library (the encoder lives apart, so the engine links no encoder).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zq {

// The largest window a block may ask of a reader (64 MiB): the decoder refuses a frame that
// asks more, so a damaged or hostile frame cannot take memory without bound.
inline constexpr int kZstdMaxWindowLog = 26;

class ZstdDecoder {
 public:
  enum class Status { More, End, Damaged };

  ZstdDecoder();  // throws CodecError without memory
  ~ZstdDecoder();
  ZstdDecoder(const ZstdDecoder&) = delete;
  ZstdDecoder& operator=(const ZstdDecoder&) = delete;

  // Back to the start of a frame, keeping the buffers.
  void Reset();
  // Consumes from `in` (advancing `in_used`) and writes to `out` (advancing `out_used`) until
  // one of them is exhausted. End: the frame is complete and every byte of it was consumed.
  Status Decode(const std::uint8_t* in, std::size_t in_size, std::size_t& in_used, std::uint8_t* out,
                std::size_t out_size, std::size_t& out_used);

 private:
  void* stream_ = nullptr;
};

}  // namespace zq
