// The zq inspectors as an author runs them: arguments in, text and an exit code out.
#include <gtest/gtest.h>

#include <sstream>

#include "archives/pak_system.h"
#include "archives/vfs.h"
#include "container/pak.h"
#include "container/program_resources.h"
#include "container/setup_info.h"
#include "platform/files.h"
#include "support/sample_package.h"
#include "support/small_pe.h"
#include "support/temp_dir.h"
#include "tools/commands.h"
#include "tools/zq_test_support.h"
#include "uninstall/uninstall_list.h"

namespace zq::tool {
namespace {

class ZqTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TSetupInfoFile info;
    info.SetupName = "Demo \"Quoted\" 1.0";
    info.ShortName = "Demo";
    info.InstallDir = "$PROGRAMFILES\\Demo";
    info.Mode = SetupMode::Setup;
    auto record = info.Serialize();
    setup_ = dir_ / "setup.exe";
    ASSERT_TRUE(test::WritePackage(
        setup_, test::FakeProgram(512),
        {{"SetupInfo", 0, std::string(record.begin(), record.end())},
         {"LANGUAGE-English", 0, test::LanguageTable(u"English", "0409;", {{1, u"Welcome"}, {13, u"Next >"}})},
         {"docs\\a.txt", 1, std::string(2000, 'a')},
         {"b.bin", 1, test::Incompressible(300, 1)},
         {"docs\\a.txt", 2, "group two"},
         {"CompiledLines", 0, std::string("\0\0", 2)}}));  // an empty script: the setup starts
  }
  void FlipByteOfEntry(std::size_t index) {
    std::uint32_t offset;
    {
      TPak pak(setup_, TPak::OpenFlags::Read);
      offset = pak.Entries[index].Offset;
    }
    std::string all = test::ReadAll(setup_);
    all[offset + 3] ^= 0x01;
    test::WriteAll(setup_, all);
  }
  test::TempDir dir_;
  std::string setup_;
};

TEST_F(ZqTest, ListShowsEveryRecordAndItsJsonCarriesTheFieldNames) {
  ZqRun text = Zq({"list", setup_});
  EXPECT_EQ(text.code, 0);
  EXPECT_NE(text.out.find("docs\\a.txt"), std::string::npos);
  EXPECT_NE(text.out.find("6 entries"), std::string::npos);
  ZqRun json = Zq({"list", setup_, "--json"});
  ASSERT_EQ(json.code, 0) << json.err;
  EXPECT_EQ(json.out.front(), '[');
  for (const char* field : {"\"index\": 4", "\"name\": \"docs\\\\a.txt\"", "\"group\": 2",
                            "\"crc\": ", "\"offset\": 512", "\"comp_size\": 0", "\"orig_size\": 300"}) {
    EXPECT_NE(json.out.find(field), std::string::npos) << field;
  }
}

// A name made to drive the terminal (clear the screen, ring, retitle) is shown escaped by every
// listing; nothing but the listing's own line breaks and tabs reaches the terminal raw.
TEST_F(ZqTest, ListingsShowControlCharactersInNamesEscaped) {
  const std::string name = "evil\x1b[2J\x07\x01\x7f\x9d.txt";
  const std::string shown = "evil\\x1B[2J\\x07\\x01\\x7F\\x9D.txt";
  const std::string setup = dir_ / "evil.exe";
  ASSERT_TRUE(test::WritePackage(setup, test::FakeProgram(64), {{name, 1, "x"}}));
  const std::string package = dir_ / "evil.zqp";
  ASSERT_EQ(Zq({"pak", "create", package}).code, 0);
  {
    TPakSystem pak;
    ASSERT_EQ(pak.OpenArchive(package), TPakSystem::OpenResult::Ok);
    pak.BeginUpdate();
    ASSERT_TRUE(pak.AddMember(name, 1, Bytes{'x'}));
    pak.WritePackageDirectory();
  }
  const std::string archive = dir_ / "evil.vfs";
  ASSERT_EQ(Zq({"vfs", "create", archive, "--block-size", "512", "--blocks", "16", "--roots", "4"}).code, 0);
  {
    TVFSFile vfs;
    vfs.Open(archive, true);
    vfs.BeginUpdate();
    vfs.Tree->AddFile(name, reinterpret_cast<const std::uint8_t*>("x"), 1);
    vfs.SaveHeader(false);
    vfs.Close();
  }
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"list", setup}, {"pak", "list", package}, {"vfs", "list", archive}}) {
    ZqRun run = Zq(args);
    ASSERT_EQ(run.code, 0) << args[0] << run.err;
    EXPECT_NE(run.out.find(shown), std::string::npos) << args[0] << ": " << run.out;
    for (std::size_t i = 0; i < run.out.size(); ++i) {
      const auto c = static_cast<unsigned char>(run.out[i]);
      const bool c1 = c == 0xC2 && i + 1 < run.out.size() && static_cast<unsigned char>(run.out[i + 1]) < 0xA0;
      EXPECT_TRUE((c >= 0x20 && c != 0x7f && !c1) || c == '\n' || c == '\t') << args[0] << " at " << i;
    }
  }
}

TEST_F(ZqTest, VerifyPassesAnIntactSetupAndNamesTheFirstDamagedEntry) {
  ZqRun ok = Zq({"verify", setup_});
  EXPECT_EQ(ok.code, 0) << ok.out << ok.err;
  FlipByteOfEntry(3);
  FlipByteOfEntry(2);
  ZqRun bad = Zq({"verify", setup_});
  EXPECT_EQ(bad.code, 1);
  EXPECT_NE(bad.out.find("entry 2 \"docs\\a.txt\""), std::string::npos) << bad.out;
}

TEST_F(ZqTest, VerifyAndListRefuseFilesWithoutAPackage) {
  test::WriteAll(dir_ / "plain.exe", test::FakeProgram(100));
  for (const char* cmd : {"verify", "list", "info", "extract"}) {
    ZqRun r = Zq({cmd, dir_ / "plain.exe"});
    EXPECT_EQ(r.code, 1) << cmd;
    EXPECT_NE(r.err.find("no setup package"), std::string::npos) << cmd << r.err;
  }
  ZqRun missing = Zq({"verify", dir_ / "nothing.exe"});
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find("no such file"), std::string::npos);
}

TEST_F(ZqTest, ExtractWritesGroupsApartAndKeepsExistingFiles) {
  const std::string out = dir_ / "out";
  ZqRun all = Zq({"extract", setup_, "-o", out});
  ASSERT_EQ(all.code, 0) << all.err;
  EXPECT_EQ(test::ReadAll(out + "\\group-1\\docs\\a.txt"), std::string(2000, 'a'));
  EXPECT_EQ(test::ReadAll(out + "\\group-2\\docs\\a.txt"), "group two");
  EXPECT_EQ(test::ReadAll(out + "\\group-1\\b.bin"), test::Incompressible(300, 1));

  const std::string one = dir_ / "one";
  ASSERT_EQ(Zq({"extract", setup_, "-o", one, "--group", "2"}).code, 0);
  EXPECT_EQ(test::ReadAll(one + "\\docs\\a.txt"), "group two");
  EXPECT_FALSE(platform::FileExists(one + "\\b.bin"));

  test::WriteAll(one + "\\docs\\a.txt", "mine");
  ZqRun again = Zq({"extract", setup_, "-o", one, "--group", "2"});
  EXPECT_EQ(again.code, 1);
  EXPECT_EQ(test::ReadAll(one + "\\docs\\a.txt"), "mine");
  EXPECT_EQ(Zq({"extract", setup_, "-o", one, "--group", "2", "--force"}).code, 0);
  EXPECT_EQ(test::ReadAll(one + "\\docs\\a.txt"), "group two");
}

TEST_F(ZqTest, ExtractRefusesNamesThatLeaveTheTarget) {
  const std::string evil = dir_ / "evil.exe";
  ASSERT_TRUE(test::WritePackage(
      evil, test::FakeProgram(16),
      {{"..\\escaped.txt", 1, "x"}, {"C:\\drive.txt", 1, "x"}, {"\\rooted.txt", 1, "x"}, {"ok\\fine.txt", 1, "fine"}}));
  const std::string out = dir_ / "target";
  ZqRun r = Zq({"extract", evil, "-o", out, "--group", "1"});
  EXPECT_EQ(r.code, 1);
  for (const char* name : {"..\\escaped.txt", "C:\\drive.txt", "\\rooted.txt"}) {
    EXPECT_NE(r.err.find(std::string("\"") + name + "\""), std::string::npos) << name << r.err;
  }
  EXPECT_FALSE(platform::FileExists(dir_ / "escaped.txt"));
  EXPECT_EQ(test::ReadAll(out + "\\ok\\fine.txt"), "fine");
}

TEST_F(ZqTest, ExtractReportsADamagedEntryAndGoesOn) {
  FlipByteOfEntry(2);
  const std::string out = dir_ / "dmg";
  ZqRun r = Zq({"extract", setup_, "-o", out, "--group", "1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("entry 2"), std::string::npos);
  EXPECT_FALSE(platform::FileExists(out + "\\docs\\a.txt"));
  EXPECT_TRUE(platform::FileExists(out + "\\b.bin"));
}

TEST_F(ZqTest, InfoShowsTheRecordInTextAndJson) {
  ZqRun text = Zq({"info", setup_});
  ASSERT_EQ(text.code, 0) << text.err;
  EXPECT_NE(text.out.find("install_dir: $PROGRAMFILES\\Demo"), std::string::npos);
  EXPECT_NE(text.out.find("mode: 0 (setup)"), std::string::npos);
  ZqRun json = Zq({"info", "--json", setup_});
  ASSERT_EQ(json.code, 0);
  EXPECT_NE(json.out.find("\"setup_name\": \"Demo \\\"Quoted\\\" 1.0\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"mode\": 0"), std::string::npos);
  EXPECT_NE(json.out.find("\"icon\": false"), std::string::npos);

  // What the program's resources say, from a setup whose engine carries them.
  std::vector<std::uint8_t> image = test::SmallPe();
  ASSERT_TRUE(WriteProgramResources(
      image, {"Demo", "1.4", "Example Works", ExecutionLevel::Highest, test::IcoFile({{16, 40}})}));
  const std::string described = dir_ / "described.exe";
  auto record = TSetupInfoFile().Serialize();
  ASSERT_TRUE(test::WritePackage(described, std::string(image.begin(), image.end()),
                                 {{"SetupInfo", 0, std::string(record.begin(), record.end())}}));
  text = Zq({"info", described});
  ASSERT_EQ(text.code, 0) << text.err;
  for (const char* line :
       {"\nversion: 1.4\n", "\npublisher: Example Works\n", "\nexecution_level: highest\n", "\nicon: yes\n"}) {
    EXPECT_NE(text.out.find(line), std::string::npos) << line << text.out;
  }
  json = Zq({"info", "--json", described});
  ASSERT_EQ(json.code, 0);
  for (const char* field : {"\"version\": \"1.4\"", "\"publisher\": \"Example Works\"",
                            "\"execution_level\": \"highest\"", "\"icon\": true"}) {
    EXPECT_NE(json.out.find(field), std::string::npos) << field << json.out;
  }
}

TEST_F(ZqTest, LangShowsTablesFromASetupOrAFile) {
  ZqRun r = Zq({"lang", setup_});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("name: English"), std::string::npos);
  EXPECT_NE(r.out.find("ids: 0409"), std::string::npos);
  EXPECT_NE(r.out.find("Next >"), std::string::npos);
  test::WriteAll(dir_ / "German.wri", test::LanguageTable(u"Deutsch", "0407;", {{13, u"Weiter >"}}));
  ZqRun file = Zq({"lang", dir_ / "German.wri"});
  ASSERT_EQ(file.code, 0) << file.err;
  EXPECT_NE(file.out.find("Weiter >"), std::string::npos);
  test::WriteAll(dir_ / "bad.wri", std::string("\xFF\xFEO\0n\0l\0y\0", 10));
  ZqRun bad = Zq({"lang", dir_ / "bad.wri"});
  EXPECT_EQ(bad.code, 1);
  EXPECT_FALSE(bad.err.empty());
}

TEST_F(ZqTest, LogDecodesAnUninstallLog) {
  TUninstallList log;
  log.AddFile("$INSTDIR\\a.txt");
  log.AddRegValue(TUninstallList::RegValueLine("HKCU", "Software\\Demo", "Path", "$INSTDIR"));
  log.AddDir("C:\\Program Files\\Demo");
  ASSERT_TRUE(log.Save(dir_.path(), ""));
  ZqRun text = Zq({"log", dir_ / "install.log"});
  ASSERT_EQ(text.code, 0) << text.err;
  EXPECT_NE(text.out.find("files (1):\n  $INSTDIR\\a.txt"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("C:\\Program Files\\Demo"), std::string::npos);
  ZqRun json = Zq({"log", dir_ / "install.log", "--json"});
  EXPECT_NE(json.out.find("\"reg_values\": [\"\\\"HKCU\\\" \\\"Software\\\\Demo\\\""), std::string::npos) << json.out;
  test::WriteAll(dir_ / "cut.log", test::ReadAll(dir_ / "install.log").substr(0, 12));
  EXPECT_EQ(Zq({"log", dir_ / "cut.log"}).code, 1);
}

TEST_F(ZqTest, HelpAndUsageErrors) {
  for (const char* cmd : {"list", "verify", "extract", "info", "lang", "log"}) {
    ZqRun help = Zq({cmd, "--help"});
    EXPECT_EQ(help.code, 0) << cmd;
    EXPECT_NE(help.out.find("usage: zq"), std::string::npos) << cmd;
    EXPECT_EQ(Zq({cmd}).code, 2) << cmd;
  }
  EXPECT_EQ(Zq({"--help"}).code, 0);
  EXPECT_EQ(Zq({}).code, 2);
  EXPECT_EQ(Zq({"frobnicate"}).code, 2);
  EXPECT_EQ(Zq({"list", setup_, "--bogus"}).code, 2);
  EXPECT_EQ(Zq({"extract", setup_, "--group", "x"}).code, 2);
  EXPECT_EQ(Zq({"extract", setup_, "-o"}).code, 2);
}

}  // namespace
}  // namespace zq::tool
