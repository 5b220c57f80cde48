#include "container/verify_all.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "container/pak.h"

namespace zq {

VerifyResult VerifyAllEntries(const TPak& pak, const std::function<void(std::size_t)>& progress) {
  enum class Outcome : unsigned char { Pending, Passed, Failed, Skipped, Unchecked };
  const std::size_t count = pak.Entries.size();
  std::vector<Outcome> outcomes(count, Outcome::Pending);
  std::atomic<std::size_t> next{0};
  std::size_t done = 0;
  bool open_failed = false;
  std::mutex mutex;
  std::condition_variable changed;
  // Inflation is the cost, so every core takes entries; each thread reads through its own handle.
  auto worker = [&] {
    platform::File handle;
    if (!handle.Open(pak.FilePath(), platform::OpenMode::ReadShared)) {
      std::lock_guard<std::mutex> lock(mutex);
      open_failed = true;
      changed.notify_all();
      return;
    }
    for (std::size_t i = next++; i < count; i = next++) {
      const TPakEntry& e = pak.Entries[i];
      Outcome o = e.OrigSize == 0                   ? Outcome::Skipped
                  : e.OrigSize >= LargeEntryLimit   ? Outcome::Unchecked
                  : pak.VerifyEntryWith(handle, i) ? Outcome::Passed
                                                    : Outcome::Failed;
      std::lock_guard<std::mutex> lock(mutex);
      outcomes[i] = o;
      ++done;
      changed.notify_all();
    }
  };
  unsigned threads = std::max(1u, std::min(std::thread::hardware_concurrency(), 16u));
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(count, 1)));
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) pool.emplace_back(worker);
  {
    std::unique_lock<std::mutex> lock(mutex);
    std::size_t reported = 0;
    for (;;) {
      changed.wait(lock, [&] { return done != reported || done == count || open_failed; });
      if (progress && done != reported) {
        reported = done;
        lock.unlock();
        progress(reported);
        lock.lock();
      }
      if (done == count || open_failed) break;
    }
  }
  for (auto& t : pool) t.join();
  VerifyResult result;
  result.could_not_read = open_failed && done < count;
  for (std::size_t i = 0; i < count; ++i) {
    if (outcomes[i] == Outcome::Failed && !result.first_failure) result.first_failure = i;
    result.skipped += outcomes[i] == Outcome::Skipped;
    result.unchecked += outcomes[i] == Outcome::Unchecked;
  }
  return result;
}

}  // namespace zq
