#include "codec/zstd_encoder.h"

#include <zstd.h>

namespace zq {

namespace {
ZSTD_CCtx* Stream(void* p) { return static_cast<ZSTD_CCtx*>(p); }

void Check(std::size_t r) {
  if (ZSTD_isError(r)) throw CodecError(std::string("zstd: ") + ZSTD_getErrorName(r));
}
}  // namespace

ZstdEncoder::ZstdEncoder(int level, int window_log, std::uint64_t content_size) {
  ZSTD_CCtx* s = ZSTD_createCCtx();
  if (s == nullptr) throw CodecError("zstd: no memory for an encoder");
  stream_ = s;
  Check(ZSTD_CCtx_setParameter(s, ZSTD_c_compressionLevel, level));
  Check(ZSTD_CCtx_setParameter(s, ZSTD_c_windowLog, window_log));
  Check(ZSTD_CCtx_setParameter(s, ZSTD_c_enableLongDistanceMatching, 1));
  Check(ZSTD_CCtx_setParameter(s, ZSTD_c_checksumFlag, 0));
  Check(ZSTD_CCtx_setPledgedSrcSize(s, content_size));
}

ZstdEncoder::~ZstdEncoder() { ZSTD_freeCCtx(Stream(stream_)); }

void ZstdEncoder::Run(const std::uint8_t* data, std::size_t size, Bytes& out, bool end) {
  ZSTD_inBuffer input{data, size, 0};
  const std::size_t chunk = ZSTD_CStreamOutSize();
  for (;;) {
    const std::size_t at = out.size();
    out.resize(at + chunk);
    ZSTD_outBuffer output{out.data() + at, chunk, 0};
    const std::size_t left = ZSTD_compressStream2(Stream(stream_), &output, &input, end ? ZSTD_e_end : ZSTD_e_continue);
    Check(left);
    out.resize(at + output.pos);
    if (end ? left == 0 : input.pos == input.size) return;
  }
}

void ZstdEncoder::Feed(const std::uint8_t* data, std::size_t size, Bytes& out) { Run(data, size, out, false); }

void ZstdEncoder::Finish(Bytes& out) { Run(nullptr, 0, out, true); }

}  // namespace zq
