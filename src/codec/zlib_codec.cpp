#include "codec/zlib_codec.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

namespace zq {

Bytes Compress(const std::uint8_t* data, std::size_t size) {
  if (size > std::numeric_limits<uLong>::max()) throw CodecError("block too large to compress");
  uLongf bound = compressBound(static_cast<uLong>(size));
  Bytes out(bound);
  int rc = compress2(out.data(), &bound, size ? data : reinterpret_cast<const Bytef*>(""),
                     static_cast<uLong>(size), Z_BEST_COMPRESSION);
  if (rc != Z_OK) throw CodecError("compression failed (zlib " + std::to_string(rc) + ")");
  out.resize(bound);
  return out;
}

InflateResult Inflate(const std::uint8_t* data, std::size_t size, std::size_t expected_size,
                      std::size_t max_size) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) throw CodecError("cannot start inflation");
  Bytes out(std::min(std::max<std::size_t>(expected_size, 64), max_size));
  zs.next_in = const_cast<Bytef*>(data);
  std::size_t in_left = size;
  std::size_t produced = 0;
  int rc = Z_OK;
  for (;;) {
    if (produced == out.size()) {
      if (out.size() >= max_size) break;
      std::size_t grown = out.size() < max_size / 2 ? out.size() * 2 : max_size;
      out.resize(grown);
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
    if (rc != Z_OK && rc != Z_BUF_ERROR) break;  // damaged data
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

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  uLong value = crc;
  while (size > 0) {
    uInt chunk = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
    value = crc32(value, data, chunk);
    data += chunk;
    size -= chunk;
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace zq
