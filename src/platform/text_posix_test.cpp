// The host's legacy code page is Windows-1252, followed exactly.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/text.h"

namespace zq::platform {
namespace {

TEST(LegacyText, EveryWindows1252ByteBecomesItsCharacter) {
  std::string bytes;
  for (int i = 1; i < 256; ++i) bytes += static_cast<char>(i);
  const std::u16string wide = Utf8ToWide(LegacyToUtf8(bytes));
  ASSERT_EQ(wide.size(), 255u);
  EXPECT_EQ(wide[0x80 - 1], u'\u20ac');
  EXPECT_EQ(wide[0x85 - 1], u'\u2026');
  EXPECT_EQ(wide[0x8A - 1], u'\u0160');
  EXPECT_EQ(wide[0x99 - 1], u'\u2122');
  EXPECT_EQ(wide[0x9F - 1], u'\u0178');
  for (int undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(wide[undefined - 1], char16_t(undefined));
  for (int b = 0xA0; b < 0x100; ++b) EXPECT_EQ(wide[b - 1], char16_t(b));
  std::u16string sorted = wide;  // no two bytes share a character
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
  EXPECT_EQ(LegacyToUtf8("Gr\xF6\xDF"
                         "e.txt"),
            "Gr\xC3\xB6\xC3\x9F"
            "e.txt");
}

}  // namespace
}  // namespace zq::platform
