#include "engine/commands/entry_prefetch.h"

#include <optional>
#include <utility>

namespace zq {

EntryPrefetch::EntryPrefetch(TPak& pak, std::vector<std::size_t> order, std::size_t bound)
    : pak_(pak), order_(std::move(order)), bound_(bound) {
  // Opened here, not on the worker, so its failure cannot touch the file fault the writing
  // thread reads after its own calls.
  if (order_.empty() || !handle_.Open(pak_.FilePath(), platform::OpenMode::ReadShared)) return;
  // One entry small enough to take whole has nothing to overlap with.
  const std::size_t first = order_.front();
  if (order_.size() == 1 && first < pak_.Entries().size() && pak_.Entries()[first].OrigSize <= kWholeEntryLimit) {
    return;
  }
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

bool EntryPrefetch::Push(Piece piece) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto room = [&] {
      return stop_ || ready_.empty() || (held_ + piece.data.size() <= bound_ && ready_.size() < kPrefetchEntries);
    };
    if (!room()) {
      // Once full, it waits until half is taken: small files would otherwise hand the thread
      // back and forth for every entry (a system call each under Wine).
      worker_waits_ = true;
      changed_.wait(lock, [&] { return room() && (stop_ || ready_.empty() || HalfTaken()); });
      worker_waits_ = false;
    }
    if (stop_) return false;
    held_ += piece.data.size();
    ready_.push_back(std::move(piece));
  }
  changed_.notify_all();
  return true;
}

void EntryPrefetch::Work() {
  try {
    for (const std::size_t index : order_) {
      // The latest piece waits for the next one or the entry's end, so that a small entry
      // travels as one piece that says how it ended.
      std::optional<Piece> pending;
      bool stopped = false;
      std::uint64_t decomp_size = 0;
      const EntryRead r = pak_.StreamEntryWith(
          &handle_, index,
          [&](Bytes& data) {
            if (pending && !Push(std::move(*pending))) {
              stopped = true;
              return false;
            }
            pending = Piece{std::move(data)};
            return true;
          },
          decomp_size, &pool_);
      if (stopped) return;
      Piece end = pending ? std::move(*pending) : Piece{};
      end.last = true;
      end.end = r;
      end.decomp_size = decomp_size;
      if (!Push(std::move(end))) return;
    }
  } catch (...) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      failure_ = std::current_exception();
    }
    changed_.notify_all();
  }
}

EntryRead EntryPrefetch::Next(const PieceSink& sink, std::uint64_t& decomp_size) {
  decomp_size = 0;
  if (taken_ >= order_.size()) return EntryRead::Damaged;
  const std::size_t index = order_[taken_++];
  if (!worker_.joinable()) {
    return pak_.StreamEntryWith(handle_.IsOpen() ? &handle_ : nullptr, index, sink, decomp_size, &pool_);
  }
  bool sunk = true;
  for (;;) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty() || failure_; });
    if (ready_.empty()) std::rethrow_exception(failure_);
    Piece piece = std::move(ready_.front());
    ready_.pop_front();
    held_ -= piece.data.size();
    // Asked again after every piece taken from half on: a large piece may need more room.
    const bool wake = worker_waits_ && (ready_.empty() || HalfTaken());
    lock.unlock();
    if (wake) changed_.notify_all();
    // The rest of an entry the sink refused is still taken, so the next one starts in step.
    const bool usable = !piece.last || piece.end == EntryRead::Ok;
    if (sunk && usable && !piece.data.empty() && sink) sunk = sink(piece.data);
    pool_.Give(std::move(piece.data));  // unless the sink kept it
    if (piece.last) {
      decomp_size = piece.decomp_size;
      return !sunk ? EntryRead::SinkFailed : piece.end;
    }
  }
}

}  // namespace zq
