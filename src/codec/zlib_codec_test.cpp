#include "codec/zlib_codec.h"

#include "codec/stepwise_inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace zq {
namespace {

Bytes FromString(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(Crc32, ConventionalValues) {
  Bytes check = FromString("123456789");
  EXPECT_EQ(Crc32(check.data(), check.size()), 0xCBF43926u);
  EXPECT_EQ(Crc32(nullptr, 0), 0u);
  // Continuing over two halves gives the value of the whole; an empty piece changes nothing.
  EXPECT_EQ(Crc32(check.data() + 4, 5, Crc32(check.data(), 4)), 0xCBF43926u);
  EXPECT_EQ(Crc32(nullptr, 0, 0xCBF43926u), 0xCBF43926u);
}

// Inputs of the stream tests: empty, tiny, repetitive, text-like and incompressible.
std::vector<Bytes> StreamSamples() {
  Bytes text;
  for (int i = 0; i < 20000; ++i) {
    std::string line = "record " + std::to_string(i * 7919 % 1000) + " value " + std::to_string(i) + "\n";
    text.insert(text.end(), line.begin(), line.end());
  }
  Bytes noise(300000);
  std::uint32_t x = 2463534242u;
  for (auto& b : noise) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    b = static_cast<std::uint8_t>(x);
  }
  return {Bytes{}, FromString("a"), FromString(std::string(100000, 'z')), text, noise};
}

TEST(Compress, StreamsInflateWithZlibItself) {
  for (const Bytes& sample : StreamSamples()) {
    Bytes packed = Compress(sample.data(), sample.size());
    Bytes back(sample.size() + 1);
    uLongf back_size = static_cast<uLongf>(back.size());
    ASSERT_EQ(uncompress(back.data(), &back_size, packed.data(), static_cast<uLong>(packed.size())), Z_OK)
        << sample.size() << " bytes";
    back.resize(back_size);
    EXPECT_EQ(back, sample) << sample.size() << " bytes";
  }
}

TEST(Inflate, StreamsOfZlibAtLevelNine) {
  for (const Bytes& sample : StreamSamples()) {
    Bytes packed(compressBound(static_cast<uLong>(sample.size())));
    uLongf packed_size = static_cast<uLongf>(packed.size());
    ASSERT_EQ(compress2(packed.data(), &packed_size, sample.empty() ? packed.data() : sample.data(),
                        static_cast<uLong>(sample.size()), Z_BEST_COMPRESSION),
              Z_OK);
    packed.resize(packed_size);
    InflateResult back = Inflate(packed.data(), packed.size(), sample.size(), sample.size() + 1);
    ASSERT_EQ(back.status, InflateResult::Status::Complete) << sample.size() << " bytes";
    EXPECT_EQ(back.data, sample) << sample.size() << " bytes";
  }
}

TEST(Compress, LevelNineStreamRoundTrips) {
  Bytes text = FromString(std::string(5000, 'a') + "tail");
  Bytes packed = Compress(text.data(), text.size());
  ASSERT_GE(packed.size(), 2u);
  EXPECT_EQ(packed[0], 0x78);
  EXPECT_EQ(packed[1], 0xDA);
  InflateResult back = Inflate(packed.data(), packed.size(), text.size(), 1 << 20);
  ASSERT_EQ(back.status, InflateResult::Status::Complete);
  EXPECT_EQ(back.data, text);
}

TEST(Inflate, ExactFitAndGrowthFromALowEstimate) {
  Bytes text(100000);
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<std::uint8_t>(i * 7 % 251);
  Bytes packed = Compress(text.data(), text.size());
  InflateResult exact = Inflate(packed.data(), packed.size(), text.size(), text.size());
  ASSERT_EQ(exact.status, InflateResult::Status::Complete);
  EXPECT_EQ(exact.data, text);
  InflateResult grown = Inflate(packed.data(), packed.size(), 10, 1 << 20);
  ASSERT_EQ(grown.status, InflateResult::Status::Complete);
  EXPECT_EQ(grown.data, text);
}

TEST(Inflate, DamagedTruncatedAndOversizedStreams) {
  Bytes text = FromString(std::string(20000, 'x') + "0123456789");
  Bytes packed = Compress(text.data(), text.size());

  Bytes cut(packed.begin(), packed.begin() + static_cast<long>(packed.size() / 2));
  EXPECT_EQ(Inflate(cut.data(), cut.size(), text.size(), 1 << 20).status, InflateResult::Status::Damaged);

  Bytes flipped = packed;
  flipped[flipped.size() - 1] ^= 0xFF;  // Adler-32 trailer
  EXPECT_EQ(Inflate(flipped.data(), flipped.size(), text.size(), 1 << 20).status, InflateResult::Status::Damaged);

  Bytes garbage = FromString("this is not a zlib stream at all");
  EXPECT_EQ(Inflate(garbage.data(), garbage.size(), 10, 1 << 20).status, InflateResult::Status::Damaged);

  InflateResult capped = Inflate(packed.data(), packed.size(), 100, 1000);
  EXPECT_EQ(capped.status, InflateResult::Status::TooLarge);
  EXPECT_EQ(capped.data, Bytes(text.begin(), text.begin() + 1000));

  // A damaged stream gives what it inflated before the damage (callers report its size).
  InflateResult partial = Inflate(flipped.data(), flipped.size(), text.size(), 1 << 20);
  EXPECT_EQ(partial.data, text);
}

// zlib's own inflate, stopped where it stops: the account a failing stream must give.
InflateResult InflateWithZlib(const Bytes& in, std::size_t max_size) {
  z_stream zs{};
  EXPECT_EQ(inflateInit(&zs), Z_OK);
  Bytes out(max_size);
  zs.next_in = const_cast<Bytef*>(in.data());
  zs.avail_in = static_cast<uInt>(in.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  int rc = Z_OK;
  while (rc == Z_OK && zs.avail_out != 0) rc = inflate(&zs, Z_NO_FLUSH);
  out.resize(out.size() - zs.avail_out);
  inflateEnd(&zs);
  using S = InflateResult::Status;
  return {rc == Z_STREAM_END ? S::Complete : out.size() >= max_size ? S::TooLarge : S::Damaged, out};
}

Bytes ZlibStream(const Bytes& data, int level, int strategy) {
  z_stream zs{};
  EXPECT_EQ(deflateInit2(&zs, level, Z_DEFLATED, 15, 9, strategy), Z_OK);
  Bytes out(deflateBound(&zs, static_cast<uLong>(data.size())));
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

// A failing stream is inflated again step by step: for every cut and many flipped bits of stored,
// fixed and dynamic blocks, the same status and the same bytes as zlib, under a cap that binds
// and one that does not.
TEST(Inflate, FailingStreamsStopWhereZlibStops) {
  Bytes text;
  for (int i = 0; i < 300; ++i) {
    const std::string line = "entry " + std::to_string(i * 37 % 101) + " of the list\n";
    text.insert(text.end(), line.begin(), line.end());
  }
  const struct {
    int level, strategy;
  } kinds[] = {{0, Z_DEFAULT_STRATEGY}, {9, Z_FIXED}, {9, Z_DEFAULT_STRATEGY}, {1, Z_HUFFMAN_ONLY}};
  for (const auto& kind : kinds) {
    const Bytes packed = ZlibStream(text, kind.level, kind.strategy);
    const InflateResult whole = InflateStepwise(packed.data(), packed.size(), 100, text.size());
    ASSERT_EQ(whole.status, InflateResult::Status::Complete) << "level " << kind.level;
    ASSERT_TRUE(whole.data == text) << "level " << kind.level;
    std::vector<Bytes> damaged;
    for (std::size_t n = 0; n < packed.size(); n += 1 + n / 64)
      damaged.emplace_back(packed.begin(), packed.begin() + n);
    for (std::size_t at = 0; at < packed.size(); at += 1 + at / 32)
      for (int bit : {0, 3, 7}) {
        damaged.push_back(packed);
        damaged.back()[at] ^= static_cast<std::uint8_t>(1 << bit);
      }
    for (const Bytes& d : damaged)
      for (std::size_t cap : {text.size() + 1, text.size() / 3}) {
        const InflateResult ours = Inflate(d.data(), d.size(), 100, cap);
        const InflateResult zlib = InflateWithZlib(d, cap);
        ASSERT_EQ(ours.status, zlib.status)
            << "level " << kind.level << " strategy " << kind.strategy << ", " << d.size() << " bytes, cap " << cap;
        ASSERT_TRUE(ours.data == zlib.data)
            << "level " << kind.level << " strategy " << kind.strategy << ", " << d.size() << " bytes, cap " << cap;
      }
  }
}

}  // namespace
}  // namespace zq
