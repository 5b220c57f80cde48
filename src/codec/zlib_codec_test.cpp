#include "codec/zlib_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace zq {
namespace {

Bytes FromString(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(Crc32, ConventionalValues) {
  Bytes check = FromString("123456789");
  EXPECT_EQ(Crc32(check.data(), check.size()), 0xCBF43926u);
  EXPECT_EQ(Crc32(nullptr, 0), 0u);
  // Continuing over two halves gives the value of the whole.
  EXPECT_EQ(Crc32(check.data() + 4, 5, Crc32(check.data(), 4)), 0xCBF43926u);
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
  EXPECT_EQ(Inflate(flipped.data(), flipped.size(), text.size(), 1 << 20).status,
            InflateResult::Status::Damaged);

  Bytes garbage = FromString("this is not a zlib stream at all");
  EXPECT_EQ(Inflate(garbage.data(), garbage.size(), 10, 1 << 20).status, InflateResult::Status::Damaged);

  InflateResult capped = Inflate(packed.data(), packed.size(), 100, 1000);
  EXPECT_EQ(capped.status, InflateResult::Status::TooLarge);
  EXPECT_EQ(capped.data.size(), 1000u);
}

}  // namespace
}  // namespace zq
