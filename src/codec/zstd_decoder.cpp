#include "codec/zstd_decoder.h"

#include <zstd.h>

#include "codec/zlib_codec.h"

namespace zq {

namespace {
ZSTD_DStream* Stream(void* p) { return static_cast<ZSTD_DStream*>(p); }
}  // namespace

ZstdDecoder::ZstdDecoder() {
  ZSTD_DStream* s = ZSTD_createDStream();
  if (s == nullptr) throw CodecError("zstd: no memory for a decoder");
  stream_ = s;
  ZSTD_DCtx_setParameter(s, ZSTD_d_windowLogMax, kZstdMaxWindowLog);
}

ZstdDecoder::~ZstdDecoder() { ZSTD_freeDStream(Stream(stream_)); }

void ZstdDecoder::Reset() { ZSTD_DCtx_reset(Stream(stream_), ZSTD_reset_session_only); }

ZstdDecoder::Status ZstdDecoder::Decode(const std::uint8_t* in, std::size_t in_size, std::size_t& in_used,
                                        std::uint8_t* out, std::size_t out_size, std::size_t& out_used) {
  ZSTD_inBuffer input{in, in_size, in_used};
  ZSTD_outBuffer output{out, out_size, out_used};
  Status status = Status::More;
  while (input.pos < input.size && output.pos < output.size) {
    const std::size_t r = ZSTD_decompressStream(Stream(stream_), &output, &input);
    if (ZSTD_isError(r)) {
      status = Status::Damaged;
      break;
    }
    if (r == 0) {
      status = Status::End;
      break;
    }
  }
  // The last bytes may still sit in the decoder when the input ran out with room to spare.
  if (status == Status::More && input.pos == input.size && output.pos < output.size) {
    const std::size_t r = ZSTD_decompressStream(Stream(stream_), &output, &input);
    if (ZSTD_isError(r)) status = Status::Damaged;
    else if (r == 0) status = Status::End;
  }
  in_used = input.pos;
  out_used = output.pos;
  return status;
}

}  // namespace zq
