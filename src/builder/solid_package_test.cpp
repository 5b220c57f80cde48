// Packages with solid blocks: what goes in comes out, any changed byte is refused, and a reader
// that does not know solid blocks refuses the package on its marker.
#include <gtest/gtest.h>

#include "builder/package_writer.h"
#include "codec/lzma_decoder.h"
#include "codec/zlib_codec.h"
#include "container/pak.h"
#include "container/solid_reader.h"
#include "container/verify_all.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq::builder {
namespace {

using test::ReadAll;
using test::WriteAll;

struct Payload {
  std::string name;
  std::uint16_t group;
  std::string data;
  bool files = true;   // of a "file" group
  bool alone = false;  // does not compress: stored outside the blocks
};

class SolidPackageTest : public ::testing::Test {
 protected:
  // Builds a solid setup of `payload` behind a fake engine; blocks of `block_bytes` at most.
  std::string Build(const std::vector<Payload>& payload, std::uint64_t block_bytes) {
    std::vector<PlannedEntry> entries;
    entries.push_back({"SetupInfo", 0, {}, std::vector<std::uint8_t>(300, 'i')});
    for (const Payload& p : payload) {
      const std::string source = dir_ / ("src" + std::to_string(entries.size()));
      WriteAll(source, p.data);
      PlannedEntry e{p.name, p.group, source, {}};
      e.files = p.files;
      entries.push_back(std::move(e));
    }
    WriteAll(dir_ / "stub.exe", test::FakeProgram(200));
    WriteOptions options;
    options.threads = 2;
    options.solid = true;
    options.solid_block_bytes = block_bytes;
    const std::string out = dir_ / "solid.exe";
    EXPECT_EQ(WriteSetup(out, dir_ / "stub.exe", entries, options), "");
    return out;
  }
  test::TempDir dir_;
};

std::vector<Payload> MixedPayload() {
  std::vector<Payload> p;
  for (int i = 0; i < 40; ++i) {
    std::string data = i % 4 == 0 ? test::Incompressible(3000 + i * 101, i)
                                  : std::string(2000 + i * 37, char('a' + i % 26));
    p.push_back({"dir\\f" + std::to_string(i) + ".bin", static_cast<std::uint16_t>(1 + i / 20), data});
  }
  p.push_back({"empty.txt", 2, ""});
  p.push_back({"noise.bin", 2, test::Incompressible(300000, 7), true, true});
  p.push_back({"archived.dat", 3, std::string(5000, 'z'), false});
  return p;
}

TEST_F(SolidPackageTest, EveryEntryComesOutAsItWentIn) {
  struct Case {
    const char* what;
    std::vector<Payload> payload;
    std::uint64_t block_bytes;
    std::size_t min_blocks, max_blocks;
  };
  std::vector<Payload> tiny;  // a frame shorter than its records: padded to a byte each
  for (int i = 0; i < 60; ++i) tiny.push_back({"t" + std::to_string(i), 1, "x"});
  const std::vector<Case> cases = {
      {"mixed, several blocks per group", MixedPayload(), 20000, 3, 40},
      {"mixed, one block per group", MixedPayload(), 32u << 20, 2, 2},
      {"tiny identical files", tiny, 32u << 20, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TPak pak(Build(c.payload, c.block_bytes));
    ASSERT_TRUE(pak.HasValidHeader()) << pak.DirectoryProblem();
    EXPECT_EQ(pak.Header().Version, kPakVersionSolid);
    ASSERT_NE(pak.Solid(), nullptr);
    EXPECT_GE(pak.Solid()->Blocks.size(), c.min_blocks);
    EXPECT_LE(pak.Solid()->Blocks.size(), c.max_blocks);
    EXPECT_EQ(pak.Entries().front().Name, kSolidMarkerEntry);
    const VerifyResult verified = VerifyAllEntries(pak, {});
    EXPECT_FALSE(verified.first_failure.has_value());
    platform::File handle;
    ASSERT_TRUE(handle.Open(pak.FilePath(), platform::OpenMode::ReadShared));
    SolidReader reader(pak, handle);
    for (std::size_t b = 0; b < pak.Solid()->Blocks.size(); ++b) {
      EXPECT_EQ(reader.CheckBlock(b), SolidReader::Result::Ok) << b;
    }
    // In directory order through one reader, and each alone out of order.
    for (int pass = 0; pass < 2; ++pass) {
      for (std::size_t k = 0; k < c.payload.size(); ++k) {
        const std::size_t i = pass == 0 ? k + 2 : c.payload.size() + 1 - k;  // marker, SetupInfo first
        const Payload& p = c.payload[i - 2];
        ASSERT_EQ(pak.Entries()[i].Name, p.name);
        EXPECT_EQ(pak.IsSolid(i), p.files && !p.data.empty() && !p.alone) << p.name;
        if (p.data.empty()) continue;
        std::string out;
        if (pass == 0 && pak.IsSolid(i)) {
          EXPECT_EQ(reader.Read(i,
                                [&out](const std::uint8_t* d, std::size_t n) {
                                  out.append(reinterpret_cast<const char*>(d), n);
                                  return true;
                                }),
                    SolidReader::Result::Ok);
        } else {
          auto data = pak.Extract(i);
          ASSERT_TRUE(data) << p.name;
          out.assign(data->begin(), data->end());
        }
        EXPECT_TRUE(out == p.data) << p.name;
      }
    }
  }
}

// Blocks are cut near equal sizes, but between two files whose names share little: versions of
// one library side by side share most of their bytes.
TEST_F(SolidPackageTest, BlocksAreCutBetweenFamiliesOfFiles) {
  std::vector<Payload> payload;
  for (int i = 0; i < 24; ++i) {
    const std::string name = (i < 11 ? "alpha_" : "beta_") + std::to_string(i);
    payload.push_back({name, 1, std::string(50000, char('a' + i))});
  }
  // 1.2 MB in blocks of 700 KB at most: two, equal ones cut after the twelfth file.
  TPak pak(Build(payload, 700000));
  ASSERT_NE(pak.Solid(), nullptr);
  ASSERT_EQ(pak.Solid()->Blocks.size(), 2u);
  EXPECT_EQ(pak.Entries()[pak.Solid()->Blocks[1].First].Name, "beta_11");
}

// A block larger than its window (32 MiB): a file of 64 MiB, below the large-entry size, is
// packed in a block and comes out whole.
TEST_F(SolidPackageTest, ABlockLargerThanItsWindowComesOutWhole) {
  std::string big;
  big.reserve((64u << 20) + 4096);
  for (int i = 0; big.size() <= (64u << 20); ++i) big += "line " + std::to_string(i % 5000) + "\n";
  TPak pak(Build({{"small.txt", 1, std::string(3000, 's')}, {"big.txt", 1, big}}, 128u << 20));
  ASSERT_TRUE(pak.HasValidHeader()) << pak.DirectoryProblem();
  ASSERT_EQ(pak.Entries()[3].Name, "big.txt");
  ASSERT_TRUE(pak.IsSolid(3));
  const SolidBlock& block = pak.Solid()->Blocks.at(pak.Solid()->BlockOf[3]);
  EXPECT_GT(block.OrigSize, kLzmaLaneWindow);
  EXPECT_EQ(SolidWindow(*pak.Solid(), block), kLzmaLaneWindow);
  EXPECT_FALSE(VerifyAllEntries(pak, {}).first_failure.has_value());
  const auto data = pak.Extract(3);
  EXPECT_TRUE(data && data->size() == big.size() && std::equal(big.begin(), big.end(), data->begin()));
}

// Every byte of a block, changed, is refused before any data is used: by the CRC of the slice
// it falls in (the directory, header and digest are the container's own tests).
TEST_F(SolidPackageTest, AnyChangedByteOfABlockIsRefusedAtTheStart) {
  std::vector<Payload> payload;
  for (int i = 0; i < 6; ++i) payload.push_back({"f" + std::to_string(i), 1, test::Incompressible(24 + i, i)});
  const std::string path = Build(payload, 32u << 20);
  const std::string good = ReadAll(path);
  const SolidBlock block = TPak(path).Solid()->Blocks.at(0);
  VerifyOptions one_thread;
  one_thread.threads = 1;
  for (std::uint64_t at = block.Offset; at < block.Offset + block.CompSize; ++at) {
    std::string bad = good;
    bad[at] ^= 0x20;
    WriteAll(path, bad);
    TPak pak(path);
    ASSERT_TRUE(pak.HasValidHeader());
    ASSERT_TRUE(VerifyAllEntries(pak, {}, one_thread).first_failure.has_value()) << "byte " << at;
  }
}

// A block whose frame was changed and its CRCs made to match (and the digest too) passes the
// start, but never gives other data: the decoding fails (each entry's data has its own CRC,
// the frame must end where it should), or the change fell on a bit the decoder does not use.
TEST_F(SolidPackageTest, AForgedBlockNeverGivesOtherData) {
  std::vector<Payload> payload;
  for (int i = 0; i < 8; ++i) payload.push_back({"f" + std::to_string(i), 1, std::string(5000, char('a' + i))});
  const std::string path = Build(payload, 32u << 20);
  const std::string good = ReadAll(path);
  TPak original(path);
  const SolidBlock block = original.Solid()->Blocks.at(0);
  std::size_t failed = 0, frame = block.CompSize - block.Padding;
  for (std::uint64_t at = block.Offset; at < block.Offset + frame; ++at) {
    std::string bad = good;
    bad[at] ^= 0x01;
    WriteAll(path, bad);
    ASSERT_TRUE(test::ResealPackage(path)) << at;
    TPak pak(path);
    ASSERT_TRUE(pak.HasValidHeader()) << pak.DirectoryProblem();
    platform::File handle;
    ASSERT_TRUE(handle.Open(path, platform::OpenMode::ReadShared));
    SolidReader reader(pak, handle);
    for (std::size_t i = block.First; i < block.First + block.Count; ++i) {
      std::string out;
      const auto r = reader.Read(i, [&out](const std::uint8_t* d, std::size_t n) {
        out.append(reinterpret_cast<const char*>(d), n);
        return true;
      });
      if (r != SolidReader::Result::Ok) {
        ++failed;
        break;
      }
      ASSERT_TRUE(out == payload[i - block.First].data) << "byte " << at;
    }
  }
  EXPECT_GT(failed, frame * 9 / 10);  // nearly every bit of a frame matters
}

// A reader from before solid blocks reads the header's version as 1; with the version made 1
// (and the digest resealed) this reader is that reader: it fails the marker first and takes no
// slice for data.
TEST_F(SolidPackageTest, AReaderWithoutSolidBlocksRefusesOnTheMarker) {
  const std::string path = Build(MixedPayload(), 32u << 20);
  std::string bytes = ReadAll(path);
  bytes[bytes.size() - 12] = static_cast<char>(kPakVersionPlain);
  WriteAll(path, bytes);
  ASSERT_TRUE(test::ResealPackage(path));
  TPak old(path);
  ASSERT_TRUE(old.HasValidHeader()) << old.DirectoryProblem();
  EXPECT_EQ(old.Solid(), nullptr);
  EXPECT_EQ(VerifyAllEntries(old, {}).first_failure, std::optional<std::size_t>(0));
  EXPECT_EQ(old.Entries()[0].Name, kSolidMarkerEntry);
  for (std::size_t i = 0; i < old.Entries().size(); ++i) {
    const TPakEntry& e = old.Entries()[i];
    // Entries outside the blocks (archive groups, files that do not compress) are ordinary ones.
    if (e.Group != 0 && e.Name != "archived.dat" && e.Name != "noise.bin" && e.OrigSize > 0) {
      EXPECT_FALSE(old.Extract(i)) << e.Name;
    }
  }
}

}  // namespace
}  // namespace zq::builder
