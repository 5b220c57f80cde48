// zlib streams (RFC 1950), one-shot and a piece at a time, and CRC-32: the one place that knows
// the compression libraries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace zq {

using Bytes = std::vector<std::uint8_t>;

// A fault of the compression library itself (out of memory, a broken stream state). Not a
// std::runtime_error, as zq::Error is not (base/error.h): its text needs the old string's code.
class CodecError : public std::exception {
 public:
  explicit CodecError(std::string what) : what_(std::move(what)) {}
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::string what_;
};

// One complete zlib stream at the given libdeflate level (1 to 9, from 7 on it begins 78 DA; the
// win32 build has no near-optimal parsing, which levels 10 to 12 would use).
Bytes Compress(const std::uint8_t* data, std::size_t size, int level = 9);

struct InflateResult {
  enum class Status { Complete, Damaged, TooLarge };
  Status status = Status::Damaged;
  Bytes data;  // what was inflated; for TooLarge the first max_size bytes
};

// Inflates one zlib stream. The output starts at `expected_size` and grows as needed, never
// beyond `max_size`, so a damaged block can neither over-allocate nor run forever. It is
// written into `reuse`, whose capacity is kept (its bytes are not).
InflateResult Inflate(const std::uint8_t* data, std::size_t size, std::size_t expected_size, std::size_t max_size,
                      Bytes reuse = {});

// Inflates one zlib stream a piece at a time through the caller's buffers, so an entry of any
// size takes a fixed amount of memory (zlib's window and state, about 44 KB). Slower than the
// one-shot Inflate (libdeflate has no streaming decoder), so it serves large entries only.
class InflateStream {
 public:
  enum class Status { More, End, Damaged };
  InflateStream();  // throws CodecError when zlib cannot start
  ~InflateStream();
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;

  // Inflates from `in` into `out` until either is used up or the stream ends; `in_used` and
  // `produced` receive how much of each was taken. More: call again, with more input once all
  // of it was used. After End or Damaged the stream gives nothing more.
  Status Step(const std::uint8_t* in, std::size_t in_size, std::size_t& in_used, std::uint8_t* out,
              std::size_t out_size, std::size_t& produced);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The conventional CRC-32 (reflected 0xEDB88320, init and final xor 0xFFFFFFFF), continued
// from `crc` (0 to start).
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace zq
