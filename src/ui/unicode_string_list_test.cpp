#include "ui/unicode_string_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/language_error.h"
#include "ui/test_tables.h"

namespace zq {
namespace {

using test::TableBytes;

std::vector<std::u16string> Lines(const std::string& bytes) {
  TUnicodeStringList list;
  list.LoadFromBuffer(bytes.data(), bytes.size());
  std::vector<std::u16string> lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Get(i));
  return lines;
}

using L = std::vector<std::u16string>;

TEST(UnicodeStringListTest, LineBreaks) {
  EXPECT_EQ(Lines(TableBytes(u"one\r\ntwo\r\n")), (L{u"one", u"two"}));
  EXPECT_EQ(Lines(TableBytes(u"one\rtwo\r")), (L{u"one", u"two"}));
  EXPECT_EQ(Lines(TableBytes(u"one\r\n\r\nthree\r")), (L{u"one", u"", u"three"}));
  // A lone LF drops the text before it.
  EXPECT_EQ(Lines(TableBytes(u"one\ntwo\r\nthree\nfour")), (L{u"two", u"four"}));
  EXPECT_EQ(Lines(TableBytes(u"one\ntwo\n")), L{});
  EXPECT_EQ(Lines(TableBytes(u"one\n\rtwo")), (L{u"", u"two"}));
}

TEST(UnicodeStringListTest, LastLineWithoutBreakIsKeptWhenNotEmpty) {
  EXPECT_EQ(Lines(TableBytes(u"one\r\ntwo")), (L{u"one", u"two"}));
  EXPECT_EQ(Lines(TableBytes(u"one\r\n")), (L{u"one"}));
  EXPECT_EQ(Lines(TableBytes(u"")), L{});
  EXPECT_EQ(Lines(TableBytes(u" ")), (L{u" "}));
}

TEST(UnicodeStringListTest, BufferDecoding) {
  // The mark is skipped whatever its value; units are little-endian, beyond Latin-1 and
  // surrogate pairs included.
  EXPECT_EQ(Lines(std::string("AB", 2) + std::string("x\0\x41\x04", 4)), (L{u"x\u0441"}));
  EXPECT_EQ(Lines(TableBytes(u"\U0001F600\r")), (L{u"\U0001F600"}));
  // A final odd byte is ignored.
  EXPECT_EQ(Lines(TableBytes(u"ab") + "c"), (L{u"ab"}));
  EXPECT_EQ(Lines(std::string("\xFF\xFE", 2) + "c"), L{});
  // Buffers shorter than the mark hold no lines.
  EXPECT_EQ(Lines(std::string("\xFF", 1)), L{});
  EXPECT_EQ(Lines(std::string()), L{});
}

TEST(UnicodeStringListTest, LoadReplacesContent) {
  TUnicodeStringList list;
  list.Add(u"old");
  const std::string bytes = TableBytes(u"new\r");
  list.LoadFromBuffer(bytes.data(), bytes.size());
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Get(0), u"new");
}

TEST(UnicodeStringListTest, Errors) {
  TUnicodeStringList list;
  try {
    list.LoadFromBuffer(nullptr, 10);
    FAIL() << "a null buffer loaded";
  } catch (const LanguageError& e) {
    EXPECT_STREQ(e.what(), "Cannot open file");
  }
  EXPECT_EQ(list.Add(u"a"), 0);
  EXPECT_EQ(list.AddObject(u"b", 7), 1);
  EXPECT_EQ(list.Get(1), u"b");
  EXPECT_THROW(list.Get(2), LanguageError);
  EXPECT_THROW(list.Get(-1), LanguageError);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_THROW(list.Get(0), LanguageError);
}

}  // namespace
}  // namespace zq
