// The uninstaller a run writes, and its Add/Remove Programs entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "container/entry_names.h"
#include "container/pak.h"
#include "container/pe_image.h"
#include "container/pe_resources.h"
#include "container/program_resources.h"
#include "engine/setup_context.h"
#include "engine/uninstaller.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "support/sample_package.h"
#include "support/small_pe.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

const std::string kKey = std::string(kUninstallKeyBase) + "zqsetup-test Product";

class MakeUninstallerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    platform::Registry reg;
    reg.SetRoot(platform::kHkeyLocalMachine);
    reg.DeleteKey(kKey);
  }
  // The entry's values by name: strings as they are, REG_DWORDs as "dword:N".
  static std::vector<std::pair<std::string, std::string>> EntryValues() {
    std::vector<std::pair<std::string, std::string>> values;
    platform::Registry reg;
    reg.SetRoot(platform::kHkeyLocalMachine);
    if (!reg.OpenKey(kKey, false)) return values;
    for (const std::string& name : reg.ValueNames()) {
      auto dword = reg.ReadDword(name);
      values.emplace_back(name, dword ? "dword:" + std::to_string(*dword) : reg.ReadString(name).value_or("?"));
    }
    std::sort(values.begin(), values.end());
    return values;
  }
  test::TempDir dir_;
};

TEST_F(MakeUninstallerTest, SignedOrNotTheUninstallerIsAnUnsignedImageAndIsRegistered) {
  for (bool sign : {false, true}) {
    SCOPED_TRACE(sign ? "signed setup" : "unsigned setup");
    const std::string setup = dir_ / (sign ? "Signed.exe" : "Setup.exe");
    const std::string inst = dir_ / (sign ? "Signed" : "Plain");
    ASSERT_TRUE(test::WritePackage(setup, test::PeProgram(1000),
                                   {{kSetupInfoEntry, 0, "record"},
                                    {"UNINSTALL_LANGUAGE-English", 0, "table"},
                                    {"UNINSTALL_pages.bin", 0, std::string(5000, 'u')},
                                    {"payload.bin", 1, std::string(5000, 'p')}}));
    if (sign) test::AppendSignature(setup);
    SetupContext ctx;
    ctx.SetupToLoad().Pak = std::make_unique<TPak>(setup);
    ASSERT_TRUE(ctx.SetupToLoad().Pak->HasValidHeader());
    ctx.SetupToLoad().SetupInfo.ShortName = "zqsetup-test Product";
    ctx.Choices.InstallDir = inst;
    ctx.SetupToLoad().SetupInfo.UninstallExeName = "Uninstall.exe";
    ctx.SetupToLoad().SetupInfo.LogPrefix = "p_";
    ASSERT_TRUE(platform::CreateDir(inst));
    test::WriteAll(inst + "\\payload.bin", std::string(5000, 'p'));
    ctx.Run.UninstallList.Files = {inst + "\\payload.bin", inst + "\\deleted-by-the-script.txt"};
    ASSERT_TRUE(ctx.Run.UninstallList.Save(inst, "p_"));

    MakeUninstaller(ctx, setup);

    const std::string uninstaller = inst + "\\Uninstall.exe";
    std::string expected_program = test::ReadAll(setup).substr(0, 1000);
    if (sign) {
      auto program = reinterpret_cast<std::uint8_t*>(expected_program.data());
      const auto security = ReadPeSecurityDirectory(program, expected_program.size());
      ASSERT_TRUE(security && security->TableSize > 0);
      std::fill_n(expected_program.begin() + security->EntryOffset, 8, '\0');
      std::fill_n(expected_program.begin() + security->ChecksumOffset, 4, '\0');
    }
    const std::string written = test::ReadAll(uninstaller);
    EXPECT_EQ(written.substr(0, 1000), expected_program);
    TPak pak(uninstaller);
    ASSERT_TRUE(pak.HasValidHeader());
    EXPECT_EQ(pak.PackageEnd(), pak.FileSize());
    ASSERT_EQ(pak.Entries().size(), 3u);
    // The uninstaller's entries are the setup's, stored (raw or compressed) the same way.
    for (std::size_t i = 0; i < 2; ++i) {
      const TPakEntry& had = ctx.SetupToLoad().Pak->Entries()[i + 1];
      const TPakEntry& got = pak.Entries()[i];
      EXPECT_EQ("UNINSTALL_" + got.Name, had.Name);
      EXPECT_EQ(std::tie(got.CRC, got.CompSize, got.OrigSize), std::tie(had.CRC, had.CompSize, had.OrigSize))
          << got.Name;
      EXPECT_EQ(pak.Extract(i), ctx.SetupToLoad().Pak->Extract(i + 1)) << got.Name;
    }
    EXPECT_NE(pak.Entries()[1].CompSize, 0u);

    const std::uint64_t bytes = 5000 + written.size() + test::ReadAll(TUninstallList::LogPath(inst, "p_")).size();
    const std::string quoted = "\"" + uninstaller + "\"";
    EXPECT_EQ(EntryValues(), (std::vector<std::pair<std::string, std::string>>{
                                 {"DisplayIcon", uninstaller},
                                 {"DisplayName", "zqsetup-test Product"},
                                 {"EstimatedSize", "dword:" + std::to_string((bytes + 1023) / 1024)},
                                 {"InstallLocation", inst},
                                 {"NoModify", "dword:1"},
                                 {"NoRepair", "dword:1"},
                                 {"QuietUninstallString", quoted + " /S"},
                                 {"UninstallString", quoted},
                             }));

    Uninstall(ctx);
    platform::Registry reg;
    reg.SetRoot(platform::kHkeyLocalMachine);
    EXPECT_FALSE(reg.KeyExists(kKey));
  }
}

// An empty uninstaller entry has no block to read; it is copied empty, and the run goes on.
TEST_F(MakeUninstallerTest, AnEmptyEntryIsCopiedLikeAnyOther) {
  const std::string setup = dir_ / "Setup.exe";
  const std::string inst = dir_ / "Empty";
  ASSERT_TRUE(test::WritePackage(setup, test::PeProgram(1000),
                                 {{kSetupInfoEntry, 0, "record"},
                                  {"UNINSTALL_empty.txt", 0, ""},
                                  {"UNINSTALL_pages.bin", 0, std::string(5000, 'u')}}));
  SetupContext ctx;
  ctx.SetupToLoad().Pak = std::make_unique<TPak>(setup);
  ctx.SetupToLoad().SetupInfo.ShortName = "zqsetup-test Product";
  ctx.SetupToLoad().SetupInfo.UninstallExeName = "Uninstall.exe";
  ctx.SetupToLoad().SetupInfo.LogPrefix = "p_";
  ctx.Choices.InstallDir = inst;
  ASSERT_TRUE(platform::CreateDir(inst));
  ASSERT_TRUE(ctx.Run.UninstallList.Save(inst, "p_"));

  ASSERT_TRUE(MakeUninstaller(ctx, setup));

  TPak pak(inst + "\\Uninstall.exe");
  ASSERT_TRUE(pak.HasValidHeader());
  std::vector<std::pair<std::string, std::uint32_t>> entries;
  for (const TPakEntry& e : pak.Entries()) entries.emplace_back(e.Name, e.OrigSize);
  EXPECT_EQ(entries, (std::vector<std::pair<std::string, std::uint32_t>>{
                         {"empty.txt", 0}, {"pages.bin", 5000}, {kSetupInfoEntry, entries.back().second}}));
  EXPECT_EQ(pak.ExtractByName("pages.bin", 0), ctx.SetupToLoad().Pak->ExtractByName("UNINSTALL_pages.bin", 0));
  Uninstall(ctx);
}

TEST_F(MakeUninstallerTest, VersionAndPublisherAppearOnlyWhenKnown) {
  const struct {
    const char* version;
    const char* publisher;
    std::vector<std::pair<std::string, std::string>> shown;
  } cases[] = {
      {"", "", {{"DisplayName", "zqsetup-test Product"}}},
      {"2.1", "", {{"DisplayName", "zqsetup-test Product 2.1"}, {"DisplayVersion", "2.1"}}},
      {"", "Example Works", {{"DisplayName", "zqsetup-test Product"}, {"Publisher", "Example Works"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.version) + "/" + c.publisher);
    TearDown();
    UninstallEntry entry;
    entry.Name = "zqsetup-test Product";
    entry.Version = c.version;
    entry.Publisher = c.publisher;
    platform::Registry reg;
    RegisterUninstallEntry(reg, platform::kHkeyLocalMachine, "zqsetup-test Product", entry);
    std::vector<std::pair<std::string, std::string>> shown;
    for (const auto& value : EntryValues()) {
      if (value.first == "DisplayName" || value.first == "DisplayVersion" || value.first == "Publisher") {
        shown.push_back(value);
      }
    }
    EXPECT_EQ(shown, c.shown);
  }
}

// Version and publisher come from the setup program's own version resource; the uninstaller
// carries the setup's icon unless the script gave it one.
TEST_F(MakeUninstallerTest, TheEntryAndTheUninstallerTakeTheSetupProgramsResources) {
  std::vector<std::uint8_t> image = test::SmallPe();
  ProgramFacts facts{"Demo", "3.0", "Example Works", ExecutionLevel::Admin, test::IcoFile({{16, 64}, {32, 128}})};
  ASSERT_TRUE(WriteProgramResources(image, facts));
  const std::string program(image.begin(), image.end());
  const auto own = test::IcoFile({{48, 96}});
  // The icon images of a program file, by id.
  auto icons = [](const std::string& path) {
    std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> out;
    for (const PeResource& r : ReadPeResourcesOfFile(path).value_or(std::vector<PeResource>{})) {
      if (r.type.id == kRtIcon) out.emplace_back(r.name.id, r.data);
    }
    return out;
  };
  for (bool own_icon : {false, true}) {
    SCOPED_TRACE(own_icon ? "an uninstaller icon" : "no uninstaller icon");
    TearDown();
    const std::string setup = dir_ / (own_icon ? "Own.exe" : "Setup.exe");
    const std::string inst = dir_ / (own_icon ? "Own" : "Plain");
    std::vector<test::SampleEntry> entries = {{kSetupInfoEntry, 0, "record"}};
    if (own_icon) entries.push_back({kUninstallIconEntry, 0, std::string(own.begin(), own.end())});
    ASSERT_TRUE(test::WritePackage(setup, program, entries));
    SetupContext ctx;
    ctx.SetupToLoad().Pak = std::make_unique<TPak>(setup);
    ctx.SetupToLoad().SetupInfo.ShortName = "zqsetup-test Product";
    ctx.Choices.InstallDir = inst;
    ctx.SetupToLoad().SetupInfo.UninstallExeName = "Uninstall.exe";
    MakeUninstaller(ctx, setup);

    std::vector<std::pair<std::string, std::string>> shown;
    for (const auto& value : EntryValues()) {
      if (value.first == "DisplayName" || value.first == "DisplayVersion" || value.first == "Publisher") {
        shown.push_back(value);
      }
    }
    EXPECT_EQ(shown, (std::vector<std::pair<std::string, std::string>>{{"DisplayName", "zqsetup-test Product 3.0"},
                                                                       {"DisplayVersion", "3.0"},
                                                                       {"Publisher", "Example Works"}}));
    const std::string uninstaller = inst + "\\Uninstall.exe";
    const auto expected = own_icon ? decltype(icons(setup)){{1, std::vector<std::uint8_t>(96, 48)}} : icons(setup);
    EXPECT_EQ(icons(uninstaller), expected);
    EXPECT_EQ(icons(setup).size(), 2u);
    EXPECT_EQ(DescribeProgramFile(uninstaller).version, "3.0");
  }
}

}  // namespace
}  // namespace zq
