// zq extract into a folder that already holds links: a link inside the target may lead
// anywhere (z: leads to "/"), so no entry is written through one.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/host_prefix.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"
#include "tools/zq_test_support.h"

namespace zq::tool {
namespace {

TEST(ExtractLinks, EntriesThroughALinkAreRefusedAndTheRestWritten) {
  test::TempDir dir;
  const std::string setup = dir / "links.exe";
  const std::string target = dir / "target";
  const std::string outside = dir / "outside";
  ASSERT_TRUE(platform::CreateDir(target) && platform::CreateDir(outside) && platform::CreateDir(target + "\\real"));
  test::WriteAll(outside + "\\keep.txt", "keep");
  const struct {
    const char* entry;
    const char* link;  // below the target, host spelling
    std::string leads_to;
  } cases[] = {
      {"dirlink\\in.txt", "dirlink", outside},
      {"real\\dirlink\\deep.txt", "real/dirlink", outside},
      {"filelink.txt", "filelink.txt", outside + "\\keep.txt"},
      {"dangling.txt", "dangling.txt", outside + "\\new.txt"},
  };
  std::vector<test::SampleEntry> entries{{"ok\\fine.txt", 1, "fine"}};
  for (const auto& c : cases) {
    entries.push_back({c.entry, 1, "escaped"});
    const std::string link = *platform::HostPath(target) + "/" + c.link;
    ASSERT_EQ(symlink(platform::HostPath(c.leads_to)->c_str(), link.c_str()), 0) << link;
  }
  ASSERT_TRUE(test::WritePackage(setup, test::FakeProgram(16), entries));

  for (bool force : {false, true}) {
    std::vector<std::string> args{"extract", setup, "-o", target, "--group", "1"};
    if (force) args.push_back("--force");
    ZqRun r = Zq(args);
    EXPECT_EQ(r.code, 1) << r.err;
    for (const auto& c : cases) {
      EXPECT_NE(r.err.find(std::string("\"") + c.entry + "\""), std::string::npos) << c.entry << "\n" << r.err;
    }
    EXPECT_EQ(test::ReadAll(target + "\\ok\\fine.txt"), "fine");
    auto left = platform::ListDir(outside);
    ASSERT_TRUE(left);
    ASSERT_EQ(left->size(), 1u) << "written outside the target";
    EXPECT_EQ(test::ReadAll(outside + "\\keep.txt"), "keep");
  }
}

}  // namespace
}  // namespace zq::tool
