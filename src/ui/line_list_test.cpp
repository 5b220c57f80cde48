#include "ui/line_list.h"

#include <gtest/gtest.h>

#include "ui/control_parser.h"

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
