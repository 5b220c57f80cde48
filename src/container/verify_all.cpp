#include "container/verify_all.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace zq {

namespace {

enum class Outcome : unsigned char { Pending, Passed, Failed, Skipped, Unchecked };

// Bytes an entry's check holds: a small compressed one whole, stored and inflated; any other
// a piece at a time.
std::uint64_t BytesHeld(const TPakEntry& e) { return BytesHeldReading(e); }

// The state the threads share; every field under `mutex`.
struct Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Outcome> outcomes;
  std::size_t done = 0;
  bool open_failed = false;
  std::exception_ptr error;  // the first exception of a thread
  bool stop = false;         // the caller leaves early
  std::uint64_t in_flight = 0;

  bool Stopped() const { return stop || error != nullptr; }
};

// The threads are joined however the caller leaves; leaving by an exception (a progress
// report that throws) stops them first.
class Pool {
 public:
  explicit Pool(Shared& shared) : shared_(shared), exceptions_(std::uncaught_exceptions()) {}
  ~Pool() {
    if (std::uncaught_exceptions() > exceptions_) {
      std::lock_guard<std::mutex> lock(shared_.mutex);
      shared_.stop = true;
      shared_.changed.notify_all();
    }
    for (auto& t : threads_) t.join();
  }
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;
  template <typename F>
  void Start(F&& f) {
    threads_.emplace_back(std::forward<F>(f));
  }

 private:
  Shared& shared_;
  int exceptions_;
  std::vector<std::thread> threads_;
};

}  // namespace

VerifyResult VerifyAllEntries(const TPak& pak, const std::function<void(std::size_t)>& progress,
                              const VerifyOptions& options) {
  const std::size_t count = pak.Entries().size();
  Shared shared;
  shared.outcomes.assign(count, Outcome::Pending);
  std::atomic<std::size_t> next{0};
  // Inflation is the cost, so every core takes entries; each thread reads through its own
  // handle. What they hold together is bounded, so more cores never mean more memory; besides
  // it, each thread keeps the two buffers of its last entry for the next (BufferPool).
  auto worker = [&] {
    BufferPool spare(2, kWholeEntryLimit);
    const auto check = [&](platform::File& handle, std::size_t i) {
      return options.check ? options.check(handle, i) : pak.VerifyEntryWith(handle, i, &spare);
    };
    try {
      platform::File handle;
      if (!handle.Open(pak.FilePath(), platform::OpenMode::ReadShared)) {
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.open_failed = true;
        shared.changed.notify_all();
        return;
      }
      for (std::size_t i = next++; i < count; i = next++) {
        const TPakEntry& e = pak.Entries()[i];
        const std::uint64_t held = BytesHeld(e);
        {
          std::unique_lock<std::mutex> lock(shared.mutex);
          // One entry at a time may exceed the bound; otherwise wait for room.
          shared.changed.wait(lock, [&] {
            return shared.Stopped() || shared.in_flight == 0 || shared.in_flight + held <= options.bytes_in_flight;
          });
          if (shared.Stopped()) return;
          shared.in_flight += held;
        }
        Outcome o = Outcome::Failed;
        try {
          o = e.OrigSize == 0          ? Outcome::Skipped
              : pak.PassesUnchecked(i) ? Outcome::Unchecked
              : check(handle, i)       ? Outcome::Passed
                                       : Outcome::Failed;
        } catch (...) {
          std::lock_guard<std::mutex> lock(shared.mutex);
          shared.in_flight -= held;
          throw;
        }
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.in_flight -= held;
        shared.outcomes[i] = o;
        ++shared.done;
        shared.changed.notify_all();
      }
    } catch (...) {
      // No memory in one thread: the others stop, and the caller gets the exception.
      std::lock_guard<std::mutex> lock(shared.mutex);
      if (!shared.error) shared.error = std::current_exception();
      shared.changed.notify_all();
    }
  };
  unsigned threads = options.threads != 0 ? options.threads : std::min(std::thread::hardware_concurrency(), 16u);
  threads = static_cast<unsigned>(std::min<std::size_t>(std::max(threads, 1u), std::max<std::size_t>(count, 1)));
  {
    Pool pool(shared);
    for (unsigned t = 0; t < threads; ++t) pool.Start(worker);
    std::unique_lock<std::mutex> lock(shared.mutex);
    std::size_t reported = 0;
    for (;;) {
      shared.changed.wait(
          lock, [&] { return shared.done != reported || shared.done == count || shared.open_failed || shared.error; });
      if (shared.error || shared.open_failed) break;
      // Taken up even without a progress report, or the wait above would return at once forever.
      if (shared.done != reported) {
        reported = shared.done;
        if (progress) {
          lock.unlock();
          progress(reported);
          lock.lock();
        }
      }
      if (shared.done == count) break;
    }
  }
  if (shared.error) std::rethrow_exception(shared.error);
  VerifyResult result;
  result.could_not_read = shared.open_failed && shared.done < count;
  for (std::size_t i = 0; i < count; ++i) {
    const Outcome o = shared.outcomes[i];
    if (o == Outcome::Failed && !result.first_failure) result.first_failure = i;
    result.skipped += o == Outcome::Skipped;
    result.unchecked += o == Outcome::Unchecked;
  }
  return result;
}

}  // namespace zq
