// Host only: a program started by "execute" that outlives the window's close.
#include <gtest/gtest.h>

#include "engine/commands/script_test_support.h"
#include "engine/setup_thread.h"
#include "platform/files.h"
#include "platform/host_prefix.h"
#include "platform/system.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

TEST(SetupThread, StopEndsTheWaitOfAnExecuteAndTheRun) {
  test::TempDir dir;
  SetupContext ctx;
  ctx.SetupInfo.InstallDir = dir / "Inst";
  test::RecordingText status;
  ctx.StatusLabel = &status;
  const std::string script = dir / "slow.sh";
  test::WriteAll(script, "#!/bin/sh\nexec 2>/dev/null\nsleep 2\necho done > \"$1\"\n");
  const std::string params = "\"" + *platform::HostPath(script) + "\" \"" + *platform::HostPath(dir / "ended.txt") + "\"";
  test::LoadScript(ctx, {{"execute", {"Z:\\bin\\sh", params}}, {"message", {"after"}}});
  TSetupThread worker(ctx);
  ctx.CurrentLine = -1;
  worker.RunRequested = true;
  while (ctx.CurrentLine < 0) platform::SleepMs(1);  // the execute line has begun
  worker.Stop();
  worker.Join();
  EXPECT_TRUE(ctx.Terminating);
  EXPECT_FALSE(worker.RunRequested);
  EXPECT_FALSE(platform::FileExists(dir / "ended.txt"));  // it stopped waiting before the program ended
  EXPECT_TRUE(status.captions.empty());                    // and ran no further line
  EXPECT_TRUE(platform::DirectoryExists(ctx.SetupInfo.InstallDir));  // the closing steps still ran
}

}  // namespace
}  // namespace zq
