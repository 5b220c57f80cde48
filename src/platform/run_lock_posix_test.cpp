// The lock between processes: a child holds it while the test asks.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/run_lock.h"

namespace zq::platform {
namespace {

TEST(RunLock, AnotherProcessIsBusyUntilItEnds) {
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(done[1]);  // so the test's close ends the read below
    const char held = HoldRunLock("zq lock test") == RunLock::Held ? 'y' : 'n';
    char wait;
    _exit(write(ready[1], &held, 1) == 1 && read(done[0], &wait, 1) >= 0 ? 0 : 1);
  }
  close(done[0]);
  char held = 0;
  ASSERT_EQ(read(ready[0], &held, 1), 1);
  EXPECT_EQ(held, 'y');
  EXPECT_EQ(HoldRunLock("ZQ LOCK TEST"), RunLock::Busy);
  EXPECT_EQ(HoldRunLock("zq lock test, another product"), RunLock::Held);
  close(done[1]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(HoldRunLock("zq lock test"), RunLock::Held);
  EXPECT_EQ(HoldRunLock("zq lock test"), RunLock::Held) << "asked again by its holder";
  for (int fd : {ready[0], ready[1]}) close(fd);
}

}  // namespace
}  // namespace zq::platform
