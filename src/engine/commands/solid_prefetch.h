// Decodes a group's solid entries on other threads, ahead of the one that writes them, so that
// decoding (LZMA2 is the slow half of a solid install's CPU) and writing overlap. Blocks whose
// windows allow it are decoded two at once, one lane each; the pieces held ahead stay under a
// bound, whatever the files' sizes.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "codec/zlib_codec.h"
#include "container/solid_reader.h"
#include "engine/commands/entry_prefetch.h"
#include "platform/files.h"

namespace zq {

class TPak;

class SolidPrefetch {
 public:
  // `order`: the group's solid entries in directory order; the pak must stay as it is until
  // this object is gone. With `lanes` false (a group that names one file twice, where the last
  // written must stay the last) every block is decoded in turn.
  SolidPrefetch(const TPak& pak, std::vector<std::size_t> order, bool lanes = true, std::size_t bound = kPrefetchBytes);
  ~SolidPrefetch();
  SolidPrefetch(const SolidPrefetch&) = delete;
  SolidPrefetch& operator=(const SolidPrefetch&) = delete;

  // The order the entries must be asked for in: directory order within each lane, the lanes
  // taken in proportion to their data so that both stay busy.
  const std::vector<std::size_t>& Order() const { return order_; }

  // Hands entry `index`'s data to `sink` as SolidReader::Read does. Entries must be asked for in
  // Order(); those skipped are decoded and dropped. Rethrows what a decoding thread threw (an
  // allocation failure).
  SolidReader::Result Read(std::size_t index, const SolidReader::Sink& sink);

 private:
  struct Piece {
    std::size_t index = 0;
    Bytes data;         // empty on the entry's last piece
    bool last = false;  // the entry's end, with its result
    SolidReader::Result result = SolidReader::Result::Ok;
  };
  struct Lane {
    std::vector<std::size_t> order;
    platform::File handle;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Piece> ready;
    std::size_t held = 0;  // data bytes in ready
    bool stop = false;
    bool done = false;  // the worker has pushed its last piece or failed
    std::exception_ptr failure;
    std::thread worker;
  };
  void Work(Lane& lane);
  bool Push(Lane& lane, Piece piece);  // false: stopped
  Piece Pop(Lane& lane);

  const TPak& pak_;
  std::size_t bound_;  // per lane
  std::vector<std::unique_ptr<Lane>> lanes_;
  std::vector<std::size_t> order_;
  std::vector<std::uint8_t> lane_of_;  // per directory record
};

}  // namespace zq
