// Extracting a payload group into a directory, as the "file" command does.
#include <gtest/gtest.h>

#include "container/pak.h"
#include "engine/commands/extract_group.h"
#include "engine/setup_context.h"
#include "platform/files.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

class Recorder : public TTextTarget, public TGaugeTarget {
 public:
  void SetCaption(const std::u16string& text) override { captions.push_back(text); }
  void SetPosition(std::int32_t p) override { positions.push_back(p); }
  std::vector<std::u16string> captions;
  std::vector<std::int32_t> positions;
};

class ExtractGroupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string table = test::LanguageTable(u"English", "0409;", {{18, u"Extracting <%FILENAME%>"}});
    ctx_.Languages.AddLanguage(table.data(), table.size());
    ctx_.Languages.Current = 0;
    ctx_.StatusLabel = &rec_;
    ctx_.Gauge = &rec_;
    target_ = dir_ / "Install";
    ctx_.SetupInfo.InstallDir = target_;
  }
  TPak& Open(const std::vector<test::SampleEntry>& entries) {
    std::string path = dir_ / "setup.exe";
    EXPECT_TRUE(test::WritePackage(path, test::FakeProgram(100), entries));
    ctx_.Pak = std::make_unique<TPak>(path, TPak::OpenFlags::Read);
    return *ctx_.Pak;
  }
  test::TempDir dir_;
  SetupContext ctx_;
  Recorder rec_;
  std::string target_;
};

TEST_F(ExtractGroupTest, WritesTheGroupRecordsFilesAndCreatedFolders) {
  TPak& pak = Open({{"readme.txt", 1, "hello"}, {"other.txt", 2, "not me"}, {"sub\\deep\\data.bin", 1, "bytes"}});
  ExtractGroup(ctx_, pak, target_, 1);
  EXPECT_EQ(test::ReadAll(target_ + "\\readme.txt"), "hello");
  EXPECT_EQ(test::ReadAll(target_ + "\\sub\\deep\\data.bin"), "bytes");
  EXPECT_FALSE(platform::FileExists(target_ + "\\other.txt"));
  EXPECT_EQ(ctx_.UninstallList.Files,
            (std::vector<std::string>{"$INSTDIR\\readme.txt", "$INSTDIR\\sub\\deep\\data.bin"}));
  // Created folders are recorded in creation order, each once.
  ASSERT_EQ(ctx_.UninstallList.Dirs.size(), 3u);
  EXPECT_EQ(ctx_.UninstallList.Dirs[0], target_);
  EXPECT_EQ(ctx_.UninstallList.Dirs[2], target_ + "\\sub\\deep");
  EXPECT_EQ(rec_.captions,
            (std::vector<std::u16string>{u"Extracting readme.txt", u"Extracting sub\\deep\\data.bin"}));
  EXPECT_EQ(rec_.positions, (std::vector<std::int32_t>{1, 2}));
}

TEST_F(ExtractGroupTest, UnsafeNamesAreRefusedAndTheGroupGoesOn) {
  std::vector<std::string> logged;
  ctx_.RunLog = [&](const std::string& line) { logged.push_back(line); };
  TPak& pak = Open({{"..\\escape.txt", 1, "x"},
                    {"C:\\abs.txt", 1, "x"},
                    {"\\rooted.txt", 1, "x"},
                    {"a\\..\\..\\up.txt", 1, "x"},
                    {"fine.txt", 1, "ok"}});
  ExtractGroup(ctx_, pak, target_, 1);
  EXPECT_EQ(test::ReadAll(target_ + "\\fine.txt"), "ok");
  EXPECT_FALSE(platform::FileExists(dir_ / "escape.txt"));
  EXPECT_FALSE(platform::FileExists(dir_ / "up.txt"));
  EXPECT_EQ(ctx_.UninstallList.Files, (std::vector<std::string>{"$INSTDIR\\fine.txt"}));
  int refusals = 0;
  for (const auto& l : logged) refusals += l.rfind("refused entry", 0) == 0;
  EXPECT_EQ(refusals, 4);
  EXPECT_EQ(rec_.positions.size(), 5u);
}

TEST_F(ExtractGroupTest, DamagedEntryBecomesAnEmptyFile) {
  TPak& probe = Open({{"bad.bin", 1, std::string(2000, 'b')}, {"good.txt", 1, "good"}});
  const std::uint32_t offset = probe.Entries[0].Offset;
  const std::string path = probe.FilePath();
  ctx_.Pak.reset();
  std::string all = test::ReadAll(path);
  all[offset + 4] ^= 0x20;
  test::WriteAll(path, all);
  TPak pak(path, TPak::OpenFlags::Read);
  ExtractGroup(ctx_, pak, target_, 1);
  EXPECT_EQ(platform::FileSize(target_ + "\\bad.bin"), std::optional<std::uint64_t>(0));
  EXPECT_EQ(test::ReadAll(target_ + "\\good.txt"), "good");
}

TEST_F(ExtractGroupTest, LargeEntriesPassUncheckedAndAreCopiedInChunks) {
  const std::uint32_t size = LargeEntryLimit + 5 * 1024 * 1024;  // 75 MiB: three chunks
  std::string source = dir_ / "big.src";
  {
    platform::File f;
    ASSERT_TRUE(f.Open(source, platform::OpenMode::Create));
    std::string block(1 << 20, '\0');
    for (std::uint32_t mb = 0; mb < size >> 20; ++mb) {
      for (std::size_t i = 0; i < block.size(); i += 4096) block[i] = static_cast<char>(mb + i / 4096);
      ASSERT_EQ(f.Write(block.data(), block.size()), block.size());
    }
  }
  std::string path = dir_ / "setup.exe";
  test::WriteAll(path, test::FakeProgram(64));
  {
    TPak writer(path, TPak::OpenFlags::Append);
    ASSERT_TRUE(writer.StoreFile(writer.AddEntry("media\\big.dat", source, 1)));
    EXPECT_EQ(writer.Entries[0].CompSize, 0u);
    EXPECT_EQ(writer.Entries[0].CRC, 0u);
    ASSERT_TRUE(writer.WriteDirectory());
  }
  TPak pak(path, TPak::OpenFlags::Read);
  EXPECT_EQ(pak.Entries[0].OrigSize, size);
  EXPECT_TRUE(pak.VerifyEntry(0));
  ExtractGroup(ctx_, pak, target_, 1);
  EXPECT_EQ(platform::FileSize(target_ + "\\media\\big.dat"), std::optional<std::uint64_t>(size));
  EXPECT_TRUE(test::ReadAll(target_ + "\\media\\big.dat") == test::ReadAll(source));
  EXPECT_EQ(rec_.captions, (std::vector<std::u16string>{
                               u"Extracting media\\big.dat",
                               u"Extracting media\\big.dat - 0.00 Bytes / 75.00 MB",
                               u"Extracting media\\big.dat - 25.00 MB / 75.00 MB",
                               u"Extracting media\\big.dat - 50.00 MB / 75.00 MB",
                           }));
}

}  // namespace
}  // namespace zq
