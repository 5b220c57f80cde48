// The update procedures over an in-memory file system: their texts and gauge steps, their
// refusals, and all-or-nothing across a crash or a failed write at every point of an update.
#include "engine/archive_updater.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "archives/memory_file_system.h"
#include "base/byte_io.h"
#include "engine/commands/extract_group.h"
#include "engine/setup_context.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

using test::MemoryFileSystem;

std::string WaveText(std::uint32_t data_size) {
  Bytes w;
  PutText(w, "RIFF");
  PutU32(w, 36 + data_size);
  PutText(w, "WAVEfmt ");
  PutU32(w, 16);
  PutU16(w, 1);
  PutU16(w, 1);
  PutU32(w, 22050);
  PutU32(w, 44100);
  PutU16(w, 2);
  PutU16(w, 16);
  PutText(w, "data");
  PutU32(w, data_size);
  for (std::uint32_t i = 0; i < data_size / 2; ++i) PutU16(w, static_cast<std::uint16_t>(3000 * std::sin(i * 0.1)));
  return std::string(w.begin(), w.end());
}

struct Texts : TextTarget {
  std::vector<std::string> shown;
  void SetCaption(const std::u16string& text) override { shown.push_back(platform::WideToUtf8(text)); }
};
struct Gauge : GaugeTarget {
  std::vector<std::int32_t> positions;
  void SetPosition(std::int32_t p) override { positions.push_back(p); }
};

class UpdaterTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  SetupContext ctx;
  MemoryFileSystem fs;
  Texts status, detail;
  Gauge gauge;
  const std::string pak_path = "C:\\Game\\data\\game.zqp";
  const std::string vfs_path = "C:\\Game\\world.vfs";

  void SetUp() override {
    ASSERT_TRUE(test::WritePackage(dir / "setup.exe", test::FakeProgram(512),
                                   {{"Readme.txt", 1, "read me, version two"},
                                    {"Sound\\hit.wav", 1, WaveText(4100)},
                                    {"Text\\new.txt", 1, std::string(3000, 'n')},
                                    {"Data\\Maps\\m1.txt", 2, std::string(5000, 'm')},
                                    {"Data\\a.txt", 2, "replaced a"},
                                    {"top.txt", 3, "top"}}));
    ctx.SetupToLoad().Pak = std::make_unique<TPak>(dir / "setup.exe", TPak::OpenFlags::Read);
    ctx.Choices.InstallDir = "C:\\Game";
    ctx.Services.StatusLabel = &status;
    ctx.Services.DetailLabel = &detail;
    ctx.Services.Gauge = &gauge;
    TPakSystem pak(fs);
    fs.Files[pak_path] = {};
    // The starting package: one member, stored under a name of another case.
    Bytes initial;
    Bytes stored = MaskedZlib(Bytes{'o', 'l', 'd'});
    initial = stored;
    TPakDirEntry r;
    r.Name = "README.TXT";
    r.StoredSize = static_cast<std::uint32_t>(stored.size());
    r.UnpackedSize = 3;
    Bytes tail = PakDirectoryBytes({r}, {});
    initial.insert(initial.end(), tail.begin(), tail.end());
    fs.Files[pak_path] = initial;
    fs.Files[vfs_path] = NewVfsArchive(256, 200, 8, "world");
    TVFSFile vfs(fs);
    vfs.Open(vfs_path, true);
    vfs.BeginUpdate();
    vfs.Tree->AddFile("Data\\a.txt", reinterpret_cast<const std::uint8_t*>("first a"), 7);
    vfs.SaveHeader(false);
    vfs.Close();
  }

  PakTail Tail() {
    auto io = fs.Open(pak_path, false);
    return ReadPakTail(*io, pak_path);
  }
};

TEST_F(UpdaterTest, PackageUpdateTextsGaugeAndPassword) {
  {
    ArchiveUpdater updater(ctx, fs);
    updater.UpdatePackage(1, "data\\game.zqp", "s3cret");
  }
  EXPECT_FALSE(ctx.Run.SetupAborted);
  EXPECT_EQ(status.shown.front(), "NOT FOUND 19");                // no language table loaded
  EXPECT_EQ(gauge.positions, (std::vector<std::int32_t>{2, 3}));  // 0 %, 33 %, 66 %: moved twice
  PakTail tail = Tail();
  EXPECT_EQ(tail.ExtraInfo.Password, "s3cret");
  ASSERT_EQ(tail.Records.size(), 3u);
  EXPECT_EQ(tail.Records[0].Name, "README.TXT");  // replaced: the stored case is kept
  EXPECT_EQ(tail.Records[1].Name, "Sound\\hit.wav");
  EXPECT_EQ(tail.Records[1].Kind, kPakKindWave);
  EXPECT_FALSE(fs.Exists(ArchiveJournal::PathFor(pak_path)));

  // The wrong password leaves every byte as it was and aborts the run.
  const Bytes before = fs.Files[pak_path];
  ArchiveUpdater updater(ctx, fs);
  updater.UpdatePackage(1, "data\\game.zqp", "S3CRET");
  EXPECT_EQ(fs.Files[pak_path], before);
  EXPECT_TRUE(ctx.Run.SetupAborted);
  EXPECT_EQ(detail.shown.back(), "NOT FOUND 23");
}

// A journal that is not the archive's own is dropped with a log line, and the update goes on
// over the archive as it is.
TEST_F(UpdaterTest, AForeignJournalIsLoggedAndTheUpdateGoesOn) {
  std::vector<std::string> log;
  ctx.Services.RunLog = [&](const std::string& line) { log.push_back(line); };
  for (const std::string& archive : {pak_path, vfs_path})
    fs.Files[ArchiveJournal::PathFor(archive)] = {'Z', 'Q', 'J', '1', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  {
    ArchiveUpdater updater(ctx, fs);
    updater.UpdatePackage(1, "data\\game.zqp", "pw");
    updater.UpdateVFS(2, "world.vfs", true);
  }
  ASSERT_FALSE(ctx.Run.SetupAborted);
  EXPECT_EQ(Tail().Records.size(), 3u);
  for (const std::string& archive : {pak_path, vfs_path}) {
    EXPECT_FALSE(fs.Exists(ArchiveJournal::PathFor(archive))) << archive;
    const std::string said = "removed " + ArchiveJournal::PathFor(archive) + " without applying it";
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& l) { return l.rfind(said, 0) == 0; }))
        << said;
  }
}

TEST_F(UpdaterTest, EmptyGroupsTouchNothing) {
  ArchiveUpdater updater(ctx, fs);
  fs.FaultAt = 1;  // any change at all would crash
  updater.UpdatePackage(9, "data\\game.zqp", "x");
  updater.UpdateVFS(9, "world.vfs", true);
  EXPECT_TRUE(status.shown.empty());
  fs.FaultAt = 0;
}

TEST_F(UpdaterTest, RefusalsAbortTheRunAndChangeNothing) {
  const Bytes before = fs.Files[pak_path];
  ArchiveUpdater updater(ctx, fs);
  updater.UpdatePackage(1, "data\\game.zqp", std::string(kPakMaxPassword + 1, 'x'));
  EXPECT_EQ(fs.Files[pak_path], before);
  EXPECT_TRUE(ctx.Run.SetupAborted);
  ctx.Run.SetupAborted = false;
  updater.UpdatePackage(1, "data\\missing.zqp", "x");  // headless: Cancel to the retry question
  EXPECT_TRUE(ctx.Run.SetupAborted);
  ctx.Run.SetupAborted = false;
  updater.UpdateVFS(2, "missing.vfs", true);
  EXPECT_TRUE(ctx.Run.SetupAborted);
}

TEST_F(UpdaterTest, OfficialFlagTextsAndConfirmationWord) {
  ArchiveUpdater updater(ctx, fs);
  for (const auto& [flag, official] : std::vector<std::pair<std::string, bool>>{
           {"TRUE", true}, {"yes", false}, {"T", true}, {"0", false}, {"1", true}, {"", false}}) {
    updater.SetPackageOfficial("data\\game.zqp", "Confirm", flag);
    EXPECT_EQ(Tail().ExtraInfo.Official, official) << flag;
  }
  const Bytes before = fs.Files[pak_path];
  updater.SetPackageOfficial("data\\game.zqp", "confirmed", "1");
  EXPECT_EQ(fs.Files[pak_path], before);
}

TEST_F(UpdaterTest, VfsStaysOpenUntilClosedThenSavedOnce) {
  {
    ArchiveUpdater updater(ctx, fs);
    updater.UpdateVFS(2, "world.vfs", false);
    EXPECT_TRUE(updater.VFSOpen());
    EXPECT_TRUE(fs.Exists(ArchiveJournal::PathFor(vfs_path)));
    updater.UpdateVFS(3, "world.vfs", true);
    EXPECT_FALSE(updater.VFSOpen());
  }
  EXPECT_FALSE(fs.Exists(ArchiveJournal::PathFor(vfs_path)));
  TVFSFile vfs(fs);
  vfs.Open(vfs_path, true);
  ASSERT_NE(vfs.Tree->FindPath("Data\\Maps\\m1.txt"), -1);
  EXPECT_EQ(vfs.ReadFileData(*vfs.Tree->Nodes[static_cast<std::size_t>(vfs.Tree->FindPath("top.txt"))].Entry).Data,
            (Bytes{'t', 'o', 'p'}));
  EXPECT_EQ(vfs.Tree->Nodes[static_cast<std::size_t>(vfs.Tree->FindPath("Data\\a.txt"))].Entry->StoredSize, 10u);
}

// An archive installed afresh over one whose update was interrupted: the old update's journal
// goes, so that no later opening can roll the new archive back to the old one.
TEST(InstallOverArchiveTest, AFileInstalledOverAnArchiveTakesItsJournalAway) {
  test::TempDir dir;
  ASSERT_TRUE(test::WritePackage(dir / "setup.exe", test::FakeProgram(64),
                                 {{"data\\game.zqp", 1, "the new package"}, {"world.vfs", 1, "the new archive"}}));
  SetupContext ctx;
  std::vector<std::string> log;
  ctx.Services.RunLog = [&](const std::string& line) { log.push_back(line); };
  ctx.SetupToLoad().Pak = std::make_unique<TPak>(dir / "setup.exe", TPak::OpenFlags::Read);
  const std::string install = dir / "Game";
  ASSERT_TRUE(platform::CreateDir(install) && platform::CreateDir(install + "\\data"));
  const std::string kept = install + "\\music.vfs";  // not installed over: its journal stays
  for (const std::string& archive : {install + "\\data\\game.zqp", install + "\\world.vfs", kept}) {
    test::WriteAll(archive, "the old archive, half updated");
    test::WriteAll(ArchiveJournal::PathFor(archive), "ZQJ2 an unfinished update");
  }
  ExtractGroup(ctx, *ctx.SetupToLoad().Pak, install, 1);
  ASSERT_FALSE(ctx.Run.SetupAborted);
  EXPECT_EQ(test::ReadAll(install + "\\data\\game.zqp"), "the new package");
  EXPECT_FALSE(platform::FileExists(ArchiveJournal::PathFor(install + "\\data\\game.zqp")));
  EXPECT_FALSE(platform::FileExists(ArchiveJournal::PathFor(install + "\\world.vfs")));
  EXPECT_TRUE(platform::FileExists(ArchiveJournal::PathFor(kept)));
  const std::string removed = "removed " + ArchiveJournal::PathFor(install + "\\world.vfs");
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& l) { return l.rfind(removed, 0) == 0; }));
}

// ---- all or nothing ----

struct State {
  std::map<std::string, Bytes> files;
  bool operator==(const State&) const = default;
};

// The package's meaning, apart from the freshly drawn cipher seeds of its trailer.
std::string PackageMeaning(MemoryFileSystem& fs, const std::string& path) {
  auto io = fs.Open(path, false);
  PakTail tail = ReadPakTail(*io, path);
  std::string m(reinterpret_cast<const char*>(fs.Files[path].data()), tail.DataEnd);
  for (const auto& r : tail.Records) {
    Bytes b;
    PutPakRecord(b, r);
    m.append(b.begin(), b.end());
  }
  return m + "|" + tail.ExtraInfo.Password + (tail.ExtraInfo.Official ? "|1" : "|0");
}

class AllOrNothingTest : public UpdaterTest {
 protected:
  using Operation = std::function<void(ArchiveUpdater&)>;

  std::string Meaning(MemoryFileSystem& f) {
    std::string m = PackageMeaning(f, pak_path);
    for (const auto& [name, bytes] : f.Files)
      if (name != pak_path) m += "|" + name + ":" + std::string(bytes.begin(), bytes.end());
    return m;
  }

  // Every file below `from` taken to the same place below `to`, as a moved folder.
  static void MoveFolder(MemoryFileSystem& f, const std::string& from, const std::string& to) {
    std::map<std::string, Bytes> moved;
    for (auto& [name, bytes] : f.Files)
      moved[name.rfind(from, 0) == 0 ? to + name.substr(from.size()) : name] = std::move(bytes);
    f.Files = std::move(moved);
  }

  static bool RolledBackOrClean(const JournalRecovery& r) {
    return r.outcome == JournalRecovery::Outcome::RolledBack || r.outcome == JournalRecovery::Outcome::NoJournal;
  }

  // Runs `op` with a fault at every change in turn; each time, the archives reopened (after the
  // installation folder was moved to `moved_to`, when given) must be exactly the old or exactly
  // the new ones.
  void Check(const Operation& op, MemoryFileSystem::Fault kind, const std::string& moved_to = {}) {
    const auto initial = fs.Files;
    const std::string old_meaning = Meaning(fs);
    {
      ArchiveUpdater updater(ctx, fs);
      op(updater);
    }
    ASSERT_FALSE(ctx.Run.SetupAborted);
    const std::string new_meaning = Meaning(fs);
    ASSERT_TRUE(new_meaning != old_meaning);
    std::size_t olds = 0, news = 0;
    for (std::size_t n = 1;; ++n) {
      fs.Files = initial;
      fs.Changes = 0;
      fs.FaultAt = n;
      fs.Kind = kind;
      fs.Crashed = false;
      ctx.Run.SetupAborted = false;
      try {
        ArchiveUpdater updater(ctx, fs);
        op(updater);
      } catch (const test::SimulatedCrash&) {
      }
      const bool faulted = fs.Changes >= n;
      fs.FaultAt = 0;
      fs.Crashed = false;
      // Reopening: the journal, if any, is rolled back.
      const std::string folder = moved_to.empty() ? "C:\\Game\\" : moved_to;
      MoveFolder(fs, "C:\\Game\\", folder);
      ASSERT_TRUE(RolledBackOrClean(ArchiveJournal::Recover(fs, folder + "data\\game.zqp"))) << n;
      ASSERT_TRUE(RolledBackOrClean(ArchiveJournal::Recover(fs, folder + "world.vfs"))) << n;
      MoveFolder(fs, folder, "C:\\Game\\");
      const std::string now = Meaning(fs);
      if (now == old_meaning) ++olds;
      else if (now == new_meaning) ++news;
      else ADD_FAILURE() << "neither old nor new after a fault at change " << n;
      if (kind == MemoryFileSystem::Fault::Fail && faulted) {
        EXPECT_EQ(now == old_meaning, ctx.Run.SetupAborted.load()) << n;
      }
      if (!faulted) break;
    }
    EXPECT_GT(olds, 1u);
    fs.Files = initial;
  }
};

TEST_F(AllOrNothingTest, PackageUpdate) {
  for (auto kind : {MemoryFileSystem::Fault::Crash, MemoryFileSystem::Fault::Fail})
    Check([](ArchiveUpdater& u) { u.UpdatePackage(1, "data\\game.zqp", "pw"); }, kind);
}

TEST_F(AllOrNothingTest, OfficialAndDuplicate) {
  for (auto kind : {MemoryFileSystem::Fault::Crash, MemoryFileSystem::Fault::Fail}) {
    Check([](ArchiveUpdater& u) { u.SetPackageOfficial("data\\game.zqp", "confirm", "1"); }, kind);
    Check([](ArchiveUpdater& u) { u.DuplicateMember("data\\game.zqp", "readme.txt", "Copy.txt"); }, kind);
  }
}

TEST_F(AllOrNothingTest, VfsUpdate) {
  for (auto kind : {MemoryFileSystem::Fault::Crash, MemoryFileSystem::Fault::Fail})
    Check([](ArchiveUpdater& u) { u.UpdateVFS(2, "world.vfs", true); }, kind);
}

// The journal names the hash file by its place beside the archive, so an update interrupted in
// one folder is rolled back in the folder it was moved to.
TEST_F(AllOrNothingTest, InterruptedThenMovedStillRecovers) {
  Check([](ArchiveUpdater& u) { u.UpdateVFS(2, "world.vfs", true); }, MemoryFileSystem::Fault::Crash, "D:\\Moved\\");
  Check([](ArchiveUpdater& u) { u.UpdatePackage(1, "data\\game.zqp", "pw"); }, MemoryFileSystem::Fault::Crash,
        "D:\\Moved\\");
}

// A journal cut anywhere in the record being flushed still rolls back to the old archive.
TEST_F(AllOrNothingTest, TornJournalAtEveryFlushPoint) {
  const auto initial = fs.Files;
  struct Snapshot {
    std::map<std::string, Bytes> files;
    std::size_t previous_size;
  };
  std::vector<Snapshot> snapshots;
  std::map<std::string, std::size_t> flushed;
  fs.OnFlush = [&](const std::string& path) {
    if (path.size() < 4 || path.substr(path.size() - 4) != ".zqj") return;
    snapshots.push_back({fs.Files, flushed[path]});
    flushed[path] = fs.Files[path].size();
  };
  {
    ArchiveUpdater updater(ctx, fs);
    updater.UpdatePackage(1, "data\\game.zqp", "pw");
    updater.UpdateVFS(2, "world.vfs", true);
  }
  fs.OnFlush = nullptr;
  ASSERT_GT(snapshots.size(), 10u);
  for (const auto& snap : snapshots) {
    for (const auto& [path, bytes] : snap.files) {
      if (path.size() < 4 || path.substr(path.size() - 4) != ".zqj") continue;
      // Every cut of a short record, a handful of a long one.
      const std::size_t span = bytes.size() - snap.previous_size;
      const std::size_t step = span <= 64 ? 1 : span / 16;
      for (std::size_t cut = snap.previous_size; cut <= bytes.size(); cut += step) {
        MemoryFileSystem crashed;
        crashed.Files = snap.files;
        crashed.Files[path].resize(cut);
        const std::string archive = path.substr(0, path.size() - 4);
        ASSERT_TRUE(RolledBackOrClean(ArchiveJournal::Recover(crashed, archive)));
        for (const auto& [p, b] : initial)
          if (p == archive || p == TVFSFile::HashFilePath(archive)) {
            EXPECT_EQ(crashed.Files[p], b) << p << " cut " << cut;
          }
        EXPECT_EQ(crashed.Exists(path), false);
      }
    }
  }
}

}  // namespace
}  // namespace zq
