// Every cut and every flipped byte of a small package: each must read as a package with fewer
// good entries or none, never a crash, a hang or a read past the end (the sanitizers watch).
#include <gtest/gtest.h>

#include "container/pak.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

// Opens the file and touches everything a reader can; returns the number of entries that pass.
std::size_t ReadEverything(const std::string& path) {
  TPak pak(path, TPak::OpenFlags::Read);
  std::size_t passed = 0;
  for (std::size_t i = 0; i < pak.Entries.size(); ++i) {
    passed += pak.VerifyEntry(i);
    pak.Extract(i);
  }
  std::uint32_t size = 0;
  pak.ExtractByName("SetupInfo", 0, size);
  std::string name;
  for (auto b = pak.FindFirstInGroup(1, size, true, name); !name.empty();
       b = pak.FindNextInGroup(1, size, true, name)) {
  }
  return passed;
}

class PakDamageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::WritePackage(path_, test::FakeProgram(32),
                                   {{"SetupInfo", 0, "info"},
                                    {"a\\text.txt", 1, std::string(200, 't')},
                                    {"raw.bin", 1, test::Incompressible(40, 9)},
                                    {"empty", 2, ""}}));
    good_ = test::ReadAll(path_);
    ASSERT_EQ(ReadEverything(path_), 3u);
  }
  test::TempDir dir_;
  std::string path_ = dir_ / "setup.exe";
  std::string good_;
};

TEST_F(PakDamageTest, EveryTruncation) {
  for (std::size_t cut = 0; cut < good_.size(); ++cut) {
    test::WriteAll(path_, good_.substr(0, cut));
    EXPECT_EQ(ReadEverything(path_), 0u) << "cut at " << cut;  // the header is gone with the tail
  }
}

TEST_F(PakDamageTest, EveryFlippedByte) {
  TPak layout(path_, TPak::OpenFlags::Read);
  const std::uint32_t data_start = layout.Header.DataStart;
  const std::uint32_t dir_offset = layout.Header.DirOffset;
  layout.Close();
  for (std::size_t pos = 0; pos < good_.size(); ++pos) {
    for (unsigned char mask : {0x01, 0x80, 0xFF}) {
      std::string bad = good_;
      bad[pos] = static_cast<char>(bad[pos] ^ mask);
      test::WriteAll(path_, bad);
      const std::size_t passed = ReadEverything(path_);
      if (pos < data_start) {
        EXPECT_EQ(passed, 3u) << pos;  // the program part is not the package's business
      } else if (pos < dir_offset) {
        EXPECT_EQ(passed, 2u) << pos;  // the CRC catches every damaged byte of a block
      }
      // Directory and header damage: any outcome but a crash, which the sanitizers would report.
    }
  }
}

}  // namespace
}  // namespace zq
