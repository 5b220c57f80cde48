#include "ui/line_list.h"

#include <gtest/gtest.h>

#include <tuple>

#include "ui/control_parser.h"
#include "ui/layout_blocks.h"
#include "ui/page_list.h"

namespace zq {
namespace {

std::vector<std::string> Lines(std::string_view text) {
  TLineList list;
  SplitLines(list, text);
  std::vector<std::string> out;
  for (std::size_t i = 0; i < list.Count(); ++i) out.push_back(list.Get(i));
  return out;
}

TEST(LineList, GetOutOfRangeIsEmptyAndClearEmpties) {
  TLineList list;
  list.Add("a");
  list.Add("b");
  EXPECT_EQ(list.Get(1), "b");
  EXPECT_EQ(list.Get(2), "");
  list.Clear();
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(list.Get(0), "");
  list.Add("c");
  EXPECT_EQ(list.Get(0), "c");
}

TEST(LineList, SplitsAtCarriageReturnsTrimsAndStopsAtNul) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Lines("a\r\n  b\t\r\r\nc"), (V{"a", "b", "", "c"}));
  EXPECT_EQ(Lines("a\r\nb\r\n"), (V{"a", "b", ""}));  // the LF after the last CR is a segment
  EXPECT_EQ(Lines("a\rb\r"), (V{"a", "b"}));          // a final empty segment is not added
  EXPECT_EQ(Lines("one\ntwo"), (V{"one\ntwo"}));      // LF alone does not break a line
  EXPECT_EQ(Lines(std::string_view("x\ry\0z\rw", 7)), (V{"x", "y"}));
}

TEST(LineList, SectionsGroupFromEachBracketLineWithLineNumbers) {
  TLineList lines;
  SplitLines(lines, "pre\r\r[a]\r1\r\r2\r[b]\r[c]\rx");
  std::vector<std::pair<std::string, std::vector<std::size_t>>> seen;
  ForEachSection(lines, [&](const TLineList& s, const std::vector<std::size_t>& n) { seen.emplace_back(s.Get(0), n); });
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].first, "pre");
  EXPECT_EQ(seen[1].second, (std::vector<std::size_t>{3, 4, 6}));
  EXPECT_EQ(seen[2].first, "[b]");
  EXPECT_EQ(seen[3].second, (std::vector<std::size_t>{8, 9}));
}

// What the wizard and the builder both read from a page list: each line below a head, with
// the head's name in lower case, its place below the head and its line in the file.
TEST(PageList, LinesCarryTheirSectionPlaceAndLineNumber) {
  struct Seen {
    std::string section;
    std::size_t index;
    std::string text;
    std::size_t number;
    bool operator==(const Seen&) const = default;
  };
  std::vector<Seen> seen;
  ForEachPageListLine("stray\r\nnext\r\n[Pages]\r\n welcome.txt\r\n\r\nfinish.txt\r\n[PAGETYPES]\r\nWelcome\r\n[]\r\nx",
                      [&](const PageListLine& l) {
                        seen.push_back({l.Section, l.Index, l.Text, l.Number});
                      });
  const std::vector<Seen> expected = {
      {"tra", 1, "next", 2},  // lines before the first head are headed by their first line
      {"pages", 1, "welcome.txt", 4}, {"pages", 2, "finish.txt", 6}, {"pagetypes", 1, "Welcome", 8}, {"", 1, "x", 10},
  };
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(PageTypeFromWord("MainLayout"), ptMainLayout);
  EXPECT_FALSE(PageTypeFromWord("intro"));
}

// The blocks a page builds controls from: known types only, properties split at the first "=".
TEST(LayoutBlocks, KnownTypesWithTheirPropertiesAndLineNumbers) {
  std::vector<LayoutBlock> seen;
  ForEachLayoutBlock(
      "[Logo]\r\nType=TImage\r\nFile=logo.bmp\r\nStretch\r\n\r\nCaption=a=b\r\n"
      "[Odd]\r\nType=TWidget\r\nFile=skip.bmp\r\n[NoType]\r\nFile=skip.bmp\r\n[Text]\r\nkind=trichedit",
      [&](const LayoutBlock& b) { seen.push_back(b); });
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].Name, "Logo");
  EXPECT_EQ(seen[0].Number, 1u);
  EXPECT_EQ(seen[0].Type, ControlType::Image);
  ASSERT_EQ(seen[0].Properties.size(), 3u);
  const std::tuple<std::string, std::string, std::size_t> properties[] = {
      {"File", "logo.bmp", 3}, {"", "Stretch", 4}, {"Caption", "a=b", 6}};
  for (std::size_t i = 0; i < 3; ++i) {
    const LayoutProperty& p = seen[0].Properties[i];
    EXPECT_EQ(std::tie(p.Key, p.Value, p.Number), properties[i]) << i;
  }
  EXPECT_EQ(seen[1].Name, "Text");
  EXPECT_EQ(seen[1].Type, ControlType::RichEdit);
  EXPECT_TRUE(seen[1].Properties.empty());
}

TEST(PageNumbers, DecimalHexSignAndRange) {
  EXPECT_EQ(ParsePageInt("42"), 42);
  EXPECT_EQ(ParsePageInt("-7"), -7);
  EXPECT_EQ(ParsePageInt("$FF00"), 0xFF00);
  EXPECT_EQ(ParsePageInt("$ffffff"), 0xFFFFFF);
  EXPECT_EQ(ParsePageInt("0x10"), 16);
  EXPECT_EQ(ParsePageInt(" 5"), 5);
  EXPECT_EQ(ParsePageInt("$FFFFFFFF"), -1);
  EXPECT_EQ(ParsePageInt("-2147483648"), INT32_MIN);
  for (const char* bad : {"", "$", "12px", "5 ", "2147483648", "$100000000", "ten", "1.5", "-"})
    EXPECT_FALSE(ParsePageInt(bad)) << bad;
  EXPECT_TRUE(ParsePageBool("TRUE"));
  EXPECT_FALSE(ParsePageBool("yes"));
  EXPECT_FALSE(ParsePageBool(""));
}

}  // namespace
}  // namespace zq
