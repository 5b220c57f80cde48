#include "ui/language.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/language_error.h"
#include "ui/test_tables.h"
#include "ui/text_numbers.h"

namespace zq {
namespace {

using test::TableBytes;

TLanguage Load(std::u16string_view text) {
  const std::string bytes = TableBytes(text);
  TLanguage language;
  language.LoadFromBuffer(bytes.data(), bytes.size());
  return language;
}

// Why loading refuses the table, or "" when it loads.
std::string LoadError(std::u16string_view text) {
  const std::string bytes = TableBytes(text);
  TLanguage language;
  std::string problem;
  return language.LoadFromBuffer(bytes.data(), bytes.size(), &problem) ? "" : problem;
}

TEST(LanguageTest, StockTableHead) {
  const TLanguage language = Load(
      u"English\r\n0c09;2809;1009;2409;4009;1809;2009;4409;1409;3409;4809;1c09;2c09;0809;0409;3009;\r\n"
      u"1 Welcome to <%SETUPTITLE%>\r\n");
  EXPECT_EQ(language.LangName, u"English");
  EXPECT_EQ(language.LangIds,
            (std::vector<std::uint16_t>{0x0c09, 0x2809, 0x1009, 0x2409, 0x4009, 0x1809, 0x2009, 0x4409, 0x1409, 0x3409,
                                        0x4809, 0x1c09, 0x2c09, 0x0809, 0x0409, 0x3009}));
  ASSERT_EQ(language.Strings.size(), 1u);
  EXPECT_EQ(language.Strings[0].Number, 1);
  EXPECT_EQ(language.Strings[0].Text, u"Welcome to <%SETUPTITLE%>");
}

TEST(LanguageTest, IdentifierLine) {
  EXPECT_EQ(Load(u"N\r0419;0819;").LangIds, (std::vector<std::uint16_t>{0x0419, 0x0819}));
  EXPECT_EQ(Load(u"N\r0415").LangIds, (std::vector<std::uint16_t>{0x0415}));
  EXPECT_EQ(Load(u"N\r0419;0C1A").LangIds, (std::vector<std::uint16_t>{0x0419, 0x0c1a}));
  EXPECT_TRUE(Load(u"N\r\r").LangIds.empty());
  // Only the low 16 bits of a wider value count.
  EXPECT_EQ(Load(u"N\r10409;").LangIds, (std::vector<std::uint16_t>{0x0409}));
}

TEST(LanguageTest, NumberedTexts) {
  const TLanguage language = Load(
      u"N\r0409\r"
      u"  3     several spaces then a word  \r"
      u"26\r"
      u"27   \r"
      u"\"12\" quoted number\r"
      u"1\"3\" quotes anywhere in the number\r"
      u"5\tsay \"hi\"\r"
      u"-7 negative\r"
      u"9 first\r"
      u"9 second\r"
      u"\t8 \t tab before\r");
  const std::vector<std::pair<std::int32_t, std::u16string>> expected = {
      {3, u"several spaces then a word"},
      {26, u""},
      {27, u""},
      {12, u"quoted number"},
      {13, u"quotes anywhere in the number"},
      {5, u"say \"hi\""},
      {-7, u"negative"},
      {9, u"first"},
      {9, u"second"},
      {8, u"tab before"},
  };
  ASSERT_EQ(language.Strings.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(language.Strings[i].Number, expected[i].first) << "line " << i + 3;
    EXPECT_EQ(language.Strings[i].Text, expected[i].second) << "line " << i + 3;
  }
}

TEST(LanguageTest, TablesThatDoNotLoad) {
  EXPECT_NE(LoadError(u""), "");
  EXPECT_NE(LoadError(u"English"), "");
  // LF-only breaks leave just the last line.
  EXPECT_NE(LoadError(u"English\n0409;\n1 Welcome"), "");

  EXPECT_NE(LoadError(u"N\r04G9;"), "");
  EXPECT_NE(LoadError(u"N\r0419;;"), "");
  EXPECT_NE(LoadError(u"N\r0419; 0809"), "");
  EXPECT_NE(LoadError(u"N\r0x0419"), "");
  EXPECT_NE(LoadError(u"N\r100000000"), "");

  EXPECT_NE(LoadError(u"N\r0409\rabc text"), "");
  EXPECT_NE(LoadError(u"N\r0409\r\"1 2\" a space inside quotes"), "");
  EXPECT_NE(LoadError(u"N\r0409\r\"5 unclosed quote"), "");
  EXPECT_NE(LoadError(u"N\r0409\r2147483648 too big"), "");
  EXPECT_NE(LoadError(u"N\r0409\r1.5 not an integer"), "");
  // A blank line has an empty number.
  EXPECT_NE(LoadError(u"N\r0409\r1 a\r\r2 b"), "");
}

TEST(LanguageTest, ErrorsNameTheLine) {
  EXPECT_NE(LoadError(u"N\r0409;x1;").find("line 2"), std::string::npos);
  const std::string message = LoadError(u"N\r0409\r1 a\r2 b\rthree c");
  EXPECT_NE(message.find("line 5"), std::string::npos) << message;
  EXPECT_NE(message.find("\"three\""), std::string::npos) << message;
}

TEST(LanguageTest, FailedLoadLeavesTheTable) {
  TLanguage language;
  const std::string good = TableBytes(u"English\r0409\r1 One");
  ASSERT_TRUE(language.LoadFromBuffer(good.data(), good.size()));
  const std::string bytes = TableBytes(u"Deutsch\r0407\rx y");
  EXPECT_FALSE(language.LoadFromBuffer(bytes.data(), bytes.size()));
  EXPECT_FALSE(language.LoadFromBuffer(nullptr, 0));
  EXPECT_EQ(language.LangName, u"English");
  EXPECT_EQ(language.LangIds, std::vector<std::uint16_t>{0x0409});
  ASSERT_EQ(language.Strings.size(), 1u);
  EXPECT_EQ(language.Strings[0].Text, u"One");
}

TEST(TextNumbersTest, Int32) {
  EXPECT_EQ(ParseInt32(u"0"), 0);
  EXPECT_EQ(ParseInt32(u"+5"), 5);
  EXPECT_EQ(ParseInt32(u"-0"), 0);
  EXPECT_EQ(ParseInt32(u"007"), 7);
  EXPECT_EQ(ParseInt32(u"2147483647"), 2147483647);
  EXPECT_EQ(ParseInt32(u"-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseInt32(u"0000000000000000000000042"), 42);
  for (std::u16string_view bad : {u"", u"+", u"-", u"1 ", u" 1", u"1-", u"2147483648", u"-2147483649",
                                  u"99999999999999999999999999", u"\uFF11", u"1e3", u"0x10"})
    EXPECT_FALSE(ParseInt32(bad).has_value()) << std::string(bad.begin(), bad.end());
}

TEST(TextNumbersTest, Hex32) {
  EXPECT_EQ(ParseHex32(u"0419"), 0x0419u);
  EXPECT_EQ(ParseHex32(u"abCD"), 0xABCDu);
  EXPECT_EQ(ParseHex32(u"FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseHex32(u"000000000001"), 1u);
  for (std::u16string_view bad : {u"", u"100000000", u"-1", u"+1", u"0x1", u"g", u"1 "})
    EXPECT_FALSE(ParseHex32(bad).has_value()) << std::string(bad.begin(), bad.end());
}

}  // namespace
}  // namespace zq
