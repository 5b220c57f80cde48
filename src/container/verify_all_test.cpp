// Verifying a package on many threads: what they hold together stays bounded, and a thread
// that runs out of memory ends the check with the exception instead of the process.
#include "container/verify_all.h"

#include <gtest/gtest.h>

#include <mutex>
#include <new>
#include <thread>

#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

class VerifyAllTest : public ::testing::Test {
 protected:
  // Entries of 1 to 3 MiB, compressible and not, one whose check holds more than the bound (a
  // compressed block and its data, taken whole), and one larger still that passes in pieces.
  void SetUp() override {
    std::vector<test::SampleEntry> entries;
    for (unsigned i = 0; i < 24; ++i) {
      const std::size_t size = (1 + i % 3) << 20;
      entries.push_back({"e" + std::to_string(i), 1,
                         i % 2 ? test::Incompressible(size, i) : std::string(size, static_cast<char>('a' + i))});
    }
    entries.push_back({"big", 1, std::string(kWholeEntryLimit, 'z')});
    entries.push_back({"huge", 1, test::Incompressible(9 << 20, 99)});
    entries.push_back({"empty", 1, ""});
    ASSERT_TRUE(test::WritePackage(path_, test::FakeProgram(64), entries));
  }
  test::TempDir dir_;
  std::string path_ = dir_ / "setup.exe";
};

TEST_F(VerifyAllTest, SixteenThreadsHoldNoMoreThanTheBound) {
  TPak pak(path_);
  std::mutex mutex;
  std::uint64_t held = 0, peak = 0;
  unsigned running = 0, most_running = 0;
  VerifyOptions options;
  options.threads = 16;
  options.bytes_in_flight = 4 << 20;
  options.check = [&](platform::File& handle, std::size_t i) {
    const TPakEntry& e = pak.Entries()[i];
    const std::uint64_t bytes = BytesHeldReading(e);
    {
      std::lock_guard<std::mutex> lock(mutex);
      held += bytes;
      peak = std::max(peak, held);
      most_running = std::max(most_running, ++running);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const bool ok = pak.VerifyEntryWith(handle, i);
    std::lock_guard<std::mutex> lock(mutex);
    held -= bytes;
    --running;
    return ok;
  };
  std::vector<std::size_t> reported;
  const VerifyResult result = VerifyAllEntries(
      pak, [&](std::size_t done) { reported.push_back(done); }, options);
  EXPECT_FALSE(result.first_failure);
  EXPECT_FALSE(result.could_not_read);
  EXPECT_EQ(result.skipped, 1u);
  EXPECT_EQ(reported.back(), pak.Entries().size());
  // The entry above the bound was checked, alone; all others within it, several at once, the
  // largest a piece at a time.
  const TPakEntry& big = pak.Entries()[24];
  EXPECT_GT(BytesHeldReading(big), options.bytes_in_flight);
  EXPECT_EQ(peak, BytesHeldReading(big));
  EXPECT_LE(BytesHeldReading(pak.Entries()[25]), kStreamPiece);
  EXPECT_GT(most_running, 1u);
}

TEST_F(VerifyAllTest, NoMemoryInOneThreadStopsTheOthersAndReachesTheCaller) {
  TPak pak(path_);
  std::atomic<unsigned> checked{0};
  VerifyOptions options;
  options.threads = 16;
  options.check = [&](platform::File&, std::size_t i) -> bool {
    ++checked;
    if (i == 3) throw std::bad_alloc();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return true;
  };
  EXPECT_THROW(VerifyAllEntries(pak, nullptr, options), std::bad_alloc);
  EXPECT_LT(checked.load(), 25u);
  // A report that throws on the calling thread leaves no thread behind either.
  options.check = nullptr;
  EXPECT_THROW(VerifyAllEntries(
                   pak, [](std::size_t) { throw std::bad_alloc(); }, options),
               std::bad_alloc);
}

}  // namespace
}  // namespace zq
