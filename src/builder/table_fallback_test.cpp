// An author's language table completed from the stock English one, text by text.
#include "builder/table_fallback.h"

#include <gtest/gtest.h>

#include <string>

#include "support/sample_package.h"

namespace zq::builder {
namespace {

std::vector<std::uint8_t> Utf16(const std::u16string& s) {
  std::vector<std::uint8_t> out = {0xFF, 0xFE};
  for (char16_t c : s) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return out;
}

TEST(TableFallback, TheTextsTheTableLacksAreAddedInTheStockOrder) {
  const std::string stock_bytes =
      test::LanguageTable(u"English", "0409;", {{1, u"Welcome"}, {13, u"&Next >"}, {26, u""}, {40, u"New text"}});
  TLanguage stock;
  ASSERT_TRUE(stock.LoadFromBuffer(stock_bytes.data(), stock_bytes.size()));
  const struct {
    std::u16string table;  // after its byte-order mark
    std::u16string added;  // what follows the table as it was
    std::vector<std::int32_t> numbers;
  } cases[] = {
      // Ended by CR LF, by a lone CR, or not at all.
      {u"Deutsch\r\n0407;\r\n1 Willkommen\r\n", u"13 &Next >\r\n26 \r\n40 New text\r\n", {13, 26, 40}},
      {u"Deutsch\r0407;\r1 Willkommen\r13 &Weiter >\r", u"26 \r\n40 New text\r\n", {26, 40}},
      {u"Deutsch\r\n0407;\r\n26\r\n40 Neu", u"\r\n1 Welcome\r\n13 &Next >\r\n", {1, 13}},
      // A number read by its low 16 bits is present already.
      {u"Deutsch\r\n0407;\r\n65537 Eins\r\n13 Weiter\r\n26\r\n40 Neu\r\n", u"", {}},
  };
  for (const auto& c : cases) {
    const auto table = Utf16(c.table);
    TLanguage loaded;
    ASSERT_TRUE(loaded.LoadFromBuffer(table.data(), table.size()));
    std::vector<std::int32_t> added;
    const auto completed = CompleteFromStock(table, loaded, stock, &added);
    auto expected = table;
    const auto tail = Utf16(c.added);
    expected.insert(expected.end(), tail.begin() + 2, tail.end());
    EXPECT_TRUE(completed == expected);
    EXPECT_EQ(added, c.numbers);
    TLanguage reread;
    ASSERT_TRUE(reread.LoadFromBuffer(completed.data(), completed.size()));
    EXPECT_EQ(reread.Strings.size(), loaded.Strings.size() + added.size());
  }
  // A final odd byte, which no reader takes, is dropped before the first added line.
  auto odd = Utf16(u"Deutsch\r\n0407;\r\n1 Willkommen\r\n13 Weiter\r\n26\r\n");
  odd.push_back(0x41);
  TLanguage loaded;
  ASSERT_TRUE(loaded.LoadFromBuffer(odd.data(), odd.size()));
  const auto completed = CompleteFromStock(odd, loaded, stock);
  TLanguage reread;
  ASSERT_TRUE(reread.LoadFromBuffer(completed.data(), completed.size()));
  ASSERT_EQ(reread.Strings.size(), 4u);
  EXPECT_EQ(reread.Strings.back().Text, u"New text");
}

}  // namespace
}  // namespace zq::builder
