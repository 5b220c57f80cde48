// Extracting a payload group into a directory, as the "file" command does.
#include <algorithm>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>

#include "platform/host_prefix.h"
#endif

#include "builder/package_writer.h"
#include "container/pak.h"
#include "container/pak_writer.h"
#include "engine/commands/entry_prefetch.h"
#include "engine/commands/extract_group.h"
#include "engine/setup_context.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

class Recorder : public TextTarget, public GaugeTarget {
 public:
  void SetCaption(const std::u16string& text) override { captions.push_back(text); }
  void SetPosition(std::int32_t p) override { positions.push_back(p); }
  std::vector<std::u16string> captions;
  std::vector<std::int32_t> positions;
};

class BoxRecorder : public MessageBoxes {
 public:
  int Show(const std::u16string& text, const std::u16string& caption, unsigned) override {
    boxes.push_back(caption + u": " + text);
    return kIdOk;
  }
  std::vector<std::u16string> boxes;
};

class ExtractGroupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string table = test::LanguageTable(u"English", "0409;", {{18, u"Extracting <%FILENAME%>"}});
    ctx_.SetupToLoad().Languages.AddLanguage(table.data(), table.size());
    ctx_.SetupToLoad().Languages.Current = 0;
    ctx_.Services.StatusLabel = &rec_;
    ctx_.Services.Gauge = &rec_;
    target_ = dir_ / "Install";
    ctx_.Choices.InstallDir = target_;
  }
  TPak& Open(const std::vector<test::SampleEntry>& entries) {
    std::string path = dir_ / "setup.exe";
    EXPECT_TRUE(test::WritePackage(path, test::FakeProgram(100), entries));
    ctx_.SetupToLoad().Pak = std::make_unique<TPak>(path);
    return *ctx_.SetupToLoad().Pak;
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
  EXPECT_EQ(ctx_.Run.UninstallList.Files,
            (std::vector<std::string>{"$INSTDIR\\readme.txt", "$INSTDIR\\sub\\deep\\data.bin"}));
  // Created folders are recorded in creation order, each once.
  ASSERT_EQ(ctx_.Run.UninstallList.Dirs.size(), 3u);
  EXPECT_EQ(ctx_.Run.UninstallList.Dirs[0], target_);
  EXPECT_EQ(ctx_.Run.UninstallList.Dirs[2], target_ + "\\sub\\deep");
  EXPECT_EQ(rec_.captions, (std::vector<std::u16string>{u"Extracting readme.txt", u"Extracting sub\\deep\\data.bin"}));
  EXPECT_EQ(rec_.positions, (std::vector<std::int32_t>{1, 2}));
}

TEST_F(ExtractGroupTest, UnsafeNamesAreRefusedAndTheGroupGoesOn) {
  std::vector<std::string> logged;
  ctx_.Services.RunLog = [&](const std::string& line) { logged.push_back(line); };
  TPak& pak = Open({{"..\\escape.txt", 1, "x"},
                    {"C:\\abs.txt", 1, "x"},
                    {"\\rooted.txt", 1, "x"},
                    {"a\\..\\..\\up.txt", 1, "x"},
                    {"fine.txt", 1, "ok"}});
  ExtractGroup(ctx_, pak, target_, 1);
  EXPECT_EQ(test::ReadAll(target_ + "\\fine.txt"), "ok");
  EXPECT_FALSE(platform::FileExists(dir_ / "escape.txt"));
  EXPECT_FALSE(platform::FileExists(dir_ / "up.txt"));
  EXPECT_EQ(ctx_.Run.UninstallList.Files, (std::vector<std::string>{"$INSTDIR\\fine.txt"}));
  int refusals = 0;
  for (const auto& l : logged) refusals += l.rfind("refused entry", 0) == 0;
  EXPECT_EQ(refusals, 4);
  EXPECT_EQ(rec_.positions.size(), 5u);
}

// Names Windows refuses, a path over its limit, a read-only file and a full disk: the run fails
// like "failure" does, with the file and the reason in the box and the log, and neither the
// file nor anything after it is recorded.
TEST_F(ExtractGroupTest, AFileThatCannotBeWrittenEndsTheRunUnrecorded) {
  struct Case {
    std::string name;
    std::string reason;
  };
  std::vector<Case> cases;
  for (const char* name : {"a<b.txt", "a>b.txt", "a|b.txt", "a?b.txt", "a*b.txt", "a\"b.txt", "tab\there.txt",
                           "bell\a.txt", "CON", "NUL.txt", "com1.txt", "lpt9", "sub\\AUX\\x.txt"}) {
    cases.push_back({name, "Windows does not allow this name"});
  }
  // Longer paths are fine; one component of more than 255 characters is not.
  cases.push_back({std::string(252, 'x') + ".txt", "the path is longer than Windows allows"});
  cases.push_back({"locked.txt", "access is denied (the file may be read-only or in use)"});
#ifndef _WIN32
  cases.push_back({"full", "the disk is full"});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string target = dir / "Install";
    ASSERT_TRUE(platform::CreateDir(target));
    test::WriteAll(target + "\\locked.txt", "mine");
    ASSERT_TRUE(platform::SetReadOnly(target + "\\locked.txt", true));
#ifndef _WIN32
    // A file on a full disk: the host's /dev/full, reached through a link in the test's folder.
    ASSERT_EQ(symlink("/dev/full", (*platform::HostPath(target) + "/full").c_str()), 0);
#endif
    SetupContext ctx;
    std::string table = test::LanguageTable(u"English", "0409;", {{23, u"Setup failed to install."}});
    ctx.SetupToLoad().Languages.AddLanguage(table.data(), table.size());
    ctx.SetupToLoad().Languages.Current = 0;
    ctx.Choices.InstallDir = target;
    Recorder detail;
    BoxRecorder boxes;
    ctx.Services.DetailLabel = &detail;
    ctx.Services.Messages = &boxes;
    std::vector<std::string> logged;
    ctx.Services.RunLog = [&](const std::string& line) { logged.push_back(line); };
    const std::string path = dir / "setup.exe";
    ASSERT_TRUE(test::WritePackage(path, test::FakeProgram(100),
                                   {{"first.txt", 1, "1"}, {c.name, 1, std::string(5000, 'z')}, {"last.txt", 1, "3"}}));
    TPak pak(path);
    ExtractGroup(ctx, pak, target, 1);

    const std::string message = "Unable to write file \"" + target + "\\" + c.name + "\": " + c.reason + ".";
    EXPECT_TRUE(ctx.Run.SetupAborted);
    EXPECT_EQ(boxes.boxes, (std::vector<std::u16string>{u"Error: " + platform::Utf8ToWide(message)}));
    EXPECT_EQ(detail.captions, (std::vector<std::u16string>{u"Setup failed to install."}));
    EXPECT_EQ(logged, (std::vector<std::string>{"file " + target + "\\first.txt", "Error: " + message}));
    EXPECT_EQ(ctx.Run.UninstallList.Files, (std::vector<std::string>{"$INSTDIR\\first.txt"}));
    EXPECT_FALSE(platform::FileExists(target + "\\last.txt"));
    EXPECT_EQ(test::ReadAll(target + "\\locked.txt"), "mine");
    platform::SetReadOnly(target + "\\locked.txt", false);
  }
}

// Entries of any size pass through pieces: a small one inflated whole, a multi-MiB one streamed
// through zlib (half random, so its stored deflate blocks reach the CRC alone), a raw one. Intact,
// each comes out byte for byte; one byte changed in the middle of its block after start-up's
// check (the file changed under the run) fails the run like an unwritable file: nothing of the
// entry is left, nothing after it is written, and only what came before is recorded.
TEST_F(ExtractGroupTest, EntriesStreamWholeOrADamagedOneEndsTheRunLeavingNothing) {
  const std::string large = test::Incompressible(3 << 20, 7) + std::string(5 << 20, 'L');  // 8 MiB
  struct Case {
    std::string label;
    std::string data;
    bool damaged;
  };
  const std::vector<Case> cases = {
      {"small", std::string(2000, 'b'), false},
      {"small", std::string(2000, 'b'), true},
      {"large", large, false},
      {"large", large, true},
      {"raw", test::Incompressible(6 << 20, 9), false},
      {"raw", test::Incompressible(6 << 20, 9), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label + (c.damaged ? " damaged" : " intact"));
    test::TempDir dir;
    const std::string path = dir / "setup.exe";
    ASSERT_TRUE(test::WritePackage(path, test::FakeProgram(100),
                                   {{"good.txt", 1, "good"}, {"bad.bin", 1, c.data}, {"last.txt", 1, "3"}}));
    std::string all = test::ReadAll(path);
    {
      TPak probe(path);
      const TPakEntry& e = probe.Entries()[1];
      EXPECT_EQ(e.CompSize == 0, c.label == "raw");
      EXPECT_EQ(e.OrigSize > kWholeEntryLimit, c.label != "small");
      if (c.damaged) all[e.Offset + e.StoredSize() / 2] ^= 0x20;
    }
    test::WriteAll(path, all);
    std::vector<std::string> logged;
    SetupContext ctx;
    ctx.Services.RunLog = [&](const std::string& line) { logged.push_back(line); };
    const std::string target = dir / "Install";
    ctx.Choices.InstallDir = target;
    TPak pak(path);
    ExtractGroup(ctx, pak, target, 1);
    EXPECT_EQ(ctx.Run.SetupAborted, c.damaged);
    EXPECT_EQ(test::ReadAll(target + "\\good.txt"), "good");
    if (!c.damaged) {
      EXPECT_TRUE(test::ReadAll(target + "\\bad.bin") == c.data);
      EXPECT_EQ(test::ReadAll(target + "\\last.txt"), "3");
      continue;
    }
    EXPECT_FALSE(platform::FileExists(target + "\\bad.bin"));
    EXPECT_FALSE(platform::FileExists(target + "\\last.txt"));
    EXPECT_EQ(ctx.Run.UninstallList.Files, (std::vector<std::string>{"$INSTDIR\\good.txt"}));
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.back(),
              "Error: Unable to write file \"" + target + "\\bad.bin\": the setup package could not be read.");
  }
}

// A solid group of several blocks, decoded two at once, comes out whole; a block found damaged
// while it is decoded (a changed byte, or one forged with matching CRCs and digest) ends the
// run, leaving no part of the file it was writing, and what was written before it is recorded
// for the undo.
TEST_F(ExtractGroupTest, ASolidGroupComesOutWholeOrEndsTheRun) {
  std::vector<builder::PlannedEntry> planned;
  std::vector<std::string> contents;
  for (int i = 0; i < 30; ++i) {
    contents.push_back(i % 3 ? std::string(20000 + i, char('a' + i)) : test::Incompressible(30000, i));
    const std::string source = dir_ / ("src" + std::to_string(i));
    test::WriteAll(source, contents.back());
    builder::PlannedEntry e{"d\\f" + std::to_string(i), 1, source, {}};
    e.files = true;
    planned.push_back(std::move(e));
  }
  test::WriteAll(dir_ / "stub.exe", test::FakeProgram(100));
  const std::string path = dir_ / "solid.exe";
  builder::WriteOptions options;
  options.solid = true;
  options.solid_block_bytes = 150000;
  ASSERT_EQ(builder::WriteSetup(path, dir_ / "stub.exe", planned, options), "");
  const std::string good = test::ReadAll(path);
  ASSERT_GE(TPak(path).Solid()->Blocks.size(), 3u);
  const std::uint64_t frame_at = TPak(path).Solid()->Blocks.at(0).Offset;
  enum class Damage { None, ChangedByte, Forged };
  for (const Damage damage : {Damage::None, Damage::ChangedByte, Damage::Forged}) {
    SCOPED_TRACE(static_cast<int>(damage));
    std::string bytes = good;
    if (damage != Damage::None) bytes[frame_at + 2 * (bytes.size() - frame_at) / 3] ^= 0x10;
    test::WriteAll(path, bytes);
    if (damage == Damage::Forged) {
      ASSERT_TRUE(test::ResealPackage(path));
    }
    ctx_.Run.SetupAborted = false;
    ctx_.Run.UninstallList.Files.clear();
    TPak pak(path);
    ASSERT_TRUE(pak.HasValidHeader());
    const std::string target = target_ + std::to_string(static_cast<int>(damage));
    ExtractGroup(ctx_, pak, target, 1);
    EXPECT_EQ(ctx_.Run.SetupAborted, damage != Damage::None);
    // The log's lines, in the order written, name the folder by its macro: each file by its end.
    std::vector<std::string> written;
    for (const std::string& line : ctx_.Run.UninstallList.Files) written.push_back(line.substr(line.rfind("\\f")));
    std::vector<std::string> in_directory_order;
    for (std::size_t i = 0; i < contents.size(); ++i) {
      const std::string file = target + "\\d\\f" + std::to_string(i);
      in_directory_order.push_back("\\f" + std::to_string(i));
      if (std::find(written.begin(), written.end(), in_directory_order.back()) != written.end()) {
        EXPECT_TRUE(test::ReadAll(file) == contents[i]) << file;
      } else {
        EXPECT_FALSE(platform::FileExists(file)) << file;
      }
    }
    if (damage == Damage::None) {
      EXPECT_EQ(written.size(), contents.size());
      EXPECT_NE(written, in_directory_order) << "the blocks were decoded one after another";
    }
  }
}

// A solid group that names one file twice is written in directory order, its blocks in turn:
// the later entry of the name is what stays, as in a zlib package. Two blocks of twelve files,
// the name in each: decoded at once, the second block's would be written before the first's.
TEST_F(ExtractGroupTest, ASolidGroupNamingAFileTwiceKeepsTheLaterOne) {
  std::vector<builder::PlannedEntry> planned;
  std::vector<std::string> contents;
  for (int i = 0; i < 24; ++i) {
    contents.push_back(std::string(20000, char('a' + i)));
    const std::string source = dir_ / ("src" + std::to_string(i));
    test::WriteAll(source, contents.back());
    const std::string name = i == 10 ? "same" : i == 13 ? "Same" : (i < 12 ? "a" : "b") + std::to_string(i);
    builder::PlannedEntry e{"d\\" + name, 1, source, {}};
    e.files = true;
    planned.push_back(std::move(e));
  }
  test::WriteAll(dir_ / "stub.exe", test::FakeProgram(100));
  const std::string path = dir_ / "twice.exe";
  builder::WriteOptions options;
  options.solid = true;
  options.solid_block_bytes = 300000;
  ASSERT_EQ(builder::WriteSetup(path, dir_ / "stub.exe", planned, options), "");
  TPak pak(path);
  ASSERT_EQ(pak.Solid()->Blocks.size(), 2u);
  ASSERT_EQ(pak.Solid()->BlockOf[pak.Solid()->Blocks[0].First + 13], 1);
  ExtractGroup(ctx_, pak, target_, 1);
  EXPECT_FALSE(ctx_.Run.SetupAborted);
  EXPECT_TRUE(test::ReadAll(target_ + "\\d\\same") == contents[13]);
}

// Entries read ahead come out in the order asked for, whole, whatever the bound on the bytes held
// (a bound below one piece still lets each through alone) or on their count (more entries than
// kPrefetchEntries), and a consumer that stops early leaves no thread behind.
TEST_F(ExtractGroupTest, PrefetchKeepsOrderUnderAnyBound) {
  std::vector<test::SampleEntry> entries;
  for (int i = 0; i < 3 * static_cast<int>(kPrefetchEntries); ++i) {
    entries.push_back({"f" + std::to_string(i), 1, std::string(100 + i * 37, static_cast<char>('a' + i % 26))});
  }
  entries[4].data = test::Incompressible(kWholeEntryLimit + 3 * kStreamPiece / 2, 4);  // streamed in pieces
  TPak& pak = Open(entries);
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < pak.Entries().size(); i += 2) order.push_back(i);  // every other one
  auto next = [](EntryPrefetch& prefetch, std::string& data) {
    data.clear();
    std::uint64_t decomp_size = 0;
    return prefetch.Next(
        [&data](Bytes& piece) {
          data.append(piece.begin(), piece.end());
          return true;
        },
        decomp_size);
  };
  for (std::size_t bound : {std::size_t{1}, std::size_t{1000}, kPrefetchBytes}) {
    SCOPED_TRACE(bound);
    EntryPrefetch prefetch(pak, order, bound);
    std::string data;
    for (std::size_t i : order) {
      ASSERT_EQ(next(prefetch, data), EntryRead::Ok);
      EXPECT_TRUE(data == entries[i].data) << i;
    }
    EXPECT_EQ(next(prefetch, data), EntryRead::Damaged);
  }
  EntryPrefetch abandoned(pak, order, 1);
  std::string data;
  EXPECT_EQ(next(abandoned, data), EntryRead::Ok);
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
    PakWriter writer(path, PakWriter::Mode::Append);
    ASSERT_TRUE(writer.StoreFile(writer.AddEntry("media\\big.dat", source, 1)));
    EXPECT_EQ(writer.Entries()[0].CompSize, 0u);
    EXPECT_EQ(writer.Entries()[0].CRC, 0u);
    ASSERT_TRUE(writer.WriteDirectory());
  }
  TPak pak(path);
  EXPECT_EQ(pak.Entries()[0].OrigSize, size);
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
