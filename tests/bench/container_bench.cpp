// Kernels of start-up verification and extraction: CRC-32, level-9 compression, inflation,
// and verifying a whole package on one thread and on all cores (as zq verify does).
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "codec/zlib_codec.h"
#include "container/pak.h"
#include "platform/host_prefix.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace {

// Text-like data that deflates about 4:1, like documents and scripts in a payload.
zq::Bytes Payload(std::size_t size) {
  zq::Bytes out(size);
  std::string noise = zq::test::Incompressible(size / 4 + 1, 3);
  for (std::size_t i = 0; i < size; ++i) out[i] = (i % 4 == 0) ? noise[i / 4] : static_cast<std::uint8_t>('a' + i % 7);
  return out;
}

void BM_Crc32(benchmark::State& state) {
  zq::Bytes data = Payload(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(zq::Crc32(data.data(), data.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Crc32)->Arg(1 << 20)->Arg(16 << 20);

void BM_CompressLevel9(benchmark::State& state) {
  zq::Bytes data = Payload(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(zq::Compress(data.data(), data.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_CompressLevel9)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void BM_Inflate(benchmark::State& state) {
  zq::Bytes data = Payload(static_cast<std::size_t>(state.range(0)));
  zq::Bytes packed = zq::Compress(data.data(), data.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(zq::Inflate(packed.data(), packed.size(), data.size(), data.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Inflate)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

// A package of 64 entries of 4 MiB (256 MiB of data), written once.
const std::string& BenchPackage() {
  static zq::test::TempDir dir;
  static const std::string path = [] {
    std::string p = dir / "bench.exe";
    std::vector<zq::test::SampleEntry> entries;
    zq::Bytes data = Payload(4 << 20);
    for (int i = 0; i < 64; ++i) {
      data[0] = static_cast<std::uint8_t>(i);
      entries.push_back({"data\\file" + std::to_string(i), 1, std::string(data.begin(), data.end())});
    }
    zq::test::WritePackage(p, zq::test::FakeProgram(4096), entries);
    return p;
  }();
  return path;
}

void BM_VerifyPackage(benchmark::State& state) {
  const unsigned threads = static_cast<unsigned>(state.range(0));
  zq::TPak pak(BenchPackage());
  for (auto _ : state) {
    std::atomic<std::size_t> next{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t) {
      pool.emplace_back([&] {
        zq::platform::File handle;
        handle.Open(pak.FilePath(), zq::platform::OpenMode::ReadShared);
        for (std::size_t i = next++; i < pak.Entries().size(); i = next++) failures += !pak.VerifyEntryWith(handle, i);
      });
    }
    for (auto& t : pool) t.join();
    if (failures != 0) state.SkipWithError("verification failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 64 * (4 << 20));
}
BENCHMARK(BM_VerifyPackage)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/zq-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 2;
  zq::platform::SetPrefix(pattern);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);  // never follows the prefix's drive links
  return 0;
}
