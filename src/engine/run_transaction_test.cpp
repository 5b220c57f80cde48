// All or nothing: a run that fails is undone by itself, one that was killed by the next run.
#include <gtest/gtest.h>

#include <map>

#include "archives/pak_system.h"
#include "archives/vfs.h"
#include "engine/archive_updater.h"
#include "engine/commands/script_test_support.h"
#include "engine/run_changes.h"
#include "engine/run_journal.h"
#include "engine/setup_thread.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

// What a run may touch, read back: the files and folders under the test's folder (contents by
// path) and the registry values of the test's key.
using Snapshot = std::map<std::string, std::string>;

Snapshot Take(const std::string& dir) {
  Snapshot s;
  std::vector<std::string> pending{dir};
  while (!pending.empty()) {
    const std::string here = pending.back();
    pending.pop_back();
    for (const auto& e : platform::ListDir(here).value_or(std::vector<platform::DirEntry>{})) {
      const std::string path = here + "\\" + e.name;
      if (e.is_directory && !e.is_link) {
        s[path] = "<folder>";
        pending.push_back(path);
      } else {
        s[path] = test::ReadAll(path);
      }
    }
  }
  platform::Registry reg;
  reg.SetRoot(platform::kHkeyCurrentUser);
  for (const char* key : {"Software\\zq all or nothing", "Software\\zq all or nothing\\new"}) {
    if (!reg.OpenKey(key, false)) continue;
    for (const std::string& name : reg.ValueNames())
      s[std::string("reg:") + key + "\\" + name] = reg.ReadString(name).value_or("?");
    reg.CloseKey();
  }
  return s;
}

class RunTransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string table = test::LanguageTable(u"English", "0409;", {{23, u"Setup failed to install."}});
    ctx_.SetupToLoad().Languages.AddLanguage(table.data(), table.size());
    ctx_.SetupToLoad().SetupInfo.HasUninstaller = 1;
    ctx_.SetupToLoad().SetupInfo.LogPrefix = "demo_";
    inst_ = dir_ / "Inst";
    ctx_.Choices.InstallDir = inst_;
    // An earlier installation the run upgrades.
    ASSERT_TRUE(platform::CreateDir(inst_));
    ASSERT_TRUE(platform::CreateDir(inst_ + "\\old"));
    test::WriteAll(inst_ + "\\keep.txt", "old bytes");
    test::WriteAll(inst_ + "\\gone.txt", "deleted by the run");
    test::WriteAll(inst_ + "\\a.txt", "renamed by the run");
    test::WriteAll(inst_ + "\\old\\inside.txt", "removed with its folder");
    test::WriteAll(inst_ + "\\demo_install.log", "an older log");
    test::WriteAll(dir_ / "new.txt", "new bytes");
    platform::Registry reg;
    reg.SetRoot(platform::kHkeyCurrentUser);
    ASSERT_TRUE(reg.OpenKey("Software\\zq all or nothing", true));
    ASSERT_TRUE(reg.WriteString("Version", "1.0"));
    reg.CloseKey();
  }

  // Every kind of change a script makes, over the earlier installation.
  std::vector<test::ScriptLine> Changes() const {
    return {{"copyfile", {dir_ / "new.txt", "$INSTDIR\\keep.txt"}},
            {"copyfile", {dir_ / "new.txt", "$INSTDIR\\sub\\deeper\\made.txt"}},
            {"delete", {"$INSTDIR\\gone.txt"}},
            {"rename", {"$INSTDIR\\a.txt", "$INSTDIR\\b.txt"}},
            {"rmdir", {"$INSTDIR\\old"}},
            {"createdirectory", {"$INSTDIR\\empty"}},
            {"writeregstr", {"HKCU", "Software\\zq all or nothing", "Version", "2.0"}},
            {"writeregstr", {"HKCU", "Software\\zq all or nothing\\new", "Added", "x"}}};
  }

  test::TempDir dir_;
  std::string inst_;
  SetupContext ctx_;
};

TEST_F(RunTransactionTest, AFailedRunLeavesTheMachineAsItWas) {
  // The user cancels from the window while a question of the script is open.
  struct Canceller : MessageBoxes {
    RunState* run = nullptr;
    int Show(const std::u16string&, const std::u16string&, unsigned) override {
      run->Cancelled = true;
      return kIdOk;
    }
  } canceller;
  canceller.run = &ctx_.Run;
  // A payload whose second entry turns out damaged once the run reads it (the medium failed).
  const std::string setup = dir_ / "setup.exe";
  ASSERT_TRUE(test::WritePackage(setup, test::FakeProgram(64),
                                 {{"p1.txt", 1, std::string(5000, '1')},
                                  {"p2.txt", 1, test::Incompressible(5000, 7)},
                                  {"p3.txt", 1, std::string(5000, '3')}}));
  ctx_.SetupToLoad().Pak = std::make_unique<TPak>(setup);
  {
    const TPakEntry& damaged = ctx_.Setup.Pak->Entries()[1];
    std::string bytes = test::ReadAll(setup);
    bytes[damaged.Offset + damaged.StoredSize() / 2] ^= 0x55;
    test::WriteAll(setup, bytes);
  }
  enum class How { FailureCommand, UninstallerUnwritable, Cancelled, EntryUnreadable };
  for (const How how : {How::FailureCommand, How::UninstallerUnwritable, How::Cancelled, How::EntryUnreadable}) {
    const Snapshot before = Take(dir_.path());
    std::vector<test::ScriptLine> script = Changes();
    if (how == How::EntryUnreadable) script.push_back({"file", {"src", "1"}});
    if (how == How::FailureCommand) script.push_back({"failure", {}});
    if (how == How::Cancelled) script.push_back({"messagebox", {"Go on?", "Setup", "-1", "-1"}});
    script.push_back({"copyfile", {dir_ / "new.txt", "$INSTDIR\\never.txt"}});
    test::LoadScript(ctx_, script);
    ctx_.Run.SetupAborted = false;
    ctx_.Run.Cancelled = false;
    ctx_.Services.Messages = how == How::Cancelled ? &canceller : nullptr;
    ctx_.Services.MakeUninstaller = [&](const RunScope&) { return how != How::UninstallerUnwritable; };
    RunScript(ctx_);
    EXPECT_TRUE(ctx_.Run.SetupAborted || ctx_.Run.Cancelled) << static_cast<int>(how);
    EXPECT_EQ(Take(dir_.path()), before) << static_cast<int>(how);
  }
}

TEST_F(RunTransactionTest, ASucceededRunKeepsItsChangesAndNothingAside) {
  test::LoadScript(ctx_, Changes());
  ctx_.Services.MakeUninstaller = [](const RunScope&) { return true; };
  RunScript(ctx_);
  ASSERT_FALSE(ctx_.Run.SetupAborted);
  const Snapshot after = Take(dir_.path());
  EXPECT_EQ(after.at(inst_ + "\\keep.txt"), "new bytes");
  EXPECT_EQ(after.at(inst_ + "\\b.txt"), "renamed by the run");
  EXPECT_EQ(after.count(inst_ + "\\old"), 0u);
  EXPECT_EQ(after.at("reg:Software\\zq all or nothing\\Version"), "2.0");
  for (const auto& [path, bytes] : after) {
    EXPECT_EQ(path.find(".zqold"), std::string::npos) << path;  // nothing kept aside is left
  }
  EXPECT_FALSE(platform::FileExists(RunJournal::PathFor(inst_, "demo_")));
}

TEST_F(RunTransactionTest, AFolderWhereAFileGoesIsNeverMovedAside) {
  ASSERT_TRUE(platform::CreateDir(inst_ + "\\data.bin"));
  test::WriteAll(inst_ + "\\data.bin\\mine.txt", "the user's");
  ASSERT_TRUE(ctx_.Run.Journal.Begin(RunJournal::PathFor(inst_, "demo_")));
  FolderListing listing;
  for (FolderListing* l : {static_cast<FolderListing*>(nullptr), &listing}) {
    EXPECT_TRUE(PrepareFileWrite(ctx_.Run, inst_ + "\\data.bin", l));  // the write itself fails
    EXPECT_EQ(test::ReadAll(inst_ + "\\data.bin\\mine.txt"), "the user's");
    EXPECT_FALSE(platform::DirectoryExists(inst_ + "\\data.bin.zqold"));
  }
  ctx_.Run.Journal.Rollback(ctx_.Run.Registry, {});
}

// A run killed half-way leaves its journal; the next run of the product finishes it first.
TEST_F(RunTransactionTest, TheNextRunUndoesAKilledOneUnlessItsJournalIsNotTrustworthy) {
  struct Case {
    const char* name;
    std::function<void(std::string& journal)> damage;
    bool undone;
  };
  const Case cases[] = {
      {"intact", [](std::string&) {}, true},
      {"last record cut by the kill", [](std::string& j) { j.resize(j.size() - 5); }, true},
      {"a record changed", [](std::string& j) { j[j.find("keep.txt")] = 'K'; }, false},
      {"a path outside the installation",
       [](std::string& j) {
         RunChange foreign{.kind = RunChange::Kind::FileCreated, .path = "C:\\windows\\system.ini"};
         j += RunJournal::Serialize(foreign);
       },
       false},
  };
  for (const Case& c : cases) {
    const Snapshot before = Take(dir_.path());
    const std::string journal = RunJournal::PathFor(inst_, "demo_");
    {
      SetupContext killed;
      killed.SetupToLoad().SetupInfo.LogPrefix = "demo_";
      killed.Choices.InstallDir = inst_;
      test::LoadScript(killed, Changes());
      ASSERT_TRUE(killed.Run.Journal.Begin(journal));
      for (std::uint32_t i = 0; i < Changes().size(); ++i) test::RunLine(killed, i);
      // Killed here: no commit, no undo; the journal stays as the system has it.
    }
    std::string bytes = test::ReadAll(journal);
    c.damage(bytes);
    test::WriteAll(journal, bytes);
    const Snapshot killed_state = Take(dir_.path());
    RecoverInterruptedRun(ctx_);
    if (c.undone) {
      EXPECT_EQ(Take(dir_.path()), before) << c.name;
    } else {
      EXPECT_EQ(Take(dir_.path()), killed_state) << c.name;  // not applied: left as it was found
      EXPECT_TRUE(platform::FileExists(journal)) << c.name;
    }
  }
}

// Archive updates belong to the run: each archive's journal is held until the run ends, so a
// run that fails (or is killed) after an archive was updated twice still puts it back.
TEST_F(RunTransactionTest, ArchiveUpdatesAreUndoneWithTheRun) {
  ASSERT_TRUE(test::WritePackage(dir_ / "setup.exe", test::FakeProgram(512),
                                 {{"Readme.txt", 1, "read me, version two"},
                                  {"Text\\new.txt", 1, std::string(3000, 'n')},
                                  {"Data\\a.txt", 2, "replaced a"},
                                  {"Data\\b.txt", 2, std::string(9000, 'b')}}));
  ctx_.SetupToLoad().Pak = std::make_unique<TPak>(dir_ / "setup.exe");
  const std::string pak = inst_ + "\\game.zqp", vfs = inst_ + "\\world.vfs";
  {
    const Bytes stored = MaskedZlib(Bytes{'o', 'l', 'd'});
    TPakDirEntry r{};
    r.Name = "README.TXT";
    r.StoredSize = static_cast<std::uint32_t>(stored.size());
    r.UnpackedSize = 3;
    Bytes bytes = stored;
    const Bytes tail = PakDirectoryBytes({r}, {});
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    test::WriteAll(pak, std::string(bytes.begin(), bytes.end()));
    const Bytes v = NewVfsArchive(256, 200, 8, "world");
    test::WriteAll(vfs, std::string(v.begin(), v.end()));
  }
  enum class End { Failed, Killed, Committed };
  for (const End end : {End::Failed, End::Killed, End::Committed}) {
    const Snapshot before = Take(dir_.path());
    {
      SetupContext run;
      run.SetupToLoad().Pak = std::make_unique<TPak>(dir_ / "setup.exe");
      run.SetupToLoad().SetupInfo.LogPrefix = "demo_";
      run.Choices.InstallDir = inst_;
      ASSERT_TRUE(run.Run.Journal.Begin(RunJournal::PathFor(inst_, "demo_")));
      ArchiveUpdater archives(run);
      archives.UpdatePackage(1, "game.zqp", "pw");
      archives.UpdatePackage(2, "game.zqp", "pw");  // the second update grows the same journal
      archives.UpdateVFS(2, "world.vfs", false);
      archives.UpdateVFS(1, "world.vfs", true);
      ASSERT_FALSE(run.Run.SetupAborted);
      EXPECT_TRUE(platform::FileExists(ArchiveJournal::PathFor(pak)));  // held until the run ends
      // Killed: the journals stay as the system has them.
      if (end != End::Killed) archives.EndOfRun(end == End::Committed);
      if (end == End::Failed) run.Run.Journal.Rollback(run.Run.Registry, {});
      if (end == End::Committed) run.Run.Journal.Commit({});
    }
    if (end == End::Killed) RecoverInterruptedRun(ctx_);
    const Snapshot after = Take(dir_.path());
    if (end == End::Committed) {
      EXPECT_TRUE(after.at(pak) != before.at(pak));
      EXPECT_TRUE(after.at(vfs) != before.at(vfs));
      EXPECT_EQ(after.count(ArchiveJournal::PathFor(pak)) + after.count(ArchiveJournal::PathFor(vfs)), 0u);
      EXPECT_EQ(TPakSystem().OpenArchive(pak), TPakSystem::OpenResult::Ok);
    } else {
      EXPECT_TRUE(after == before) << (end == End::Failed ? "failed" : "killed");
    }
  }
}

}  // namespace
}  // namespace zq
