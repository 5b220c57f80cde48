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
  ctx.Choices.InstallDir = dir / "Inst";
  test::RecordingText status;
  ctx.Services.StatusLabel = &status;
  const std::string script = dir / "slow.sh";
  test::WriteAll(script, "#!/bin/sh\nexec 2>/dev/null\nsleep 2\necho done > \"$1\"\n");
  const std::string params =
      "\"" + *platform::HostPath(script) + "\" \"" + *platform::HostPath(dir / "ended.txt") + "\"";
  test::LoadScript(ctx, {{"execute", {"Z:\\bin\\sh", params}}, {"message", {"after"}}});
  TSetupThread worker(ctx);
  ctx.Run.CurrentLine = -1;
  worker.RunAndWait([&] {
    platform::SleepMs(1);
    if (ctx.Run.CurrentLine >= 0) worker.Stop();  // the execute line has begun
  });
  worker.Join();
  EXPECT_TRUE(ctx.Run.Terminating);
  EXPECT_FALSE(worker.Running());
  EXPECT_FALSE(platform::FileExists(dir / "ended.txt"));           // it stopped waiting before the program ended
  EXPECT_TRUE(status.captions.empty());                            // and ran no further line
  EXPECT_TRUE(platform::DirectoryExists(ctx.Choices.InstallDir));  // the closing steps still ran
}

}  // namespace
}  // namespace zq
