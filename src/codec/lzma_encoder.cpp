#include "codec/lzma_encoder.h"

#include <lzma.h>

#include <algorithm>

#include "codec/lzma_decoder.h"

namespace zq {

namespace {
lzma_stream* Stream(void* p) { return static_cast<lzma_stream*>(p); }

bool Options(std::uint32_t preset, std::uint32_t window, lzma_options_lzma& options) {
  if (lzma_lzma_preset(&options, preset)) return false;
  // The reader's window is the block's size, so the encoder's may not be larger.
  options.dict_size = std::clamp<std::uint32_t>(window, LZMA_DICT_SIZE_MIN, kLzmaMaxWindow);
  // No position bits: the literals of program files and their data do not follow 4-byte
  // alignment closely enough to pay for them (1 % smaller on the bench's DLLs).
  options.pb = 0;
  return true;
}
}  // namespace

std::uint64_t LzmaEncoder::MemoryFor(std::uint32_t preset, std::uint32_t window) {
  lzma_options_lzma options{};
  if (!Options(preset, window, options)) return 0;
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  return lzma_raw_encoder_memusage(filters);
}

LzmaEncoder::LzmaEncoder(std::uint32_t preset, std::uint32_t window) : stream_(new lzma_stream(LZMA_STREAM_INIT)) {
  lzma_options_lzma options{};
  if (!Options(preset, window, options)) {
    delete Stream(stream_);
    throw CodecError("lzma: no preset " + std::to_string(preset));
  }
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  if (lzma_raw_encoder(Stream(stream_), filters) != LZMA_OK) {
    delete Stream(stream_);
    throw CodecError("lzma: no memory for an encoder");
  }
}

LzmaEncoder::~LzmaEncoder() {
  lzma_end(Stream(stream_));
  delete Stream(stream_);
}

void LzmaEncoder::Run(const std::uint8_t* data, std::size_t size, Bytes& out, bool end) {
  lzma_stream* s = Stream(stream_);
  s->next_in = data;
  s->avail_in = size;
  constexpr std::size_t kChunk = 256 * 1024;
  for (;;) {
    const std::size_t at = out.size();
    out.resize(at + kChunk);
    s->next_out = out.data() + at;
    s->avail_out = kChunk;
    const lzma_ret r = lzma_code(s, end ? LZMA_FINISH : LZMA_RUN);
    out.resize(at + kChunk - s->avail_out);
    if (r == LZMA_STREAM_END) return;
    if (r != LZMA_OK) throw CodecError("lzma: encoder failed (" + std::to_string(static_cast<int>(r)) + ")");
    if (!end && s->avail_in == 0) return;
  }
}

void LzmaEncoder::Feed(const std::uint8_t* data, std::size_t size, Bytes& out) { Run(data, size, out, false); }

void LzmaEncoder::Finish(Bytes& out) { Run(nullptr, 0, out, true); }

}  // namespace zq
