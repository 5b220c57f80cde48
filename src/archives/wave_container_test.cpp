#include "archives/wave_container.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/byte_io.h"

namespace zq {
namespace {

Bytes Wave(std::uint16_t channels, std::uint16_t bits, std::uint32_t data_size, const Bytes& extra = {}) {
  Bytes w;
  PutText(w, "RIFF");
  PutU32(w, 36 + data_size);
  PutText(w, "WAVEfmt ");
  PutU32(w, 16);
  PutU16(w, 1);
  PutU16(w, channels);
  PutU32(w, 22050);
  PutU32(w, 22050u * channels * bits / 8);
  PutU16(w, static_cast<std::uint16_t>(channels * bits / 8));
  PutU16(w, bits);
  PutText(w, "data");
  PutU32(w, data_size);
  for (std::uint32_t i = 0; i < data_size / 2; ++i)
    PutU16(w, static_cast<std::uint16_t>(static_cast<std::int16_t>(8000 * std::sin(i * 0.05))));
  if (data_size % 2) w.push_back(0);
  w.insert(w.end(), extra.begin(), extra.end());
  return w;
}

Bytes Cue(std::vector<std::uint32_t> positions) {
  Bytes c;
  PutText(c, "cue ");
  PutU32(c, static_cast<std::uint32_t>(4 + 24 * positions.size()));
  PutU32(c, static_cast<std::uint32_t>(positions.size()));
  for (std::uint32_t i = 0; i < positions.size(); ++i) {
    PutU32(c, i);
    PutU32(c, positions[i]);
    c.resize(c.size() + 16, 0);
  }
  return c;
}

std::int32_t I32(const Bytes& b, std::size_t at) { return static_cast<std::int32_t>(GetU32(b.data() + at)); }

TEST(WaveContainer, MonoBlockLayout) {
  auto c = BuildWaveContainer("snd\\a.wav", Wave(1, 16, 4100));
  ASSERT_TRUE(c);
  EXPECT_EQ((*c)[44], 1);
  EXPECT_EQ(GetU32(c->data() + 40), 4100u);
  EXPECT_EQ(I32(*c, 54), 1043);
  EXPECT_EQ(c->size(), 58u + 1043);
  EXPECT_EQ(I32(*c, 45), -1);
  // Decoding the codes again meets the state each block ends with.
  std::string problem;
  auto pcm = DecodeWaveContainer(*c, problem);
  ASSERT_TRUE(pcm) << problem;
  EXPECT_EQ(pcm->size(), 44u + 4100);
  Bytes source = Wave(1, 16, 4100);
  double error = 0;
  for (std::size_t i = 44; i + 1 < pcm->size(); i += 2)
    error = std::max(error, std::abs(double(std::int16_t(GetU16(&(*pcm)[i]))) - std::int16_t(GetU16(&source[i]))));
  EXPECT_LT(error, 2000);
}

TEST(WaveContainer, StereoRoundsToEightAndSplitsChannels) {
  auto c = BuildWaveContainer("a.wav", Wave(2, 16, 4100));
  ASSERT_TRUE(c);
  EXPECT_EQ(GetU32(c->data() + 40), 4096u);
  EXPECT_EQ(I32(*c, 54), 4096 / 4 + 6 * 2);
  // A flipped code of the right channel breaks that channel's state, not the left one's.
  Bytes damaged = *c;
  damaged[58 + 256 + 3] ^= 0x77;
  std::string problem;
  EXPECT_FALSE(DecodeWaveContainer(damaged, problem));
  EXPECT_NE(problem.find("block 0"), std::string::npos);
}

TEST(WaveContainer, PcmKeptForEffectsEightBitAndLoops) {
  for (const auto& [name, wave] :
       std::vector<std::pair<std::string, Bytes>>{{"x\\Effects\\a.wav", Wave(1, 16, 400)},
                                                  {"a.wav", Wave(1, 8, 400)},
                                                  {"a.wav", Wave(1, 16, 400, Cue({10, 5}))}}) {
    auto c = BuildWaveContainer(name, wave);
    ASSERT_TRUE(c);
    EXPECT_EQ((*c)[44], 0) << name;
    EXPECT_EQ(I32(*c, 54), 400);
  }
  auto looped = BuildWaveContainer("a.wav", Wave(1, 16, 400, Cue({10, 5})));
  EXPECT_EQ(I32(*looped, 45), 10);  // swapped: 5 * 2 bytes per sample, 10 * 2
  EXPECT_EQ(I32(*looped, 49), 20);
  auto one = BuildWaveContainer("a.wav", Wave(1, 16, 400, Cue({7})));
  EXPECT_EQ(I32(*one, 45), 14);
  EXPECT_EQ(I32(*one, 49), 400);
  EXPECT_EQ((*one)[53], 1);
  // "effects" in another case is no effects folder.
  EXPECT_EQ((*BuildWaveContainer("x\\effects\\a.wav", Wave(1, 16, 400)))[44], 1);
}

TEST(WaveContainer, NonCanonicalAndShortSourcesAreSkipped) {
  Bytes w = Wave(1, 16, 400);
  EXPECT_FALSE(BuildWaveContainer("a.wav", Bytes(w.begin(), w.begin() + 43)));
  Bytes fmt18 = w;
  SetU32(fmt18.data() + 16, 18);
  EXPECT_FALSE(BuildWaveContainer("a.wav", fmt18));
  Bytes too_long = w;
  SetU32(too_long.data() + 40, 401);  // more data than the file holds
  EXPECT_FALSE(BuildWaveContainer("a.wav", too_long));
  Bytes no_rate = Wave(1, 16, 400, Cue({7}));
  SetU32(no_rate.data() + 24, 0);
  EXPECT_EQ(I32(*BuildWaveContainer("a.wav", no_rate), 45), -1);
  // A cue chunk claiming more points than it holds reads none past the end.
  Bytes lying = Wave(1, 16, 400, Cue({}));
  SetU32(lying.data() + lying.size() - 4, 1000);
  EXPECT_TRUE(BuildWaveContainer("a.wav", lying));
}

}  // namespace
}  // namespace zq
