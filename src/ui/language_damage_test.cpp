// Damaged tables: every cut and every flipped byte either loads or is refused with a
// problem; nothing else may happen (the sanitizers watch for reads past the end).
#include <gtest/gtest.h>

#include "ui/language.h"
#include "ui/test_tables.h"

namespace zq {
namespace {

int LoadOutcome(const std::string& bytes) {
  TLanguage table;
  std::string problem;
  if (table.LoadFromBuffer(bytes.data(), bytes.size(), &problem)) return 1;
  EXPECT_FALSE(problem.empty());
  return 0;
}

TEST(LanguageDamage, CutsAndFlipsLoadOrAreRefused) {
  const std::string good = test::TableBytes(u"English\r\n0409;0809;\r\n1 Welcome\r\n\"2\" Two words\r\n13 Next >\r\n");
  ASSERT_EQ(LoadOutcome(good), 1);
  int refused = 0;
  for (std::size_t cut = 0; cut < good.size(); ++cut) refused += 1 - LoadOutcome(good.substr(0, cut));
  EXPECT_GT(refused, 0);  // tables cut before their second line cannot load
  for (std::size_t pos = 0; pos < good.size(); ++pos) {
    std::string bad = good;
    bad[pos] = static_cast<char>(bad[pos] ^ 0x5A);
    const int loaded = LoadOutcome(bad);
    if (pos < 2) {
      EXPECT_EQ(loaded, 1) << "the byte-order mark is skipped, not examined";
    }
  }
}

}  // namespace
}  // namespace zq
