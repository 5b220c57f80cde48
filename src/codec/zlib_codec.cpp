#include "codec/zlib_codec.h"

#include <libdeflate.h>
#include <zlib.h>

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

// A stream that fails tells nothing through libdeflate about how far it got, and callers
// report that (the size a damaged entry inflated to; the first max_size bytes of one too
// large), so a failing stream is inflated again by zlib, which stops where the damage is.
InflateResult InflateWithZlib(const std::uint8_t* data, std::size_t size, std::size_t expected_size,
                              std::size_t max_size) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) throw CodecError("cannot start inflation");
  Bytes out(FirstOutputSize(expected_size, max_size));
  zs.next_in = const_cast<Bytef*>(data);
  std::size_t in_left = size;
  std::size_t produced = 0;
  int rc = Z_OK;
  for (;;) {
    if (produced == out.size()) {
      if (out.size() >= max_size) break;
      out.resize(GrownOutputSize(out.size(), max_size));
    }
    constexpr std::size_t kStep = 1u << 30;
    zs.avail_in = static_cast<uInt>(std::min(in_left, kStep));
    std::size_t room = std::min(out.size() - produced, kStep);
    zs.next_out = out.data() + produced;
    zs.avail_out = static_cast<uInt>(room);
    const Bytef* before_in = zs.next_in;
    rc = inflate(&zs, Z_NO_FLUSH);
    in_left -= static_cast<std::size_t>(zs.next_in - before_in);
    produced += room - zs.avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc == Z_MEM_ERROR) {
      inflateEnd(&zs);
      throw CodecError("out of memory while inflating");
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR) break;                         // damaged data
    if (rc == Z_BUF_ERROR && in_left == 0 && zs.avail_out != 0) break;  // truncated stream
  }
  inflateEnd(&zs);
  InflateResult result;
  out.resize(produced);
  if (rc == Z_STREAM_END) {
    result.status = InflateResult::Status::Complete;
  } else if (produced >= max_size) {
    result.status = InflateResult::Status::TooLarge;
  }
  result.data = std::move(out);
  return result;
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

InflateResult Inflate(const std::uint8_t* data, std::size_t size, std::size_t expected_size, std::size_t max_size,
                      Bytes reuse) {
  const Decompressor decompressor(libdeflate_alloc_decompressor());
  if (!decompressor) throw CodecError("cannot start inflation");
  Bytes out = std::move(reuse);
  out.clear();
  out.resize(FirstOutputSize(expected_size, max_size));
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
  return InflateWithZlib(data, size, expected_size, max_size);
}

struct InflateStream::State {
  z_stream zs{};
  bool finished = false;
};

InflateStream::InflateStream() : state_(std::make_unique<State>()) {
  if (inflateInit(&state_->zs) != Z_OK) throw CodecError("cannot start inflation");
}

InflateStream::~InflateStream() { inflateEnd(&state_->zs); }

InflateStream::Status InflateStream::Step(const std::uint8_t* in, std::size_t in_size, std::size_t& in_used,
                                          std::uint8_t* out, std::size_t out_size, std::size_t& produced) {
  in_used = produced = 0;
  if (state_->finished) return Status::Damaged;
  z_stream& zs = state_->zs;
  // zlib counts in 32 bits; callers' pieces are far smaller, but a cap keeps that true.
  constexpr std::size_t kStep = 1u << 30;
  zs.next_in = const_cast<Bytef*>(in);
  zs.avail_in = static_cast<uInt>(std::min(in_size, kStep));
  zs.next_out = out;
  zs.avail_out = static_cast<uInt>(std::min(out_size, kStep));
  const uInt in_before = zs.avail_in, out_before = zs.avail_out;
  const int rc = inflate(&zs, Z_NO_FLUSH);
  in_used = in_before - zs.avail_in;
  produced = out_before - zs.avail_out;
  if (rc == Z_STREAM_END) {
    state_->finished = true;
    return Status::End;
  }
  if (rc == Z_MEM_ERROR) throw CodecError("out of memory while inflating");
  // Z_BUF_ERROR: no progress was possible with what was given, which is no damage by itself.
  if (rc == Z_OK || rc == Z_BUF_ERROR) return Status::More;
  state_->finished = true;
  return Status::Damaged;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  // libdeflate answers 0 for a null buffer whatever `crc` holds; an empty piece changes nothing.
  if (size == 0) return crc;
  return libdeflate_crc32(crc, data, size);
}

}  // namespace zq
