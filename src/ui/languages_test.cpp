#include "ui/languages.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/language_error.h"
#include "ui/test_tables.h"

namespace zq {
namespace {

using test::TableBytes;

bool Add(TLanguages& languages, std::u16string_view table, std::string* problem = nullptr) {
  const std::string bytes = TableBytes(table);
  return languages.AddLanguage(bytes.data(), bytes.size(), problem);
}

TLanguages OneTable(std::u16string_view texts) {
  TLanguages languages;
  Add(languages, u"English\r\n0409;\r\n" + std::u16string(texts));
  languages.Current = 0;
  return languages;
}

TEST(LanguagesTest, FindLanguage) {
  TLanguages languages;
  EXPECT_EQ(languages.FindLanguage(0x0409), -1);
  Add(languages, u"English\r\n0409;0809;\r\n");
  Add(languages, u"Russian\r\n0419;0819;\r\n");
  Add(languages, u"Polish\r\n0415\r\n");
  Add(languages, u"Moldavian\r\n0819;\r\n");
  EXPECT_EQ(languages.Current, -1);
  ASSERT_EQ(languages.Items.size(), 4u);
  EXPECT_EQ(languages.Items[2].LangName, u"Polish");
  EXPECT_EQ(languages.FindLanguage(0x0809), 0);
  EXPECT_EQ(languages.FindLanguage(0x0819), 1);  // first loaded wins
  EXPECT_EQ(languages.FindLanguage(0x0415), 2);
  EXPECT_EQ(languages.FindLanguage(0x0407), -1);
}

TEST(LanguagesTest, AddLanguageKeepsNothingOfAFailedTable) {
  TLanguages languages;
  std::string problem;
  EXPECT_FALSE(Add(languages, u"English\n0409;\n1 Welcome", &problem));
  EXPECT_NE(problem.find("need two"), std::string::npos) << problem;
  EXPECT_TRUE(languages.Items.empty());
  EXPECT_FALSE(languages.AddLanguage(nullptr, 0, &problem));
  EXPECT_EQ(problem, "Cannot open file");
  EXPECT_TRUE(languages.Items.empty());
}

TEST(LanguagesTest, GetText) {
  TLanguages languages = OneTable(u"9 first\r9 second\r65541 wide\r-2 minus two\r12 < Back\r");
  EXPECT_EQ(languages.GetText(12), u"< Back");
  EXPECT_EQ(languages.GetText(9), u"first");
  // Numbers compare in their low 16 bits, and the first match wins.
  EXPECT_EQ(languages.GetText(5), u"wide");
  EXPECT_EQ(languages.GetText(65536 + 9), u"first");
  EXPECT_EQ(languages.GetText(65534), u"minus two");
  EXPECT_EQ(languages.GetText(13), u"NOT FOUND 13");
  EXPECT_EQ(languages.GetText(-1), u"NOT FOUND 65535");
}

TEST(LanguagesTest, GetTextWithoutAUsableTable) {
  TLanguages languages;
  EXPECT_EQ(languages.GetText(-1), u"NOT FOUND 65535");
  languages.Current = 0;
  EXPECT_EQ(languages.GetText(7), u"NOT FOUND 7");
  Add(languages, u"Empty\r0409\r");
  EXPECT_EQ(languages.GetText(7), u"NOT FOUND 7");
  Add(languages, u"Full\r0409\r7 seven\r");
  languages.Current = 2;
  EXPECT_EQ(languages.GetText(7), u"NOT FOUND 7");
  languages.Current = -1;
  EXPECT_EQ(languages.GetText(7), u"NOT FOUND 7");
  languages.Current = 1;
  EXPECT_EQ(languages.GetText(7), u"seven");
}

TEST(LanguagesTest, ReplaceTextFoldsOnlyAToZ) {
  const auto replace = TLanguages::ReplaceText;
  EXPECT_EQ(replace(u"a<br>b<BR>c<bR>", u"<BR>", u"\r"), u"a\rb\rc\r");
  EXPECT_EQ(replace(u"Copying File <%FILENAME%>", u"<%filename%>", u"x.dat"), u"Copying File x.dat");
  EXPECT_EQ(replace(u"\u00C4 \u00E4 [ {", u"\u00E4", u"ae"), u"\u00C4 ae [ {");
  EXPECT_EQ(replace(u"[ {", u"{", u"!"), u"[ !");  // '[' + 32 would be '{'
  EXPECT_EQ(replace(u"no match", u"xyz", u"!"), u"no match");
  EXPECT_EQ(replace(u"abc", u"", u"!"), u"abc");
  EXPECT_EQ(replace(u"", u"a", u"!"), u"");
  EXPECT_EQ(replace(u"a-b-c", u"-", u""), u"abc");
}

TEST(LanguagesTest, ReplaceTextSearchesAgainFromTheStart) {
  const auto replace = TLanguages::ReplaceText;
  EXPECT_EQ(replace(u"aaa", u"aa", u"b"), u"ba");
  // Occurrences made by a replacement, ending inside it or starting before it, are replaced too.
  EXPECT_EQ(replace(u"abbb", u"ab", u"a"), u"a");
  EXPECT_EQ(replace(u"xaaaab", u"aab", u"ab"), u"xab");
  EXPECT_EQ(replace(u"<B<BR>R>", u"<br>", u""), u"");
}

TEST(LanguagesTest, ReplaceTextManyOrdinaryReplacements) {
  std::u16string text;
  std::u16string expected;
  for (int i = 0; i < 9000; ++i) {
    text += i % 2 ? u"line<BR>" : u"line<br>";
    expected += u"line\r\n";
  }
  EXPECT_EQ(TLanguages::ReplaceText(text, u"<BR>", u"\r\n"), expected);
}

TEST(LanguagesTest, ReplaceTextSelfReferenceTerminates) {
  const std::u16string grown = TLanguages::ReplaceText(u"a x b", u"x", u"xx");
  EXPECT_GT(grown.size(), 5000u);
  EXPECT_LT(grown.size(), 4u << 20);
  EXPECT_EQ(grown.substr(0, 3), u"a x");
  EXPECT_EQ(grown.substr(grown.size() - 3), u"x b");
  EXPECT_EQ(TLanguages::ReplaceText(u"<br>", u"<BR>", u"<BR>"), u"<BR>");
  const std::u16string long_replacement(100000, u'y');
  EXPECT_LT(TLanguages::ReplaceText(u"y", u"Y", long_replacement).size(), 4u << 20);
}

TEST(LanguagesTest, ExpandLangTags) {
  const TLanguages languages =
      OneTable(u"1 Hello <LANG2>\r2 World\r3 <LAN\r4 NG2>\r5 five\r7 Space available <%SPACEAVA%>\r");
  EXPECT_EQ(languages.ExpandLangTags(u"[<LANG5>]"), u"[five]");
  EXPECT_EQ(languages.ExpandLangTags(u"[<lang5>]"), u"[<lang5>]");
  EXPECT_EQ(languages.ExpandLangTags(u"<LANG7>"), u"Space available <%SPACEAVA%>");
  EXPECT_EQ(languages.ExpandLangTags(u"<LANG42>"), u"NOT FOUND 42");
  EXPECT_EQ(languages.ExpandLangTags(u"<LANG-1>"), u"NOT FOUND 65535");
  EXPECT_EQ(languages.ExpandLangTags(u"<LANG+05>"), u"five");
  EXPECT_EQ(languages.ExpandLangTags(u"no tags < LANG"), u"no tags < LANG");
  // Tags inside inserted texts, and tags that only form once a text is inserted.
  EXPECT_EQ(languages.ExpandLangTags(u"<LANG1>!"), u"Hello World!");
  EXPECT_EQ(languages.ExpandLangTags(u"<LANG3>G1>"), u"Hello World");
  EXPECT_EQ(languages.ExpandLangTags(u"<LA<LANG4>"), u"World");
}

TEST(LanguagesTest, ExpandLangTagsMalformed) {
  const TLanguages languages = OneTable(u"5 five\r6 <LANG\r");
  for (std::u16string_view bad : {u"<LANG5", u"<LANG>", u"<LANGx>", u"<LANG 5>", u"<LANG5 >", u"<LANG1.0>",
                                  u"<LANG99999999999>", u"<LANG5> then <LANG", u"<LANG6>"}) {
    EXPECT_THROW(languages.ExpandLangTags(std::u16string(bad)), LanguageError) << std::string(bad.begin(), bad.end());
  }
  const std::u16string long_tag = u"<LANG" + std::u16string(100000, u'1') + u">";
  EXPECT_THROW(languages.ExpandLangTags(long_tag), LanguageError);
}

TEST(LanguagesTest, ExpandLangTagsWithoutTables) {
  TLanguages languages;
  languages.Current = 0;
  EXPECT_EQ(languages.ExpandLangTags(u"<LANG5> <LANG"), u"<LANG5> <LANG");
  languages.Current = -1;
  EXPECT_EQ(languages.ExpandLangTags(u"<LANG5>"), u"NOT FOUND 5");
}

TEST(LanguagesTest, ExpandLangTagsSelfReferenceTerminates) {
  const TLanguages languages = OneTable(u"5 x<LANG5>\r6 <LANG6>\r7 <LANG8>\r8 <LANG7>\r");
  const std::u16string grown = languages.ExpandLangTags(u"<LANG5>");
  EXPECT_GT(grown.size(), 5000u);
  EXPECT_LT(grown.size(), 4u << 20);
  EXPECT_EQ(languages.ExpandLangTags(u"a<LANG6>b"), u"a<LANG6>b");
  const std::u16string cycle = languages.ExpandLangTags(u"<LANG7>");
  EXPECT_TRUE(cycle == u"<LANG7>" || cycle == u"<LANG8>") << cycle.size();
}

}  // namespace
}  // namespace zq
