#include "platform/text.h"

#include <gtest/gtest.h>

namespace zq::platform {
namespace {

TEST(Utf8, EncodesEachLength) {
  EXPECT_EQ(WideToUtf8(u"A"), "A");
  EXPECT_EQ(WideToUtf8(u"\u00e9"), "\xC3\xA9");
  EXPECT_EQ(WideToUtf8(u"\u20ac"), "\xE2\x82\xAC");
  EXPECT_EQ(WideToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(WideToUtf8(u"\uffff"), "\xEF\xBF\xBF");
  EXPECT_EQ(WideToUtf8(std::u16string(u"a\0b", 3)), std::string("a\0b", 3));
}

TEST(Utf8, DecodesEachLength) {
  EXPECT_EQ(Utf8ToWide("A\xC3\xA9\xE2\x82\xAC"), u"A\u00e9\u20ac");
  EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(Utf8ToWide("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
}

TEST(Utf8, LoneSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(WideToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(WideToUtf8(std::u16string{char16_t(0xDC00), u'x'}), "\xEF\xBF\xBDx");
  EXPECT_EQ(WideToUtf8(std::u16string{char16_t(0xD83D), u'x'}), "\xEF\xBF\xBDx");
  // Two high halves: neither pairs.
  EXPECT_EQ(WideToUtf8(std::u16string{char16_t(0xD83D), char16_t(0xD83D), char16_t(0xDE00)}),
            "\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

TEST(Utf8, InvalidInputBecomesReplacementCharacters) {
  const std::u16string bad(1, char16_t(0xFFFD));
  EXPECT_EQ(Utf8ToWide("\x80"), bad);
  EXPECT_EQ(Utf8ToWide("\xFF"), bad);
  EXPECT_EQ(Utf8ToWide("\xC0\xAF"), bad + bad);                      // overlong "/"
  EXPECT_EQ(Utf8ToWide("\xE0\x80\xAF"), bad + bad + bad);            // overlong, three bytes
  EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), bad + bad + bad);            // encoded surrogate
  EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80"), bad + bad + bad + bad);  // above U+10FFFF
  // A truncated sequence is one replacement and the next character survives.
  EXPECT_EQ(Utf8ToWide("\xE2\x82"
                       "A"),
            bad + u"A");
  EXPECT_EQ(Utf8ToWide("x\xF0\x9F\x98"), u"x" + bad);
}

TEST(Utf8, RoundTripsEveryPlane) {
  std::u16string text;
  for (char32_t cp : {0x41u, 0x7FFu, 0x800u, 0xD7FFu, 0xE000u, 0xFFFDu, 0x10000u, 0x10FFFFu}) {
    if (cp < 0x10000) {
      text += static_cast<char16_t>(cp);
    } else {
      text += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      text += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
}

TEST(Ansi, AsciiConvertsBothWays) {
  std::string ascii;
  for (int c = 1; c < 0x80; ++c) ascii += static_cast<char>(c);
  const std::u16string wide = AnsiToWide(ascii);
  ASSERT_EQ(wide.size(), ascii.size());
  for (std::size_t i = 0; i < ascii.size(); ++i) EXPECT_EQ(wide[i], static_cast<char16_t>(ascii[i]));
  EXPECT_EQ(WideToAnsi(wide), ascii);
}

TEST(Ansi, CaseChangesLettersOnly) {
  EXPECT_EQ(AnsiLowerCase("Setup-Data_01.PAK"), "setup-data_01.pak");
  EXPECT_EQ(AnsiUpperCase("Setup-Data_01.pak"), "SETUP-DATA_01.PAK");
  EXPECT_EQ(AnsiLowerCase("@[`{"), "@[`{");
  EXPECT_EQ(AnsiUpperCase("@[`{"), "@[`{");
  EXPECT_EQ(AnsiLowerCase(""), "");
}

TEST(Ansi, CharactersOutsideTheCodePageBecomeQuestionMarks) { EXPECT_EQ(WideToAnsi(u"a\u4e2db"), "a?b"); }

}  // namespace
}  // namespace zq::platform
