#include "container/entry_name.h"

#include <gtest/gtest.h>

namespace zq {
namespace {

TEST(EntryName, OnlyPlainRelativeNamesMayBeWrittenBelowADirectory) {
  for (const char* ok : {"a.txt", "sub\\file.bin", "sub/file.bin", "a..b", ".hidden", "x\\y\\z"}) {
    EXPECT_TRUE(IsSafeEntryName(ok)) << ok;
  }
  for (const char* bad : {"", "..", "..\\x", "a\\..\\..\\x", "a/../x", "\\abs", "/abs", "C:\\x", "C:x", "c:", "a\\\\b",
                          "a\\", ".", "a\\.\\b", "...", ".. ", "file.txt:stream", "\\\\server\\share\\x"}) {
    EXPECT_FALSE(IsSafeEntryName(bad)) << bad;
  }
}

}  // namespace
}  // namespace zq
