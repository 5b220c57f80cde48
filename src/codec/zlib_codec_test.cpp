#include "codec/zlib_codec.h"

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

}  // namespace
}  // namespace zq
