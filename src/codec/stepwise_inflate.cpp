#include "codec/stepwise_inflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <utility>

namespace zq {
namespace {

// Thrown at the first fault, the end of the input or the output cap: whatever came out before
// it stands, as in zlib, whose output never holds a symbol it could not finish or check.
struct Stop {};

constexpr int kMaxBits = 15;
constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                         33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                         1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::uint8_t kCodeOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// A canonical code, decoded a bit at a time.
struct Code {
  std::uint16_t count[kMaxBits + 1] = {};
  std::uint16_t symbol[288] = {};
};

enum class Kind { CodeLengths, Other };

// zlib's rules: no length over-subscribed; a code lengths code complete; another code
// complete unless it has one code of one bit (its other pattern is a fault when met).
void Build(Code& code, const std::uint8_t* lengths, int n, Kind kind) {
  std::fill(std::begin(code.count), std::end(code.count), std::uint16_t{0});
  for (int s = 0; s < n; ++s) ++code.count[lengths[s]];
  code.count[0] = 0;
  int max = kMaxBits;
  while (max > 0 && code.count[max] == 0) --max;
  if (max == 0) {
    if (kind == Kind::CodeLengths) throw Stop{};
    return;  // no distance codes: a fault only if one is used
  }
  int left = 1;
  for (int len = 1; len <= kMaxBits; ++len) {
    left = left * 2 - code.count[len];
    if (left < 0) throw Stop{};
  }
  if (left > 0 && (kind == Kind::CodeLengths || max != 1)) throw Stop{};
  std::uint16_t offset[kMaxBits + 2] = {};
  for (int len = 1; len <= kMaxBits; ++len) offset[len + 1] = offset[len] + code.count[len];
  for (int s = 0; s < n; ++s)
    if (lengths[s] != 0) code.symbol[offset[lengths[s]]++] = static_cast<std::uint16_t>(s);
}

class Inflater {
 public:
  Inflater(const std::uint8_t* data, std::size_t size, std::size_t max_size, Bytes& out)
      : in_(data), size_(size), max_size_(max_size), out_(out) {}

  void Run() {
    const unsigned cmf = Byte(), flg = Byte();
    if ((cmf * 256 + flg) % 31 != 0 || (cmf & 15) != 8 || (cmf >> 4) > 7 || (flg & 32) != 0) throw Stop{};
    bool last = false;
    while (!last) {
      last = Bits(1) != 0;
      switch (Bits(2)) {
        case 0: Stored(); break;
        case 1: Fixed(); break;
        case 2: Dynamic(); break;
        default: throw Stop{};
      }
    }
    bit_buffer_ = 0;  // the check starts at the next byte
    bit_count_ = 0;
    std::uint32_t check = 0;
    for (int i = 0; i < 4; ++i) check = (check << 8) | Byte();
    if (check != libdeflate_adler32(1, out_.data(), out_.size())) throw Stop{};
  }

 private:
  unsigned Byte() {
    if (pos_ == size_) throw Stop{};
    return in_[pos_++];
  }

  unsigned Bits(int n) {
    std::uint32_t value = bit_buffer_;
    while (bit_count_ < n) {
      if (pos_ == size_) throw Stop{};
      value |= std::uint32_t{in_[pos_++]} << bit_count_;
      bit_count_ += 8;
    }
    bit_buffer_ = value >> n;
    bit_count_ -= n;
    return value & ((1u << n) - 1);
  }

  int Decode(const Code& code) {
    int first = 0, index = 0, value = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
      value |= static_cast<int>(Bits(1));
      const int count = code.count[len];
      if (value - first < count) return code.symbol[index + value - first];
      index += count;
      first = (first + count) * 2;
      value *= 2;
    }
    throw Stop{};
  }

  void Put(std::uint8_t b) {
    if (out_.size() == max_size_) throw Stop{};
    if (out_.size() == out_.capacity()) out_.reserve(std::min(out_.capacity() * 2, max_size_));
    out_.push_back(b);
  }

  // zlib hands out what a cut stored block holds before it stops.
  void Stored() {
    bit_buffer_ = 0;
    bit_count_ = 0;
    unsigned len = Byte();
    len |= Byte() << 8;
    unsigned nlen = Byte();
    nlen |= Byte() << 8;
    if (len != (~nlen & 0xFFFF)) throw Stop{};
    for (; len > 0; --len) {
      if (pos_ == size_) throw Stop{};
      Put(in_[pos_++]);
    }
  }

  void Fixed() {
    std::uint8_t lengths[288 + 32];
    std::fill(lengths, lengths + 144, std::uint8_t{8});
    std::fill(lengths + 144, lengths + 256, std::uint8_t{9});
    std::fill(lengths + 256, lengths + 280, std::uint8_t{7});
    std::fill(lengths + 280, lengths + 288, std::uint8_t{8});
    std::fill(lengths + 288, lengths + 320, std::uint8_t{5});
    Build(literals_, lengths, 288, Kind::Other);
    // As zlib: 32 five-bit codes, of which 30 and 31 are faults when met.
    Build(distances_, lengths + 288, 32, Kind::Other);
    Codes();
  }

  void Dynamic() {
    const int nlen = static_cast<int>(Bits(5)) + 257, ndist = static_cast<int>(Bits(5)) + 1;
    const int ncode = static_cast<int>(Bits(4)) + 4;
    if (nlen > 286 || ndist > 30) throw Stop{};
    std::uint8_t lengths[286 + 30] = {};
    for (int i = 0; i < ncode; ++i) lengths[kCodeOrder[i]] = static_cast<std::uint8_t>(Bits(3));
    Build(literals_, lengths, 19, Kind::CodeLengths);
    std::fill(lengths, lengths + 19, std::uint8_t{0});
    for (int have = 0; have < nlen + ndist;) {
      const int symbol = Decode(literals_);
      if (symbol < 16) {
        lengths[have++] = static_cast<std::uint8_t>(symbol);
        continue;
      }
      std::uint8_t value = 0;
      int repeat;
      if (symbol == 16) {
        if (have == 0) throw Stop{};
        value = lengths[have - 1];
        repeat = 3 + static_cast<int>(Bits(2));
      } else {
        repeat = symbol == 17 ? 3 + static_cast<int>(Bits(3)) : 11 + static_cast<int>(Bits(7));
      }
      if (have + repeat > nlen + ndist) throw Stop{};
      while (repeat-- > 0) lengths[have++] = value;
    }
    if (lengths[256] == 0) throw Stop{};
    Build(literals_, lengths, nlen, Kind::Other);
    Build(distances_, lengths + nlen, ndist, Kind::Other);
    Codes();
  }

  void Codes() {
    for (;;) {
      int symbol = Decode(literals_);
      if (symbol < 256) {
        Put(static_cast<std::uint8_t>(symbol));
        continue;
      }
      if (symbol == 256) return;
      symbol -= 257;
      if (symbol >= 29) throw Stop{};
      const std::size_t length = kLengthBase[symbol] + Bits(kLengthExtra[symbol]);
      const int d = Decode(distances_);
      if (d >= 30) throw Stop{};
      const std::size_t distance = kDistBase[d] + Bits(kDistExtra[d]);
      if (distance > out_.size()) throw Stop{};
      for (std::size_t i = 0; i < length; ++i) Put(out_[out_.size() - distance]);
    }
  }

  const std::uint8_t* in_;
  std::size_t size_;
  std::size_t pos_ = 0;
  std::uint32_t bit_buffer_ = 0;
  int bit_count_ = 0;
  std::size_t max_size_;
  Bytes& out_;
  Code literals_, distances_;
};

}  // namespace

InflateResult InflateStepwise(const std::uint8_t* data, std::size_t size, std::size_t expected_size,
                              std::size_t max_size) {
  InflateResult result;
  result.data.reserve(std::min(std::max<std::size_t>(expected_size, 64), max_size));
  try {
    Inflater(data, size, max_size, result.data).Run();
    result.status = InflateResult::Status::Complete;
  } catch (const Stop&) {
    result.status = result.data.size() >= max_size ? InflateResult::Status::TooLarge : InflateResult::Status::Damaged;
  }
  return result;
}

}  // namespace zq
