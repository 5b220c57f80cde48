#include "codec/zlib_codec.h"

#include "codec/stepwise_inflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace zq {
namespace {

// libdeflate's whole-buffer coders are several times faster than zlib's streams and write
// ordinary zlib streams. Their objects may not be shared between threads, so each call makes
// its own: that costs a few microseconds, and a thread_local one is no option (under mingw its
// destructor reads storage already freed when a worker thread ends).
struct CompressorFree {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorFree>;
using Decompressor = std::unique_ptr<libdeflate_decompressor, DecompressorFree>;

std::size_t FirstOutputSize(std::size_t expected_size, std::size_t max_size) {
  return std::min(std::max<std::size_t>(expected_size, 64), max_size);
}

std::size_t GrownOutputSize(std::size_t size, std::size_t max_size) {
  return size < max_size / 2 ? size * 2 : max_size;
}

}  // namespace

Bytes Compress(const std::uint8_t* data, std::size_t size, int level) {
  const Compressor compressor(libdeflate_alloc_compressor(level));
  if (!compressor) throw CodecError("cannot start compression");
  const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), size);
  if (bound < size) throw CodecError("block too large to compress");
  Bytes out(bound);
  const std::size_t written = libdeflate_zlib_compress(compressor.get(), data, size, out.data(), out.size());
  if (written == 0) throw CodecError("compression failed");
  out.resize(written);
  return out;
}

InflateResult Inflate(const std::uint8_t* data, std::size_t size, std::size_t expected_size, std::size_t max_size) {
  const Decompressor decompressor(libdeflate_alloc_decompressor());
  if (!decompressor) throw CodecError("cannot start inflation");
  Bytes out(FirstOutputSize(expected_size, max_size));
  for (;;) {
    std::size_t produced = 0;
    const libdeflate_result rc =
        libdeflate_zlib_decompress(decompressor.get(), data, size, out.data(), out.size(), &produced);
    if (rc == LIBDEFLATE_SUCCESS) {
      out.resize(produced);
      return InflateResult{InflateResult::Status::Complete, std::move(out)};
    }
    if (rc != LIBDEFLATE_INSUFFICIENT_SPACE || out.size() >= max_size) break;
    // Each attempt starts over, so nothing needs keeping.
    const std::size_t grown = GrownOutputSize(out.size(), max_size);
    out.clear();
    out.resize(grown);
  }
  // A failing stream tells nothing through libdeflate about how far it got, and callers report
  // that (the size a damaged entry inflated to; the first max_size bytes of one too large).
  return InflateStepwise(data, size, expected_size, max_size);
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  // libdeflate answers 0 for a null buffer whatever `crc` holds; an empty piece changes nothing.
  if (size == 0) return crc;
  return libdeflate_crc32(crc, data, size);
}

}  // namespace zq
