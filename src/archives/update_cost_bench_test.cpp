// What one archive update costs as the archive grows: a measurement, not run by default.
//   build/host-release/tests/archives_tests --gtest_also_run_disabled_tests --gtest_filter='*UpdateCost*'
// Archives are real files in the temporary folder; ZQ_BENCH_SIZES_MB overrides "10,100,400".
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "archives/journal.h"
#include "archives/pak_system.h"
#include "archives/vfs.h"
#include "base/byte_io.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

std::vector<std::uint32_t> SizesMb() {
  std::vector<std::uint32_t> sizes;
  const char* env = std::getenv("ZQ_BENCH_SIZES_MB");
  std::stringstream list(env != nullptr ? env : "10,100,400");
  for (std::string item; std::getline(list, item, ',');) sizes.push_back(static_cast<std::uint32_t>(std::stoul(item)));
  return sizes;
}

Bytes Noise(std::size_t n, std::uint32_t seed) {
  Bytes b(n);
  for (auto& c : b) c = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 24);
  return b;
}

template <typename F>
double MedianMs(int runs, F&& once) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    once(i);
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

void WriteFileOrFail(const std::string& path, const Bytes& bytes) {
  ASSERT_TRUE(WriteAll(SystemFileSystem(), path, bytes)) << path;
}

// A package of `mb` one-MiB members (their stored bytes are not inflated by an update).
void WritePackage(const std::string& path, std::uint32_t mb) {
  platform::File file;
  ASSERT_TRUE(file.Open(path, platform::OpenMode::Create));
  const Bytes filler = Noise(1 << 20, 7);
  std::vector<TPakDirEntry> records;
  for (std::uint32_t i = 0; i < mb; ++i) {
    ASSERT_EQ(file.Write(filler.data(), filler.size()), filler.size());
    TPakDirEntry r;
    r.StoredSize = r.UnpackedSize = static_cast<std::uint32_t>(filler.size());
    r.Offset = i << 20;
    r.Name = "data\\member" + std::to_string(i) + ".bin";
    records.push_back(r);
  }
  const Bytes tail = PakDirectoryBytes(records, {});
  ASSERT_EQ(file.Write(tail.data(), tail.size()), tail.size());
}

TEST(DISABLED_UpdateCost, OneMemberIntoAPackage) {
  test::TempDir dir;
  const Bytes member = Noise(256 << 10, 3);
  std::printf("package: one 256 KiB member added (open, journal, append, directory, flush, commit)\n");
  std::printf("%10s %8s %12s %14s\n", "size MiB", "members", "median ms", "journal bytes");
  for (std::uint32_t mb : SizesMb()) {
    const std::string path = dir / ("p" + std::to_string(mb) + ".zqp");
    WritePackage(path, mb);
    std::uint64_t journal_peak = 0;
    const double ms = MedianMs(5, [&](int run) {
      TPakSystem pak;
      ASSERT_EQ(pak.OpenArchive(path), TPakSystem::OpenResult::Ok);
      pak.BeginUpdate();
      ASSERT_TRUE(pak.AddMember("new\\added" + std::to_string(run) + ".bin", static_cast<std::uint32_t>(member.size()),
                                member));
      if (auto j = platform::FileSize(ArchiveJournal::PathFor(path)))
        journal_peak = std::max<std::uint64_t>(journal_peak, *j);
      pak.WritePackageDirectory();
    });
    ASSERT_FALSE(platform::FileExists(ArchiveJournal::PathFor(path)));
    std::printf("%10u %8u %12.1f %14llu\n", mb, mb, ms, static_cast<unsigned long long>(journal_peak));
    platform::DeleteFileAt(path);
  }
}

TEST(DISABLED_UpdateCost, OneFileIntoAVfsArchive) {
  test::TempDir dir;
  const Bytes text = [] {
    Bytes b(256 << 10);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>("level castle dragon\r\n"[i % 21]);
    return b;
  }();
  std::printf(
      "vfs: one 256 KiB file added to a 4 KiB-block archive holding 200 files (open, add, digest, .ht, commit)\n");
  std::printf("%10s %12s %12s %12s\n", "size MiB", "median ms", "of it MD5", "open ms");
  for (std::uint32_t mb : SizesMb()) {
    const std::string path = dir / ("v" + std::to_string(mb) + ".vfs");
    WriteFileOrFail(path, NewVfsArchive(4096, mb * 256, 64, "bench"));
    {
      TVFSFile vfs;
      vfs.Open(path, true);
      vfs.BeginUpdate();
      const Bytes small = Noise(3000, 5);
      for (int i = 0; i < 200; ++i)
        vfs.Tree->AddFile("d" + std::to_string(i % 10) + "\\f" + std::to_string(i) + ".bin", small.data(), 3000);
      vfs.SaveHeader(false);
      vfs.Close();
    }
    double digest_ms = 0, open_ms = 0;
    const double ms = MedianMs(5, [&](int run) {
      TVFSFile vfs;
      auto start = std::chrono::steady_clock::now();
      vfs.Open(path, true);
      open_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      vfs.BeginUpdate();
      vfs.Tree->AddFile("new\\added" + std::to_string(run) + ".txt", text.data(),
                        static_cast<std::uint32_t>(text.size()));
      vfs.SaveHeader(false);
      vfs.Close();
    });
    digest_ms = MedianMs(3, [&](int) {
      TVFSFile vfs;
      vfs.Open(path, false);
      ASSERT_TRUE(vfs.ComputeDigest().has_value());
    });
    ASSERT_FALSE(platform::FileExists(ArchiveJournal::PathFor(path)));
    std::printf("%10u %12.1f %12.1f %12.1f\n", mb, ms, digest_ms, open_ms);
    platform::DeleteFileAt(path);
  }
}

}  // namespace
}  // namespace zq
