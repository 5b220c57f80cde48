// Decodes a group's solid entries on a second thread, ahead of the one that writes them, so that
// decoding (LZMA2 is the slow half of a solid install's CPU) and writing overlap. The pieces held
// ahead stay under a bound, whatever the files' sizes.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
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
  // this object is gone.
  SolidPrefetch(const TPak& pak, std::vector<std::size_t> order, std::size_t bound = kPrefetchBytes);
  ~SolidPrefetch();
  SolidPrefetch(const SolidPrefetch&) = delete;
  SolidPrefetch& operator=(const SolidPrefetch&) = delete;

  // Hands entry `index`'s data to `sink` as SolidReader::Read does. Entries must be asked for in
  // the order given; those skipped are decoded and dropped. Rethrows what the decoding thread
  // threw (an allocation failure).
  SolidReader::Result Read(std::size_t index, const SolidReader::Sink& sink);

 private:
  struct Piece {
    std::size_t index = 0;
    Bytes data;         // empty on the entry's last piece
    bool last = false;  // the entry's end, with its result
    SolidReader::Result result = SolidReader::Result::Ok;
  };
  void Work();
  bool Push(Piece piece);  // false: stopped
  Piece Pop();

  const TPak& pak_;
  std::vector<std::size_t> order_;
  std::size_t bound_;
  platform::File handle_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Piece> ready_;
  std::size_t held_ = 0;  // data bytes in ready_
  bool stop_ = false;
  bool done_ = false;  // the worker has pushed its last piece or failed
  std::exception_ptr failure_;
  std::thread worker_;
};

}  // namespace zq
