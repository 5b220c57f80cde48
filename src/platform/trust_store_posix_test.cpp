// The host's stand-in for the folder's rights: its mode bits and owner.
#include "platform/trust_store.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/host_prefix.h"
#include "platform/shell_folders.h"
#include "support/scratch_prefix.h"
#include "support/temp_dir.h"

namespace zq::platform {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  lstat(HostPath(path)->c_str(), &st);
  return st.st_mode & 07777;
}

TEST(TrustStoreHost, FoldersAreMadeInTheirParentsWhenMissingForTheOwnerAlone) {
  test::ScratchPrefix prefix;
  for (const auto& [scope, csidl] :
       {std::pair{TrustScope::Machine, kCsidlCommonAppData}, std::pair{TrustScope::User, kCsidlLocalAppData}}) {
    const TrustedFolder folder = OpenTrustedFolder(scope);
    ASSERT_TRUE(folder.ok()) << folder.problem;
    EXPECT_EQ(folder.path, *SpecialFolderPath(csidl) + "\\zqsetup");
    EXPECT_EQ(ModeOf(folder.path), 0700);
    ASSERT_TRUE(TrustKey(folder, nullptr));
    EXPECT_EQ(ModeOf(folder.path + "\\key"), 0600);
  }
}

TEST(TrustStoreHost, AFolderOthersCanReachOrThatIsNoFolderIsRefused) {
  const struct {
    mode_t mode;  // 0: a link to a good folder; 1: a file
    const char* why;
  } cases[] = {
      {0777, "other accounts may write it"},
      {0720, "other accounts may write it"},
      {0755, "other accounts may read it"},
      {0701, "other accounts may read it"},
      {0, "it is a link"},
      {1, "it is not a folder"},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    const std::string path = dir / "zqsetup";
    const std::string host = *HostPath(dir.path()) + "/zqsetup";
    if (c.mode == 0) {
      ASSERT_TRUE(OpenTrustedFolderAt(dir / "target", TrustScope::User).ok());
      ASSERT_EQ(symlink("target", host.c_str()), 0);
    } else if (c.mode == 1) {
      test::WriteAll(path, "");
    } else {
      ASSERT_EQ(mkdir(host.c_str(), 0700), 0);
      ASSERT_EQ(chmod(host.c_str(), c.mode), 0);
    }
    const TrustedFolder folder = OpenTrustedFolderAt(path, TrustScope::Machine);
    EXPECT_EQ(folder.problem, path + ": " + c.why) << std::oct << c.mode;
    EXPECT_FALSE(TrustKey(folder, nullptr));
  }
}

TEST(TrustStoreHost, AKeyOthersCanReachOrThatIsALinkIsRefused) {
  const struct {
    mode_t mode;  // 0: a link to a good key
    const char* why;
  } cases[] = {
      {0644, "other accounts may read it"},
      {0620, "other accounts may write it"},
      {0, "it is a link"},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    const TrustedFolder folder = OpenTrustedFolderAt(dir / "zqsetup", TrustScope::User);
    ASSERT_TRUE(TrustKey(folder, nullptr));
    const std::string key = *HostPath(folder.path) + "/key";
    if (c.mode == 0) {
      ASSERT_EQ(rename(key.c_str(), (key + "-target").c_str()), 0);
      ASSERT_EQ(symlink("key-target", key.c_str()), 0);
    } else {
      ASSERT_EQ(chmod(key.c_str(), c.mode), 0);
    }
    std::string problem;
    EXPECT_FALSE(TrustKey(folder, &problem));
    EXPECT_EQ(problem, folder.path + "\\key: " + c.why);
  }
}

}  // namespace
}  // namespace zq::platform
