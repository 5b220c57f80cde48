#include "platform/trust_store.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace zq::platform {
namespace {

TEST(TrustStore, FolderIsMadeThenPassesItsOwnCheckAndKeepsOneKey) {
  for (const TrustScope scope : {TrustScope::Machine, TrustScope::User}) {
    test::TempDir dir;
    const std::string path = dir / "zqsetup";
    const TrustedFolder made = OpenTrustedFolderAt(path, scope);
    ASSERT_TRUE(made.ok()) << made.problem;
    EXPECT_EQ(made.path, path);
    const TrustedFolder again = OpenTrustedFolderAt(path, scope);
    ASSERT_TRUE(again.ok()) << again.problem;
    std::string problem;
    const auto key = TrustKey(made, &problem);
    ASSERT_TRUE(key) << problem;
    EXPECT_EQ(test::ReadAll(path + "\\key"), std::string(key->begin(), key->end()));
    EXPECT_EQ(TrustKey(again, &problem), key) << problem;
    EXPECT_TRUE(OpenTrustedFolderAt(path, scope).ok()) << "the key's making left the folder as it was";
  }
}

TEST(TrustStore, RunsAtOnceAllGetTheFirstKey) {
  test::TempDir dir;
  const TrustedFolder folder = OpenTrustedFolderAt(dir / "zqsetup", TrustScope::User);
  ASSERT_TRUE(folder.ok()) << folder.problem;
  std::vector<std::optional<SecretKey>> keys(8);
  std::vector<std::thread> runs;
  for (auto& key : keys) runs.emplace_back([&] { key = TrustKey(folder, nullptr); });
  for (auto& run : runs) run.join();
  for (const auto& key : keys) EXPECT_EQ(key, keys[0]);
  EXPECT_TRUE(keys[0]);
  EXPECT_EQ(TrustKey(folder, nullptr), keys[0]);
}

TEST(TrustStore, AKeyOfAnotherSizeIsRefused) {
  for (const std::string& bytes : {std::string(31, 'k'), std::string(33, 'k'), std::string()}) {
    test::TempDir dir;
    const TrustedFolder folder = OpenTrustedFolderAt(dir / "zqsetup", TrustScope::User);
    ASSERT_TRUE(folder.ok()) << folder.problem;
    ASSERT_TRUE(TrustKey(folder, nullptr));
    File key;  // rewritten in place, so that only its size is wrong
    ASSERT_TRUE(key.Open(folder.path + "\\key", OpenMode::ReadWrite));
    ASSERT_EQ(key.Write(bytes.data(), bytes.size()), bytes.size());
    ASSERT_TRUE(key.Truncate());
    key.Close();
    std::string problem;
    EXPECT_FALSE(TrustKey(folder, &problem)) << bytes.size();
    EXPECT_EQ(problem, folder.path + "\\key: it does not hold a key of 32 bytes");
  }
}

TEST(TrustStore, ARefusedFolderGivesNoKey) {
  std::string problem;
  EXPECT_FALSE(TrustKey({"C:\\x", "C:\\x: other accounts may write it"}, &problem));
  EXPECT_EQ(problem, "C:\\x: other accounts may write it");
}

TEST(TrustStore, RandomBytesDifferEachTime) {
  SecretKey a{}, b{};
  ASSERT_TRUE(RandomBytes(a.data(), a.size()));
  ASSERT_TRUE(RandomBytes(b.data(), b.size()));
  EXPECT_NE(a, b);
  EXPECT_NE(a, SecretKey{});
}

}  // namespace
}  // namespace zq::platform
