#include "engine/commands/solid_prefetch.h"

#include <utility>

#include "container/pak.h"

namespace zq {

SolidPrefetch::SolidPrefetch(const TPak& pak, std::vector<std::size_t> order, std::size_t bound)
    : pak_(pak), order_(std::move(order)), bound_(bound) {
  if (order_.empty()) return;
  // Opened here, not on the worker, so its failure cannot touch the file fault the writing
  // thread reads after its own calls. A handle that did not open reads nothing: every entry
  // then comes out damaged, as the run must fail.
  handle_.Open(pak_.FilePath(), platform::OpenMode::ReadShared);
  worker_ = std::thread([this] { Work(); });
}

SolidPrefetch::~SolidPrefetch() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

bool SolidPrefetch::Push(Piece piece) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return stop_ || ready_.empty() || held_ + piece.data.size() <= bound_; });
  if (stop_) return false;
  held_ += piece.data.size();
  ready_.push_back(std::move(piece));
  lock.unlock();
  changed_.notify_all();
  return true;
}

void SolidPrefetch::Work() {
  try {
    SolidReader reader(pak_, handle_);
    for (const std::size_t index : order_) {
      const SolidReader::Result r = reader.Read(index, [this, index](const std::uint8_t* p, std::size_t n) {
        return Push(Piece{index, Bytes(p, p + n)});
      });
      if (!Push(Piece{index, {}, true, r})) break;  // stopped
    }
  } catch (...) {
    std::lock_guard<std::mutex> lock(mutex_);
    failure_ = std::current_exception();
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  changed_.notify_all();
}

SolidPrefetch::Piece SolidPrefetch::Pop() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return !ready_.empty() || done_; });
  if (ready_.empty()) {
    if (failure_) std::rethrow_exception(failure_);
    return Piece{0, {}, true, SolidReader::Result::Damaged};  // asked for more than the order holds
  }
  Piece piece = std::move(ready_.front());
  ready_.pop_front();
  held_ -= piece.data.size();
  lock.unlock();
  changed_.notify_all();
  return piece;
}

SolidReader::Result SolidPrefetch::Read(std::size_t index, const SolidReader::Sink& sink) {
  if (!worker_.joinable()) return SolidReader::Result::Damaged;
  bool sink_failed = false;
  for (;;) {
    Piece piece = Pop();
    if (piece.index < index) {
      // An entry the writer skipped; when it did not decode, neither can what follows it.
      if (piece.last && piece.result != SolidReader::Result::Ok) return SolidReader::Result::Damaged;
      continue;
    }
    if (piece.index > index) return SolidReader::Result::Damaged;  // asked out of order
    if (piece.last) return sink_failed ? SolidReader::Result::SinkFailed : piece.result;
    if (!sink_failed && sink && !sink(piece.data.data(), piece.data.size())) sink_failed = true;
  }
}

}  // namespace zq
