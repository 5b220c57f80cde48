// Host conversions follow Windows-1252 exactly.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/text.h"

namespace zq::platform {
namespace {

std::string AllBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes;
}

TEST(Cp1252, EveryByteRoundTrips) {
  const std::string bytes = AllBytes();
  const std::u16string wide = AnsiToWide(bytes);
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(WideToAnsi(wide), bytes);
}

TEST(Cp1252, HighBytesMapToTheirCharacters) {
  const std::u16string wide = AnsiToWide(AllBytes());
  EXPECT_EQ(wide[0x80], u'\u20ac');
  EXPECT_EQ(wide[0x85], u'\u2026');
  EXPECT_EQ(wide[0x8A], u'\u0160');
  EXPECT_EQ(wide[0x93], u'\u201c');
  EXPECT_EQ(wide[0x99], u'\u2122');
  EXPECT_EQ(wide[0x9F], u'\u0178');
  for (int undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(wide[undefined], char16_t(undefined));
  for (int b = 0xA0; b < 0x100; ++b) EXPECT_EQ(wide[b], char16_t(b));
  // No two bytes share a character.
  std::u16string sorted = wide;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
}

TEST(Cp1252, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(WideToAnsi(u"\u20ac\u00e9"), "\x80\xE9");
  EXPECT_EQ(WideToAnsi(u"\u0100"), "?");
  EXPECT_EQ(WideToAnsi(u"\u0080"), "?");  // its byte means the euro sign
  EXPECT_EQ(WideToAnsi(u"a\U0001F600b"), "a?b");
  EXPECT_EQ(WideToAnsi(std::u16string{char16_t(0xD800), u'b'}), "?b");
}

TEST(Cp1252, CaseRules) {
  EXPECT_EQ(AnsiLowerCase("\xC0\xC9\xD6\xD8\xDE"), "\xE0\xE9\xF6\xF8\xFE");  // À É Ö Ø Þ
  EXPECT_EQ(AnsiUpperCase("\xE0\xE9\xF6\xF8\xFE"), "\xC0\xC9\xD6\xD8\xDE");
  EXPECT_EQ(AnsiLowerCase("\x8A\x8C\x8E\x9F"), "\x9A\x9C\x9E\xFF");  // Š Œ Ž Ÿ
  EXPECT_EQ(AnsiUpperCase("\x9A\x9C\x9E\xFF"), "\x8A\x8C\x8E\x9F");
  EXPECT_EQ(AnsiLowerCase("\xD7"), "\xD7");          // × is no letter
  EXPECT_EQ(AnsiUpperCase("\xF7"), "\xF7");          // nor ÷
  EXPECT_EQ(AnsiUpperCase("\xDF\xB5"), "\xDF\xB5");  // ß and µ have no capital here
}

TEST(Cp1252, CaseChangesExactlyTheLetters) {
  const std::string bytes = AllBytes();
  const std::string lower = AnsiLowerCase(bytes);
  const std::string upper = AnsiUpperCase(bytes);
  int lowered = 0, raised = 0;
  for (int i = 0; i < 256; ++i) {
    if (lower[i] != bytes[i]) {
      ++lowered;
      EXPECT_EQ(static_cast<unsigned char>(AnsiUpperCase(lower.substr(i, 1))[0]), i) << i;
    }
    if (upper[i] != bytes[i]) {
      ++raised;
      EXPECT_EQ(static_cast<unsigned char>(AnsiLowerCase(upper.substr(i, 1))[0]), i) << i;
    }
  }
  // 26 ASCII letters, 30 of 0xC0..0xDE, and Š Œ Ž Ÿ.
  EXPECT_EQ(lowered, 60);
  EXPECT_EQ(raised, 60);
}

}  // namespace
}  // namespace zq::platform
