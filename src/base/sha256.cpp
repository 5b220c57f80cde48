#include "base/sha256.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define ZQ_SHA_EXTENSIONS 1
#endif

namespace zq {

namespace {

constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

#ifdef ZQ_SHA_EXTENSIONS
// The processor's SHA extensions (most x86 processors since 2017): the digest of a kept file is
// read at the disk's pace instead of four times slower.
bool g_extensions_allowed = true;

bool HasShaExtensions() {
  static const bool has = [] {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || (c & bit_SSSE3) == 0 || (c & bit_SSE4_1) == 0) return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_SHA) != 0;
  }();
  return has && g_extensions_allowed;
}

// State as A..H; 32-bit Windows promises no 16-byte aligned stack, hence the realignment.
__attribute__((target("sha,sse4.1,ssse3"), force_align_arg_pointer)) void ShaExtensionBlocks(std::uint32_t* state,
                                                                                             const std::uint8_t* p,
                                                                                             std::size_t blocks) {
  const __m128i swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i tmp = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
  __m128i state1 = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
  __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);  // ABEF
  state1 = _mm_blend_epi16(state1, tmp, 0xF0);       // CDGH
  for (; blocks != 0; --blocks, p += 64) {
    const __m128i abef = state0, cdgh = state1;
    __m128i w[4];
    for (int g = 0; g < 16; ++g) {
      __m128i& m = w[g & 3];
      if (g < 4) {
        m = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * g)), swap);
      } else {
        const __m128i& last = w[(g - 1) & 3];
        const __m128i sum =
            _mm_add_epi32(_mm_sha256msg1_epu32(m, w[(g - 3) & 3]), _mm_alignr_epi8(last, w[(g - 2) & 3], 4));
        m = _mm_sha256msg2_epu32(sum, last);
      }
      __m128i t = _mm_add_epi32(m, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound + 4 * g)));
      state1 = _mm_sha256rnds2_epu32(state1, state0, t);
      t = _mm_shuffle_epi32(t, 0x0E);
      state0 = _mm_sha256rnds2_epu32(state0, state1, t);
    }
    state0 = _mm_add_epi32(state0, abef);
    state1 = _mm_add_epi32(state1, cdgh);
  }
  tmp = _mm_shuffle_epi32(state0, 0x1B);        // FEBA
  state1 = _mm_shuffle_epi32(state1, 0xB1);     // DCHG
  state0 = _mm_blend_epi16(tmp, state1, 0xF0);  // DCBA
  state1 = _mm_alignr_epi8(state1, tmp, 8);     // HGFE
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), state0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), state1);
}
#endif

}  // namespace

void Sha256::AllowProcessorExtensions(bool allowed) {
#ifdef ZQ_SHA_EXTENSIONS
  g_extensions_allowed = allowed;
#else
  (void)allowed;
#endif
}

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::Block(const std::uint8_t* p) {
  std::uint32_t w[64];
  for (int i = 0; i < 16; ++i) {
    w[i] = (std::uint32_t{p[4 * i]} << 24) | (std::uint32_t{p[4 * i + 1]} << 16) | (std::uint32_t{p[4 * i + 2]} << 8) |
           p[4 * i + 3];
  }
  for (int i = 16; i < 64; ++i) {
    const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  std::uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
  for (int i = 0; i < 64; ++i) {
    const std::uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
    const std::uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  state_[4] += e;
  state_[5] += f;
  state_[6] += g;
  state_[7] += h;
}

void Sha256::Update(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  length_ += size;
  if (buffered_ != 0) {
    const std::size_t take = std::min(size, buffer_.size() - buffered_);
    std::memcpy(buffer_.data() + buffered_, p, take);
    buffered_ += take;
    p += take;
    size -= take;
    if (buffered_ < buffer_.size()) return;
#ifdef ZQ_SHA_EXTENSIONS
    if (HasShaExtensions()) ShaExtensionBlocks(state_.data(), buffer_.data(), 1);
    else
#endif
      Block(buffer_.data());
    buffered_ = 0;
  }
#ifdef ZQ_SHA_EXTENSIONS
  if (size >= 64 && HasShaExtensions()) {
    ShaExtensionBlocks(state_.data(), p, size / 64);
    p += size / 64 * 64;
    size %= 64;
  }
#endif
  for (; size >= 64; p += 64, size -= 64) Block(p);
  if (size != 0) std::memcpy(buffer_.data(), p, size);
  buffered_ = size;
}

Digest256 Sha256::Final() {
  const std::uint64_t bits = length_ * 8;
  static constexpr std::uint8_t kPad[64] = {0x80};
  Update(kPad, buffered_ < 56 ? 56 - buffered_ : 120 - buffered_);
  std::uint8_t tail[8];
  for (int i = 0; i < 8; ++i) tail[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  Update(tail, 8);
  Digest256 out;
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 4; ++j) out[4 * i + j] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * j));
  }
  return out;
}

Digest256 Sha256Of(const void* data, std::size_t size) {
  Sha256 h;
  h.Update(data, size);
  return h.Final();
}

HmacSha256::HmacSha256(const void* key, std::size_t key_size) {
  std::array<std::uint8_t, 64> block{};
  if (key_size > block.size()) {
    const Digest256 short_key = Sha256Of(key, key_size);
    std::memcpy(block.data(), short_key.data(), short_key.size());
  } else if (key_size != 0) {
    std::memcpy(block.data(), key, key_size);
  }
  std::array<std::uint8_t, 64> inner_key{};
  for (std::size_t i = 0; i < block.size(); ++i) {
    inner_key[i] = block[i] ^ 0x36;
    outer_key_[i] = block[i] ^ 0x5c;
  }
  inner_.Update(inner_key.data(), inner_key.size());
}

Digest256 HmacSha256::Final() {
  const Digest256 inner = inner_.Final();
  Sha256 outer;
  outer.Update(outer_key_.data(), outer_key_.size());
  outer.Update(inner.data(), inner.size());
  return outer.Final();
}

Digest256 HmacSha256Of(const void* key, std::size_t key_size, const void* data, std::size_t size) {
  HmacSha256 mac(key, key_size);
  mac.Update(data, size);
  return mac.Final();
}

std::string HexText(const std::uint8_t* data, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out(2 * size, '0');
  for (std::size_t i = 0; i < size; ++i) {
    out[2 * i] = kDigits[data[i] >> 4];
    out[2 * i + 1] = kDigits[data[i] & 15];
  }
  return out;
}

bool SameDigest(const Digest256& a, const Digest256& b) {
  std::uint8_t diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<std::uint8_t>(a[i] ^ b[i]);
  return diff == 0;
}

}  // namespace zq
