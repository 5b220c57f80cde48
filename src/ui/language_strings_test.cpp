#include "ui/language_strings.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/expand_caption.h"
#include "ui/languages.h"
#include "ui/test_tables.h"

namespace zq {
namespace {

TEST(LanguageStringsTest, NamesAreStoredLowerCasedAndMatchInAnyCase) {
  std::string title = "Demo";
  TLanguageStrings strings;
  strings.Add("<%SETUPTITLE%>", &title);
  ASSERT_EQ(strings.Items().size(), 1u);
  EXPECT_EQ(strings.Items()[0].Name, "<%setuptitle%>");
  EXPECT_EQ(strings.ExpandVariables(u"<%SETUPTITLE%> <%SetupTitle%>"), u"Demo Demo");
}

TEST(LanguageStringsTest, ValuesAreReadAtExpansion) {
  std::string space = "1.2 MB";
  TLanguageStrings strings;
  strings.Add("<%SPACEAVA%>", &space);
  EXPECT_EQ(strings.ExpandVariables(u"Space available <%SPACEAVA%>"), u"Space available 1.2 MB");
  space = "\xC3\xA9t\xC3\xA9";  // UTF-8, converted for display
  EXPECT_EQ(strings.ExpandVariables(u"Space available <%SPACEAVA%>"), u"Space available \u00E9t\u00E9");
}

TEST(LanguageStringsTest, RegistrationOrder) {
  std::string a = "<%B%>";
  std::string b = "b";
  TLanguageStrings a_first;
  a_first.Add("<%A%>", &a);
  a_first.Add("<%B%>", &b);
  EXPECT_EQ(a_first.ExpandVariables(u"<%A%>"), u"b");
  TLanguageStrings b_first;
  b_first.Add("<%B%>", &b);
  b_first.Add("<%A%>", &a);
  EXPECT_EQ(b_first.ExpandVariables(u"<%A%>"), u"<%B%>");
}

TEST(LanguageStringsTest, NullVariableExpandsToNothing) {
  TLanguageStrings strings;
  strings.Add("<%CHANGELOG%>", nullptr);
  EXPECT_EQ(strings.ExpandVariables(u"[<%CHANGELOG%>]"), u"[]");
}

TEST(ExpandCaptionTest, TagsThenBreaksThenPlaceholders) {
  TLanguages languages;
  const std::string table = test::TableBytes(u"English\r\n0409;\r\n1 Welcome to <%SETUPTITLE%><br>Next\r\n");
  languages.AddLanguage(table.data(), table.size());
  languages.Current = 0;
  std::string title = "A<BR>B <LANG1>";
  TLanguageStrings strings;
  strings.Add("<%SETUPTITLE%>", &title);
  EXPECT_EQ(ExpandCaption(languages, languages.Current, strings, u"<LANG1><BR>"), u"Welcome to A<BR>B <LANG1>\rNext\r");
  title = "Demo";
  EXPECT_EQ(ExpandCaption(languages, languages.Current, strings, u"<LANG1>"), u"Welcome to Demo\rNext");
}

}  // namespace
}  // namespace zq
