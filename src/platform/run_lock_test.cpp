#include "platform/run_lock.h"

#include <gtest/gtest.h>

namespace zq::platform {
namespace {

TEST(RunLockName, FoldsCaseKeepsOtherNamesApartAndHoldsNoSeparator) {
  const std::string long_name(80, 'x');
  const struct {
    std::string a, b;
    bool same;
  } cases[] = {
      {"Demo Product", "DEMO PRODUCT", true},
      {"Demo Product", "Demo_Product", false},
      {"Tools\\Demo", "Tools/Demo", false},
      {long_name + "1", long_name + "2", false},
      {"", " ", false},
  };
  for (const auto& c : cases) {
    const std::string a = RunLockName(c.a), b = RunLockName(c.b);
    EXPECT_EQ(a == b, c.same) << a << " " << b;
    for (const std::string& name : {a, b}) {
      EXPECT_EQ(name.find_first_of("\\/"), std::string::npos) << name;
      EXPECT_LE(name.size(), 48u + 9u) << name;
    }
  }
  EXPECT_EQ(RunLockName("Demo Product").rfind("DEMO_PRODUCT-", 0), 0u);
}

}  // namespace
}  // namespace zq::platform
