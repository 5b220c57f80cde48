#include "container/pe_image.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace zq {
namespace {

using Head = std::vector<std::uint8_t>;

void Put16(Head& h, std::size_t at, std::uint16_t v) {
  h[at] = static_cast<std::uint8_t>(v);
  h[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Head& h, std::size_t at, std::uint32_t v) {
  Put16(h, at, static_cast<std::uint16_t>(v));
  Put16(h, at + 2, static_cast<std::uint16_t>(v >> 16));
}

// Headers laid out by hand: "MZ", e_lfanew 0x40, "PE\0\0", the file header, then the optional
// header (PE32: directories at 96; PE32+: at 112) with the security entry naming 0x9000, 0x800.
Head Image(bool plus) {
  Head h(0x200, 0);
  h[0] = 'M', h[1] = 'Z';
  Put32(h, 0x3C, 0x40);
  h[0x40] = 'P', h[0x41] = 'E';
  Put16(h, 0x44, 0x014C);
  Put16(h, 0x54, plus ? 240 : 224);
  Put16(h, 0x58, plus ? 0x20B : 0x10B);
  Put32(h, 0x58 + 64, 0xCAFE);             // CheckSum
  Put32(h, 0x58 + (plus ? 108 : 92), 16);  // NumberOfRvaAndSizes
  const std::size_t security = 0x58 + (plus ? 112 : 96) + 4 * 8;
  Put32(h, security, 0x9000);
  Put32(h, security + 4, 0x800);
  return h;
}

TEST(PeImage, SecurityDirectoryOfPe32AndPe32Plus) {
  for (bool plus : {false, true}) {
    SCOPED_TRACE(plus ? "PE32+" : "PE32");
    Head h = Image(plus);
    auto d = ReadPeSecurityDirectory(h.data(), h.size());
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->TableOffset, 0x9000u);
    EXPECT_EQ(d->TableSize, 0x800u);
    EXPECT_EQ(d->EntryOffset, plus ? 0xE8u : 0xD8u);
    EXPECT_EQ(d->ChecksumOffset, 0x98u);

    ASSERT_TRUE(ClearPeSecurityDirectory(h.data(), h.size()));
    d = ReadPeSecurityDirectory(h.data(), h.size());
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->TableOffset, 0u);
    EXPECT_EQ(d->TableSize, 0u);
    EXPECT_EQ(h[0x98] | h[0x99] | h[0x9A] | h[0x9B], 0);
    Head expected = Image(plus);
    for (std::size_t i : {0x98u, 0x99u, 0x9Au, 0x9Bu}) expected[i] = 0;
    for (std::size_t i = 0; i < 8; ++i) expected[d->EntryOffset + i] = 0;
    EXPECT_EQ(h, expected);  // nothing else changed
  }
}

TEST(PeImage, AnythingElseIsNoImage) {
  const struct {
    const char* name;
    std::function<void(Head&)> damage;
    std::size_t keep;  // leading bytes handed over; 0: all
  } cases[] = {
      {"no MZ", [](Head& h) { h[1] = 'X'; }, 0},
      {"e_lfanew past the head", [](Head& h) { Put32(h, 0x3C, 0x1F0); }, 0},
      {"e_lfanew huge", [](Head& h) { Put32(h, 0x3C, 0xFFFFFFF0u); }, 0},
      {"no PE signature", [](Head& h) { h[0x42] = 1; }, 0},
      {"unknown optional header", [](Head& h) { Put16(h, 0x58, 0x107); }, 0},
      {"four directories", [](Head& h) { Put32(h, 0x58 + 92, 4); }, 0},
      {"optional header too short for the entry", [](Head& h) { Put16(h, 0x54, 127); }, 0},
      {"head cut inside the entry", [](Head&) {}, 0xDC},
      {"head cut inside the DOS header", [](Head&) {}, 0x3E},
      {"empty", [](Head&) {}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Head h = Image(false);
    c.damage(h);
    const std::size_t size = c.keep == 0 ? h.size() : c.keep == 1 ? 0 : c.keep;
    EXPECT_FALSE(ReadPeSecurityDirectory(h.data(), size).has_value());
    const Head before = h;
    EXPECT_FALSE(ClearPeSecurityDirectory(h.data(), size));
    EXPECT_EQ(h, before);
  }
  EXPECT_FALSE(ReadPeSecurityDirectory(nullptr, 0).has_value());
}

// The engine an image is: the machine field and the optional header's kind must agree.
TEST(PeImage, MachineOfTheImage) {
  const struct {
    const char* name;
    bool plus;
    std::uint16_t machine;
    std::optional<PeMachine> expected;
  } cases[] = {
      {"PE32 for i386", false, 0x014C, PeMachine::X86},    {"PE32+ for AMD64", true, 0x8664, PeMachine::X64},
      {"PE32+ claiming i386", true, 0x014C, std::nullopt}, {"PE32 claiming AMD64", false, 0x8664, std::nullopt},
      {"PE32+ for ARM64", true, 0xAA64, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Head h = Image(c.plus);
    Put16(h, 0x44, c.machine);
    EXPECT_EQ(ReadPeMachine(h.data(), h.size()), c.expected);
  }
  Head cut = Image(true);
  EXPECT_FALSE(ReadPeMachine(cut.data(), 0x58).has_value());  // the head ends before the optional header
}

}  // namespace
}  // namespace zq
