#include "codec/lzma_decoder.h"

#include <lzma.h>

#include <algorithm>

#include "codec/zlib_codec.h"

namespace zq {

namespace {
lzma_stream* Stream(void* p) { return static_cast<lzma_stream*>(p); }
}  // namespace

LzmaDecoder::LzmaDecoder() : stream_(new lzma_stream(LZMA_STREAM_INIT)) {}

LzmaDecoder::~LzmaDecoder() {
  lzma_end(Stream(stream_));
  delete Stream(stream_);
}

void LzmaDecoder::Reset(std::uint32_t window) {
  lzma_options_lzma options{};
  options.dict_size = std::clamp<std::uint32_t>(window, LZMA_DICT_SIZE_MIN, kLzmaMaxWindow);
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  // Re-initialising keeps the decoder's allocations when the window is the same.
  if (lzma_raw_decoder(Stream(stream_), filters) != LZMA_OK) throw CodecError("lzma: no memory for a decoder");
}

LzmaDecoder::Status LzmaDecoder::Decode(const std::uint8_t* in, std::size_t in_size, std::size_t& in_used,
                                        std::uint8_t* out, std::size_t out_size, std::size_t& out_used) {
  lzma_stream* s = Stream(stream_);
  s->next_in = in + in_used;
  s->avail_in = in_size - in_used;
  s->next_out = out + out_used;
  s->avail_out = out_size - out_used;
  const lzma_ret r = lzma_code(s, LZMA_RUN);
  in_used = in_size - s->avail_in;
  out_used = out_size - s->avail_out;
  if (r == LZMA_STREAM_END) return Status::End;
  // LZMA_BUF_ERROR: no progress was possible, which a caller that always brings input or room
  // never sees from a sound block.
  return r == LZMA_OK ? Status::More : Status::Damaged;
}

}  // namespace zq
