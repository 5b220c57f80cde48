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

TEST(TextCase, MapsLettersOfEveryCommonScriptBothWays) {
  const struct {
    const char* lower;
    const char* upper;
  } pairs[] = {
      {"setup-data_01.pak", "SETUP-DATA_01.PAK"},
      {"gr\xC3\xB6\xC3\x9F"
       "e \xC3\xA0\xC3\xA9\xC3\xB8\xC3\xBE",
       "GR\xC3\x96\xC3\x9F"
       "E \xC3\x80\xC3\x89\xC3\x98\xC3\x9E"},
      {"\xC5\xA1\xC5\x93\xC5\xBE\xC3\xBF \xC4\x81\xC4\xBA\xC5\x82\xC5\x84\xC5\xBA",  // š œ ž ÿ ā ĺ ł ń ź
       "\xC5\xA0\xC5\x92\xC5\xBD\xC5\xB8 \xC4\x80\xC4\xB9\xC5\x81\xC5\x83\xC5\xB9"},
      {"\xCE\xB1\xCE\xB2\xCE\xB3 \xCE\xAC\xCE\xAD\xCF\x8C\xCF\x8E",  // αβγ άέόώ
       "\xCE\x91\xCE\x92\xCE\x93 \xCE\x86\xCE\x88\xCE\x8C\xCE\x8F"},
      {"\xD0\xB4\xD0\xB6 \xD1\x91", "\xD0\x94\xD0\x96 \xD0\x81"},                                            // дж ё
      {"\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 @[`{", "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 @[`{"},  // no case
  };
  for (const auto& p : pairs) {
    EXPECT_EQ(LowerCase(p.upper), p.lower) << p.upper;
    EXPECT_EQ(UpperCase(p.lower), p.upper) << p.lower;
    EXPECT_EQ(SimpleCaseMapped(p.upper, false), p.lower) << p.upper;
  }
  EXPECT_EQ(LowerCase(""), "");
}

TEST(TextKinds, AsciiAndWellFormedUtf8) {
  EXPECT_TRUE(IsAscii("plain.txt"));
  EXPECT_FALSE(
      IsAscii("gr\xC3\xB6\xC3\x9F"
              "e"));
  EXPECT_TRUE(
      IsUtf8("gr\xC3\xB6\xC3\x9F"
             "e \xF0\x9F\x98\x80 \xEF\xBF\xBD"));
  EXPECT_FALSE(
      IsUtf8("Gr\xF6\xDF"
             "e"));  // Windows-1252 bytes
  EXPECT_FALSE(IsUtf8("\xE2\x82"));
}

}  // namespace
}  // namespace zq::platform
