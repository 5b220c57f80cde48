// Test entry: on the host every test program gets a fresh prefix of its own, so tests never
// touch the user's prefix and start from a clean registry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <stdlib.h>

#include "platform/host_prefix.h"
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
#ifndef _WIN32
  char pattern[] = "/tmp/zq-prefix-XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (dir == nullptr) return 2;
  zq::platform::SetPrefix(dir);
  int rc = RUN_ALL_TESTS();
  if (std::getenv("ZQ_KEEP_PREFIX") == nullptr) {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  return rc;
#else
  return RUN_ALL_TESTS();
#endif
}
