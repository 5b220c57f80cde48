#include "container/buffer_pool.h"

#include <gtest/gtest.h>

namespace zq {
namespace {

// What comes back is kept, up to the count and the size given, and handed out empty with its
// room; nothing else is kept.
TEST(BufferPool, KeepsWhatFitsAndHandsItOutEmpty) {
  BufferPool pool(2, 1000);
  EXPECT_EQ(pool.Take().capacity(), 0u);
  pool.Give(Bytes(600, 1));
  pool.Give(Bytes(2000, 2));  // too large
  pool.Give(Bytes());         // nothing to keep
  pool.Give(Bytes(700, 3));
  pool.Give(Bytes(800, 4));  // no room left
  Bytes a = pool.Take(), b = pool.Take(), c = pool.Take();
  EXPECT_TRUE(a.empty() && b.empty() && c.empty());
  EXPECT_EQ(a.capacity() + b.capacity(), 1300u);
  EXPECT_EQ(c.capacity(), 0u);
}

}  // namespace
}  // namespace zq
