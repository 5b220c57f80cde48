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
    ctx_.SetupToLoad().SetupInfo.ShortName = "demo";
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

  std::string Journal() const { return RunJournal::PathFor(trust_.folder.path, "demo", inst_); }
  void BeginJournal(SetupContext& run) const {
    run.SetupToLoad().SetupInfo.LogPrefix = "demo_";
    run.SetupToLoad().SetupInfo.ShortName = "demo";
    run.Choices.InstallDir = inst_;
    ASSERT_TRUE(run.Run.Journal.Begin(Journal(), trust_.key, inst_));
  }

  test::TempDir dir_;
  std::string inst_;
  SetupContext ctx_;
  JournalTrust trust_ = OpenJournalTrust(platform::TrustScope::Machine);
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
  EXPECT_FALSE(platform::FileExists(Journal()));
}

TEST_F(RunTransactionTest, AFolderWhereAFileGoesIsNeverMovedAside) {
  ASSERT_TRUE(platform::CreateDir(inst_ + "\\data.bin"));
  test::WriteAll(inst_ + "\\data.bin\\mine.txt", "the user's");
  ASSERT_TRUE(ctx_.Run.Journal.Begin(Journal(), trust_.key, inst_));
  FolderListing listing;
  for (FolderListing* l : {static_cast<FolderListing*>(nullptr), &listing}) {
    EXPECT_TRUE(PrepareFileWrite(ctx_.Run, inst_ + "\\data.bin", l));  // the write itself fails
    EXPECT_EQ(test::ReadAll(inst_ + "\\data.bin\\mine.txt"), "the user's");
    EXPECT_FALSE(platform::DirectoryExists(inst_ + "\\data.bin.zqold"));
  }
  ctx_.Run.Journal.Rollback(ctx_.Run.Registry, {});
}

// A run killed half-way leaves its journal; the next run of the product finishes it first, when
// the journal proves to be the one that run wrote.
TEST_F(RunTransactionTest, TheNextRunUndoesAKilledOneOnlyFromItsOwnJournal) {
  struct Case {
    const char* name;
    std::function<void(std::string& journal)> damage;
    bool undone;
  };
  platform::SecretKey other_key = trust_.key;
  other_key[0] ^= 1;
  const Case cases[] = {
      {"intact", [](std::string&) {}, true},
      {"last record cut by the kill", [](std::string& j) { j.resize(j.size() - 5); }, true},
      {"one byte changed", [](std::string& j) { j[j.find("keep.txt")] = 'K'; }, false},
      {"a record dropped",
       [](std::string& j) {
         const std::size_t second = j.find('\n') + 1;
         j.erase(second, j.find('\n', second) + 1 - second);
       },
       false},
      {"written under another key",
       [&](std::string& j) {
         SetupContext forger;
         forger.Choices.InstallDir = inst_;
         const std::string forged = dir_ / "forged.zqr";
         ASSERT_TRUE(forger.Run.Journal.Begin(forged, other_key, inst_));
         forger.Run.Journal.Record({.kind = RunChange::Kind::FolderRemoved, .path = dir_ / "victim"});
         forger.Run.Journal.Sync();
         j = test::ReadAll(forged);
       },
       false},
  };
  ASSERT_TRUE(platform::CreateDir(dir_ / "victim"));
  for (const Case& c : cases) {
    const Snapshot before = Take(dir_.path());
    {
      SetupContext killed;
      BeginJournal(killed);
      test::LoadScript(killed, Changes());
      for (std::uint32_t i = 0; i < Changes().size(); ++i) test::RunLine(killed, i);
      // Killed here: no commit, no undo; the journal stays as the system has it.
    }
    std::string bytes = test::ReadAll(Journal());
    c.damage(bytes);
    test::WriteAll(Journal(), bytes);
    const Snapshot killed_state = Take(dir_.path());
    RecoverInterruptedRun(ctx_);
    if (c.undone) {
      EXPECT_EQ(Take(dir_.path()), before) << c.name;
    } else {
      // Not applied, and kept for an administrator under a name no run takes for its journal.
      EXPECT_EQ(Take(dir_.path()), killed_state) << c.name;
      EXPECT_FALSE(platform::FileExists(Journal())) << c.name;
      EXPECT_TRUE(platform::FileExists(Journal() + ".refused")) << c.name;
      platform::DeleteFileAt(Journal() + ".refused");
    }
  }
}

// A kill that cut the journal's tail (a power cut before the system wrote it) lost the records
// of files already kept aside: they are found by the run's id in their names.
TEST_F(RunTransactionTest, FilesKeptAsideWhoseRecordsWereLostAreFoundByTheRunsId) {
  std::vector<std::string> files;
  for (int i = 0; i < 12; ++i) {
    files.push_back(inst_ + "\\f" + std::to_string(i) + ".dat");
    test::WriteAll(files.back(), "version one of " + std::to_string(i));
  }
  const Snapshot before = Take(dir_.path());
  {
    SetupContext killed;
    BeginJournal(killed);
    for (const std::string& f : files) ASSERT_TRUE(PrepareFileWrite(killed.Run, f));  // moved aside, not written
  }
  std::string bytes = test::ReadAll(Journal());
  std::size_t cut = 0;
  for (int line = 0; line < 5; ++line) cut = bytes.find('\n', cut) + 1;  // the header and four records
  test::WriteAll(Journal(), bytes.substr(0, cut));
  RecoverInterruptedRun(ctx_);
  EXPECT_EQ(Take(dir_.path()), before);
  EXPECT_FALSE(platform::FileExists(Journal()));
}

// Even a journal the engine wrote undoes only what it can prove its run did: each record here
// breaks one bound, and nothing it names is touched.
TEST_F(RunTransactionTest, UndoingTouchesNothingARecordCannotProve) {
  using Kind = RunChange::Kind;
  ASSERT_TRUE(platform::CreateDir(dir_ / "Other"));
  test::WriteAll(dir_ / "Other\\app.dll", "the other program's");
  test::WriteAll(dir_ / "planted.dll", "planted");
  ASSERT_TRUE(platform::CreateDir(dir_ / "Documents"));
  test::WriteAll(dir_ / "Documents\\letter.txt", "the user's");
  test::WriteAll(inst_ + "\\made.txt", "made by the run");
  const Snapshot before = Take(dir_.path());
  const std::uint32_t hkcu = platform::kHkeyCurrentUser;
  {
    SetupContext killed;
    BeginJournal(killed);
    RunJournal& j = killed.Run.Journal;
    // A kept file planted under the run's own name, whose digest is not the recorded one.
    const std::string kept = inst_ + "\\keep.txt." + j.RunId() + ".zqold";
    test::WriteAll(kept, "planted");
    const auto check = RunJournal::FileCheck(inst_ + "\\keep.txt");
    for (const RunChange& c : std::vector<RunChange>{
             {.kind = Kind::FileReplaced, .path = dir_ / "Other\\app.dll", .aside = dir_ / "planted.dll"},
             {.kind = Kind::FileReplaced,
             .path = inst_ + "\\keep.txt",
             .aside = kept,
             .size = check->first,
             .digest = check->second},
             {.kind = Kind::FolderCreated, .path = dir_ / "Documents"},
             {.kind = Kind::KeyCreated, .path = "Software\\zq all or nothing", .root = hkcu},
             {.kind = Kind::RegValue,
             .path = "Software\\zq all or nothing",
             .aside = "Version",
             .root = hkcu,
             .old_type = 'S',
             .old_value = "0.9",
             .new_type = 'S',
             .new_value = "2.0"},
             {.kind = Kind::FileCreated, .path = inst_ + "\\made.txt"},  // the one record that holds
         }) {
      ASSERT_TRUE(j.Record(c));
    }
    j.Sync();
  }
  RecoverInterruptedRun(ctx_);
  Snapshot expected = before;
  expected.erase(inst_ + "\\made.txt");
  Snapshot after = Take(dir_.path());
  for (auto it = after.begin(); it != after.end();) {
    it = it->first.find(".zqold") != std::string::npos ? after.erase(it) : std::next(it);  // the planted one
  }
  EXPECT_EQ(after, expected);
}

// A journal in the installation folder, where anyone who may write the folder could plant one,
// is never applied, whoever wrote it.
TEST_F(RunTransactionTest, AJournalInTheInstallationFolderIsNeverApplied) {
  const std::string victim = dir_ / "Documents";
  ASSERT_TRUE(platform::CreateDir(victim));
  test::WriteAll(victim + "\\letter.txt", "the user's");
  {
    SetupContext planter;
    planter.Choices.InstallDir = inst_;
    ASSERT_TRUE(planter.Run.Journal.Begin(inst_ + "\\demo_run.zqr", trust_.key, inst_));
    planter.Run.Journal.Record({.kind = RunChange::Kind::FolderCreated, .path = victim});
    planter.Run.Journal.Record({.kind = RunChange::Kind::FileCreated, .path = victim + "\\letter.txt"});
    planter.Run.Journal.Sync();
  }
  const Snapshot before = Take(dir_.path());
  RecoverInterruptedRun(ctx_);
  EXPECT_EQ(Take(dir_.path()), before);
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
      BeginJournal(run);
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
