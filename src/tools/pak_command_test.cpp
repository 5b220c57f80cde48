// zq pak as an author runs it, on packages written by the engine's own update code.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>

#include "archives/journal.h"
#include "archives/memory_file_system.h"
#include "archives/pak_system.h"
#include "base/byte_io.h"
#include "platform/files.h"
#include "support/temp_dir.h"
#include "tools/commands.h"
#include "tools/zq_test_support.h"

namespace zq::tool {
namespace {

Bytes Text(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>("castle dragon sword\r\n"[i % 21]);
  return b;
}

// A canonical 16-bit mono PCM file, no cue chunk: stored as IMA ADPCM.
Bytes Wave(std::uint32_t samples) {
  Bytes w;
  PutText(w, "RIFF");
  PutU32(w, 36 + 2 * samples);
  PutText(w, "WAVEfmt ");
  PutU32(w, 16);
  PutU16(w, 1);
  PutU16(w, 1);
  PutU32(w, 11025);
  PutU32(w, 22050);
  PutU16(w, 2);
  PutU16(w, 16);
  PutText(w, "data");
  PutU32(w, 2 * samples);
  for (std::uint32_t i = 0; i < samples; ++i)
    PutU16(w, static_cast<std::uint16_t>(static_cast<std::int16_t>(10000 * std::sin(i * 0.25))));
  return w;
}

std::int16_t SampleAt(const std::string& wav, std::size_t i) {
  return static_cast<std::int16_t>(GetU16(reinterpret_cast<const std::uint8_t*>(wav.data()) + 44 + 2 * i));
}

class PakCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    package_ = dir_ / "game.zqp";
    ASSERT_EQ(Zq({"pak", "create", package_}).code, 0);
    TPakSystem pak;
    ASSERT_EQ(pak.OpenArchive(package_), TPakSystem::OpenResult::Ok);
    pak.BeginUpdate();
    ASSERT_TRUE(pak.AddMember("Docs\\Read Me.txt", 5000, Text(5000)));
    ASSERT_TRUE(pak.AddMember("sounds\\beep.wav", static_cast<std::uint32_t>(wave_.size()), wave_));
    pak.DuplicateMember("sounds\\beep.wav", "sounds\\Boop.wav");
    pak.ExtraInfo.Password = "Secret1";
    pak.ExtraInfo.HasPassword = true;
    pak.ExtraInfo.Official = true;
    records_ = pak.Records();
    pak.WritePackageDirectory();
  }
  const TPakDirEntry& Record(const std::string& name) const {
    for (const auto& r : records_)
      if (r.Name == name) return r;
    throw std::runtime_error("no record " + name);
  }
  void FlipByte(std::uint64_t at) {
    std::string all = test::ReadAll(package_);
    all.at(at) = static_cast<char>(all.at(at) ^ 0x5A);
    test::WriteAll(package_, all);
  }

  test::TempDir dir_;
  std::string package_;
  Bytes wave_ = Wave(3000);  // more than one 2048-byte ADPCM block
  std::vector<TPakDirEntry> records_;
};

TEST_F(PakCommandTest, ListJsonCarriesTrailerFlagsAndEveryRecordField) {
  ZqRun r = Zq({"pak", "list", package_, "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"password\": true, \"official\": true, \"trailer\": 3, \"members\": [", 0), 0u) << r.out;
  for (const auto& rec : records_) {
    std::ostringstream want;
    std::string escaped;
    for (char c : rec.Name) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    want << "{\"name\": \"" << escaped << "\", \"kind\": " << int(rec.Kind) << ", \"stored\": " << rec.StoredSize
         << ", \"unpacked\": " << rec.UnpackedSize << ", \"offset\": " << rec.Offset << ", \"date\": " << rec.Date
         << "}";
    EXPECT_NE(r.out.find(want.str()), std::string::npos) << want.str() << "\n" << r.out;
  }
  EXPECT_EQ(Record("Docs\\Read Me.txt").Kind, kPakKindZlib);
  EXPECT_EQ(Record("sounds\\beep.wav").Kind, kPakKindWave);
  // The second name is stored in lower case and points at the same bytes.
  EXPECT_EQ(Record("sounds\\boop.wav").Offset, Record("sounds\\beep.wav").Offset);

  ZqRun text = Zq({"pak", "list", package_});
  ASSERT_EQ(text.code, 0);
  EXPECT_NE(text.out.find("trailer version 3, password set, official"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("wave "), std::string::npos) << text.out;
}

TEST_F(PakCommandTest, ExtractGivesTheBytesBackAndWaveMembersAsPcm) {
  const std::string out = dir_ / "out";
  ZqRun r = Zq({"pak", "extract", package_, "-o", out});
  ASSERT_EQ(r.code, 0) << r.err;
  const Bytes text = Text(5000);
  EXPECT_EQ(test::ReadAll(out + "\\Docs\\Read Me.txt"), std::string(text.begin(), text.end()));

  const std::string wav = test::ReadAll(out + "\\sounds\\beep.wav");
  ASSERT_EQ(wav.size(), wave_.size());
  // The source's header as it was: PCM, 16 bits, the same data size.
  EXPECT_EQ(wav.substr(0, 44), std::string(wave_.begin(), wave_.begin() + 44));
  const std::string source(wave_.begin(), wave_.end());
  // The decoder starts at the smallest step and needs a few samples to catch up.
  int worst = 0;
  for (std::size_t i = 32; i < 3000; ++i) worst = std::max(worst, std::abs(SampleAt(wav, i) - SampleAt(source, i)));
  EXPECT_LT(worst, 1500) << "ADPCM should follow a smooth sine closely";
  EXPECT_GT(worst, 0) << "ADPCM is lossy: identical samples mean the member was not encoded";
  EXPECT_EQ(test::ReadAll(out + "\\sounds\\boop.wav"), wav);
}

TEST_F(PakCommandTest, CheckPassesAnIntactPackageAndFailsEachKindOfDamage) {
  ZqRun ok = Zq({"pak", "check", package_});
  EXPECT_EQ(ok.code, 0) << ok.err;
  EXPECT_NE(ok.out.find("3 members, 0 problems"), std::string::npos) << ok.out;
  const std::string intact = test::ReadAll(package_);

  // A byte inside the text member's deflate stream.
  FlipByte(Record("Docs\\Read Me.txt").Offset + Record("Docs\\Read Me.txt").StoredSize / 2);
  ZqRun zlib = Zq({"pak", "check", package_});
  EXPECT_EQ(zlib.code, 1);
  EXPECT_NE(zlib.err.find("Docs\\Read Me.txt"), std::string::npos) << zlib.err;
  test::WriteAll(package_, intact);

  // The saved decoder state at the end of the first ADPCM block (58-byte head, 512 codes).
  FlipByte(Record("sounds\\beep.wav").Offset + 58 + 512);
  ZqRun wave = Zq({"pak", "check", package_});
  EXPECT_EQ(wave.code, 1);
  EXPECT_NE(wave.err.find("ADPCM block 0"), std::string::npos) << wave.err;
  test::WriteAll(package_, intact);

  // The directory trailer.
  test::WriteAll(package_, intact.substr(0, intact.size() - 30));
  ZqRun cut = Zq({"pak", "check", package_});
  EXPECT_EQ(cut.code, 1);
  EXPECT_NE(cut.err.find("corrupted header"), std::string::npos) << cut.err;
  EXPECT_EQ(Zq({"pak", "list", package_}).code, 1);
  test::WriteAll(package_, intact);
}

// An update that crashed after it wrote its first members over the package's directory: the
// half written package and its journal, as they are left on the disk.
void InterruptUpdate(const std::string& path) {
  test::MemoryFileSystem mem;
  const std::string intact = test::ReadAll(path);
  mem.Files[path] = Bytes(intact.begin(), intact.end());
  mem.FaultAt = 6;  // the journal, its header, the kept directory, two members: then the new directory
  try {
    TPakSystem pak(mem);
    pak.OpenArchive(path);
    pak.BeginUpdate();
    pak.AddMember("maps\\one.txt", 20000, Text(20000));
    pak.AddMember("maps\\two.txt", 300, Text(300));
    pak.WritePackageDirectory();
  } catch (const test::SimulatedCrash&) {
  }
  for (const auto& [name, bytes] : mem.Files) test::WriteAll(name, std::string(bytes.begin(), bytes.end()));
}

TEST_F(PakCommandTest, AJournalBesideThePackageIsReportedAndRecoverJudgesIt) {
  const std::string intact = test::ReadAll(package_);
  const std::string journal = ArchiveJournal::PathFor(package_);
  ASSERT_EQ(Zq({"pak", "create", dir_ / "fresh.zqp"}).code, 0);
  const std::string fresh = test::ReadAll(dir_ / "fresh.zqp");
  struct Case {
    const char* what;
    std::function<void()> make;
    const char* reported;
    bool listed;  // a pending update leaves nothing true to list
    int recover_code;
    const char* recovered;
    std::string after;
  };
  const Case cases[] = {
      {"an interrupted update", [&] { InterruptUpdate(package_); }, "an interrupted update is pending", false, 0,
       "rolled", intact},
      {"the package installed afresh over an interrupted update",
       [&] {
         InterruptUpdate(package_);
         test::WriteAll(package_, fresh);
       },
       "does not belong to it", true, 1, "without applying it", fresh},
      {"an update stopped before it wrote", [&] { test::WriteAll(journal, "ZQJ2"); }, "holds no change", true, 0,
       "had not changed", intact},
      {"a journal of an older format", [&] { test::WriteAll(journal, "ZQJ1"); }, "does not record which archive", true,
       1, "without applying it", intact},
  };
  for (const Case& c : cases) {
    test::WriteAll(package_, intact);
    c.make();
    const std::string before = test::ReadAll(package_);
    ZqRun check = Zq({"pak", "check", package_});
    EXPECT_EQ(check.code, 1) << c.what;
    EXPECT_NE(check.err.find(c.reported), std::string::npos) << c.what << ": " << check.err;
    EXPECT_NE(check.err.find("`zq pak recover " + package_ + "`"), std::string::npos) << c.what << ": " << check.err;
    EXPECT_EQ(check.err.find("corrupted header"), std::string::npos) << c.what << ": " << check.err;
    ZqRun list = Zq({"pak", "list", package_});
    EXPECT_EQ(list.code, 1) << c.what;
    EXPECT_EQ(!list.out.empty(), c.listed) << c.what << ": " << list.out;
    EXPECT_EQ(test::ReadAll(package_), before) << c.what << ": an inspector wrote";
    ASSERT_TRUE(platform::FileExists(journal)) << c.what;

    ZqRun recover = Zq({"pak", "recover", package_});
    EXPECT_EQ(recover.code, c.recover_code) << c.what << ": " << recover.err;
    EXPECT_NE((recover.out + recover.err).find(c.recovered), std::string::npos)
        << c.what << ": " << recover.out << recover.err;
    EXPECT_EQ(test::ReadAll(package_), c.after) << c.what;
    EXPECT_FALSE(platform::FileExists(journal)) << c.what;
    EXPECT_EQ(Zq({"pak", "check", package_}).code, 0) << c.what;
  }
  ZqRun nothing = Zq({"pak", "recover", package_});
  EXPECT_EQ(nothing.code, 0);
  EXPECT_NE(nothing.out.find("nothing to roll back"), std::string::npos) << nothing.out;
  EXPECT_EQ(Zq({"pak", "recover", dir_ / "missing.zqp"}).code, 1);
}

TEST_F(PakCommandTest, AReadOnlyPackageIsInspectedWithoutWriteAccess) {
  ASSERT_TRUE(platform::SetReadOnly(package_, true));
  ZqRun list = Zq({"pak", "list", package_});
  ZqRun check = Zq({"pak", "check", package_});
  ZqRun extract = Zq({"pak", "extract", package_, "-o", dir_ / "out"});
  ASSERT_TRUE(platform::SetReadOnly(package_, false));
  EXPECT_EQ(list.code, 0) << list.err;
  EXPECT_EQ(check.code, 0) << check.err;
  EXPECT_EQ(extract.code, 0) << extract.err;
}

TEST_F(PakCommandTest, CreateWritesAnEmptyPackageThatListsAndChecks) {
  const std::string plain = dir_ / "plain.zqp";
  ASSERT_EQ(Zq({"pak", "create", plain}).code, 0);
  ZqRun list = Zq({"pak", "list", plain, "--json"});
  ASSERT_EQ(list.code, 0) << list.err;
  EXPECT_EQ(list.out, "{\"password\": false, \"official\": false, \"trailer\": 3, \"members\": []}\n");
  EXPECT_EQ(Zq({"pak", "check", plain}).code, 0);

  const std::string locked = dir_ / "locked.zqp";
  ASSERT_EQ(Zq({"pak", "create", locked, "--password", std::string(41, 'p')}).code, 0);
  TPakSystem pak;
  ASSERT_EQ(pak.OpenArchive(locked), TPakSystem::OpenResult::Ok);
  EXPECT_EQ(pak.ExtraInfo.Password, std::string(41, 'p'));
  EXPECT_TRUE(pak.Records().empty());

  const std::string too_long = dir_ / "long.zqp";
  EXPECT_EQ(Zq({"pak", "create", too_long, "--password", std::string(42, 'p')}).code, 2);
  EXPECT_FALSE(platform::FileExists(too_long));
}

TEST_F(PakCommandTest, HelpAndUsageErrors) {
  ZqRun help = Zq({"pak", "--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("usage: zq pak", 0), 0u) << help.out;
  EXPECT_NE(help.out.find("check PACKAGE"), std::string::npos);
  EXPECT_NE(help.out.find("recover PACKAGE"), std::string::npos);
  EXPECT_EQ(Zq({"pak"}).code, 2);
  EXPECT_EQ(Zq({"pak", "list"}).code, 2);
  EXPECT_EQ(Zq({"pak", "list", package_, "extra"}).code, 2);
  EXPECT_EQ(Zq({"pak", "list", package_, "--bogus"}).code, 2);
  EXPECT_EQ(Zq({"pak", "extract", package_, "-o"}).code, 2);
  ZqRun verb = Zq({"pak", "unpack", package_});
  EXPECT_EQ(verb.code, 2);
  EXPECT_NE(verb.err.find("unknown pak command"), std::string::npos) << verb.err;
  EXPECT_EQ(Zq({"pak", "check", dir_ / "missing.zqp"}).code, 1);
}

}  // namespace
}  // namespace zq::tool
