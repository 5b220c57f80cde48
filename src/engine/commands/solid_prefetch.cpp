#include "engine/commands/solid_prefetch.h"

#include <utility>

#include "codec/lzma_decoder.h"
#include "container/pak.h"

namespace zq {

SolidPrefetch::SolidPrefetch(const TPak& pak, std::vector<std::size_t> order, bool lanes, std::size_t bound)
    : pak_(pak), bound_(bound), lane_of_(pak.Entries().size(), 0) {
  if (order.empty() || pak.Solid() == nullptr) return;
  const SolidIndex& index = *pak.Solid();
  // Two lanes when the group has two blocks or more and any two windows fit the memory of one
  // of the largest: each block goes to the lane with less data so far.
  std::vector<std::int32_t> blocks;
  bool fit = lanes;
  for (const std::size_t i : order) {
    const std::int32_t b = index.BlockOf[i];
    if (blocks.empty() || blocks.back() != b) blocks.push_back(b);
    if (SolidWindow(index, index.Blocks[b]) > kLzmaLaneWindow) fit = false;
  }
  const std::size_t count = fit && blocks.size() >= 2 ? 2 : 1;
  std::vector<std::uint64_t> bytes(count, 0);
  std::vector<std::size_t> lane_of_block(index.Blocks.size(), 0);
  for (const std::int32_t b : blocks) {
    const std::size_t lane = count == 2 && bytes[1] < bytes[0] ? 1 : 0;
    lane_of_block[b] = lane;
    bytes[lane] += index.Blocks[b].OrigSize;
  }
  for (std::size_t l = 0; l < count; ++l) lanes_.push_back(std::make_unique<Lane>());
  for (const std::size_t i : order) {
    lane_of_[i] = static_cast<std::uint8_t>(lane_of_block[index.BlockOf[i]]);
    lanes_[lane_of_[i]]->order.push_back(i);
  }
  // Each lane's next entry is taken when its share done is the smaller: the decoders then run
  // at the same pace, each at most its bound ahead.
  std::vector<std::size_t> at(count, 0);
  std::vector<std::uint64_t> done(count, 0);
  while (order_.size() < order.size()) {
    std::size_t lane = 0;
    if (count == 2 && (at[0] == lanes_[0]->order.size() ||
                       (at[1] < lanes_[1]->order.size() &&
                        static_cast<double>(done[1]) * bytes[0] < static_cast<double>(done[0]) * bytes[1]))) {
      lane = 1;
    }
    const std::size_t i = lanes_[lane]->order[at[lane]++];
    done[lane] += pak.Entries()[i].OrigSize;
    order_.push_back(i);
  }
  bound_ = bound / count;
  for (auto& lane : lanes_) {
    // Opened here, not on the worker, so its failure cannot touch the file fault the writing
    // thread reads after its own calls. A handle that did not open reads nothing: every entry
    // then comes out damaged, as the run must fail.
    lane->handle.Open(pak_.FilePath(), platform::OpenMode::ReadShared);
    Lane* l = lane.get();
    lane->worker = std::thread([this, l] { Work(*l); });
  }
}

SolidPrefetch::~SolidPrefetch() {
  for (auto& lane : lanes_) {
    {
      std::lock_guard<std::mutex> lock(lane->mutex);
      lane->stop = true;
    }
    lane->changed.notify_all();
  }
  for (auto& lane : lanes_) lane->worker.join();
}

bool SolidPrefetch::Push(Lane& lane, Piece piece) {
  std::unique_lock<std::mutex> lock(lane.mutex);
  lane.changed.wait(lock, [&] { return lane.stop || lane.ready.empty() || lane.held + piece.data.size() <= bound_; });
  if (lane.stop) return false;
  lane.held += piece.data.size();
  lane.ready.push_back(std::move(piece));
  lock.unlock();
  lane.changed.notify_all();
  return true;
}

void SolidPrefetch::Work(Lane& lane) {
  try {
    SolidReader reader(pak_, lane.handle);
    for (const std::size_t index : lane.order) {
      const SolidReader::Result r = reader.Read(index, [this, &lane, index](const std::uint8_t* p, std::size_t n) {
        return Push(lane, Piece{index, Bytes(p, p + n)});
      });
      if (!Push(lane, Piece{index, {}, true, r})) break;  // stopped
    }
  } catch (...) {
    std::lock_guard<std::mutex> lock(lane.mutex);
    lane.failure = std::current_exception();
  }
  {
    std::lock_guard<std::mutex> lock(lane.mutex);
    lane.done = true;
  }
  lane.changed.notify_all();
}

SolidPrefetch::Piece SolidPrefetch::Pop(Lane& lane) {
  std::unique_lock<std::mutex> lock(lane.mutex);
  lane.changed.wait(lock, [&] { return !lane.ready.empty() || lane.done; });
  if (lane.ready.empty()) {
    if (lane.failure) std::rethrow_exception(lane.failure);
    return Piece{0, {}, true, SolidReader::Result::Damaged};  // asked for more than the order holds
  }
  Piece piece = std::move(lane.ready.front());
  lane.ready.pop_front();
  lane.held -= piece.data.size();
  lock.unlock();
  lane.changed.notify_all();
  return piece;
}

SolidReader::Result SolidPrefetch::Read(std::size_t index, const SolidReader::Sink& sink) {
  if (lanes_.empty() || index >= lane_of_.size()) return SolidReader::Result::Damaged;
  Lane& lane = *lanes_[lane_of_[index]];
  bool sink_failed = false;
  for (;;) {
    Piece piece = Pop(lane);
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
