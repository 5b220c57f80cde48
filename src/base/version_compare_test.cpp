#include "base/version_compare.h"

#include <gtest/gtest.h>

namespace zq {
namespace {

TEST(VersionCompare, NumbersNotText) {
  const struct {
    const char *a, *op, *b;
    bool holds;
  } cases[] = {
      {"1.10", ">", "1.9", true},
      {"10", "=", "10.0.0.0", true},
      {"14.38.33130", ">=", "14.36", true},
      {"10.0.17763", "<", "10.0.19041", true},
      {"2.0", "<>", "2", false},
      {"1.2.3.4", "<=", "1.2.3.4", true},
      {"1.2.3.4.5", "=", "1.2.3.4.5", false},  // a fifth part is no version
      {"v14.38.33130.00", ">=", "14.38", true},
      {"vv1", "=", "1", false},
      {"", "=", "", false},
      {"1.x", "<", "2", false},
      {"4294967296", ">", "1", false},
  };
  for (const auto& c : cases) {
    const auto op = ParseCompareOp(c.op);
    ASSERT_TRUE(op) << c.op;
    EXPECT_EQ(VersionHolds(c.a, *op, c.b), c.holds) << c.a << " " << c.op << " " << c.b;
  }
  EXPECT_FALSE(ParseCompareOp("=="));
  EXPECT_EQ(NormalizedVersion("6.1"), "6.1.0.0");
  EXPECT_FALSE(NormalizedVersion("6..1"));
}

}  // namespace
}  // namespace zq
