// A small symbol-by-symbol zlib inflater for streams libdeflate refused: it stops exactly where
// the damage or the end of the input is, as zlib's own inflate does, so the caller can say how
// far a damaged stream got. Slow next to libdeflate; it only ever runs on a failing stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/zlib_codec.h"

namespace zq {

// Inflates one zlib stream (RFC 1950 header and Adler-32 checked). Output grows from
// `expected_size` and never passes `max_size`; TooLarge when `max_size` bytes came out and the
// stream was not complete, Damaged otherwise, with what came out before the fault.
InflateResult InflateStepwise(const std::uint8_t* data, std::size_t size, std::size_t expected_size,
                              std::size_t max_size);

}  // namespace zq
