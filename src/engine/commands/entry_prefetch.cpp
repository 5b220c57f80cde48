#include "engine/commands/entry_prefetch.h"

#include <utility>

namespace zq {

EntryPrefetch::EntryPrefetch(TPak& pak, std::vector<std::size_t> order, std::size_t bound)
    : pak_(pak), order_(std::move(order)), bound_(bound) {
  // Opened here, not on the worker, so its failure cannot touch the file fault the writing
  // thread reads after its own calls.
  if (order_.size() < 2 || !handle_.Open(pak_.FilePath(), platform::OpenMode::ReadShared)) return;
  worker_ = std::thread([this] { Work(); });
}

EntryPrefetch::~EntryPrefetch() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

bool EntryPrefetch::HalfTaken() const { return ready_.size() <= kPrefetchEntries / 2 && held_ <= bound_ / 2; }

void EntryPrefetch::Work() {
  try {
    for (std::size_t i = 0; i < order_.size(); ++i) {
      const std::size_t index = order_[i];
      const std::size_t size = index < pak_.Entries().size() ? pak_.Entries()[index].OrigSize : 0;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto room = [&] {
          return stop_ || ready_.empty() || (held_ + size <= bound_ && ready_.size() < kPrefetchEntries);
        };
        if (!room()) {
          // Once full, it waits until half is taken: small files would otherwise hand the
          // thread back and forth for every entry (a system call each under Wine).
          worker_waits_ = true;
          changed_.wait(lock, [&] { return room() && (stop_ || ready_.empty() || HalfTaken()); });
          worker_waits_ = false;
        }
        if (stop_) return;
      }
      Result r;
      r.data = pak_.ExtractWith(handle_, index, r.decomp_size);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ += r.data ? r.data->size() : 0;
        ready_.push_back(std::move(r));
      }
      changed_.notify_all();
    }
  } catch (...) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      failure_ = std::current_exception();
    }
    changed_.notify_all();
  }
}

EntryPrefetch::Result EntryPrefetch::Next() {
  if (taken_ >= order_.size()) return {};
  const std::size_t index = order_[taken_++];
  if (!worker_.joinable()) {
    Result r;
    r.data = pak_.ExtractQuietly(index, r.decomp_size);
    return r;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return !ready_.empty() || failure_; });
  if (ready_.empty()) std::rethrow_exception(failure_);
  Result r = std::move(ready_.front());
  ready_.pop_front();
  held_ -= r.data ? r.data->size() : 0;
  // Asked again after every entry taken from half on: a large entry may need more room.
  const bool wake = worker_waits_ && (ready_.empty() || HalfTaken());
  lock.unlock();
  if (wake) changed_.notify_all();
  return r;
}

}  // namespace zq
