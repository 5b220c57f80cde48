// Reads the entries of solid blocks in fixed buffers: the compressed bytes a piece at a time,
// each record's slice checked against its CRC as it passes, each entry's data against the CRC
// the index holds, and a block's end against its frame's end. Entries of one block asked for in
// directory order continue one decoding; any other order starts the block again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "codec/zlib_codec.h"
#include "platform/files.h"

namespace zq {

class TPak;
class LzmaDecoder;

class SolidReader {
 public:
  enum class Result { Ok, Damaged, SinkFailed };
  // Takes the entry's data a piece at a time, in order; false stops the read (SinkFailed).
  using Sink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

  // Reads through `handle`, another handle of the pak's file or the pak's own; both must stay
  // as they are while this object lives.
  SolidReader(const TPak& pak, platform::File& handle);
  ~SolidReader();
  SolidReader(const SolidReader&) = delete;
  SolidReader& operator=(const SolidReader&) = delete;

  // `index` must be an entry of a block (TPak::IsSolid). An empty sink checks without keeping.
  Result Read(std::size_t index, const Sink& sink);
  // Decodes a whole block and its end, checking every byte: what zq verify does for each block.
  Result CheckBlock(std::size_t block);

 private:
  bool Open(std::size_t block);
  Result Entry(std::size_t index, const Sink& sink);
  // More decoded bytes in out_; false when the frame cannot give them (damaged or cut).
  bool Produce();
  // Reads the next piece of the frame, passing it through the slice CRCs.
  bool ReadInput(std::size_t limit);
  bool TakeSlices(const std::uint8_t* data, std::size_t size);
  // After the block's last entry: the frame must end there, exactly where its padding begins.
  bool FinishBlock();

  const TPak& pak_;
  platform::File& handle_;
  std::unique_ptr<LzmaDecoder> decoder_;
  std::optional<std::size_t> block_;
  std::size_t next_entry_ = 0;
  bool broken_ = false;  // the open block failed a check; it must be opened again
  Bytes in_, out_;
  std::size_t in_pos_ = 0, in_len_ = 0, out_pos_ = 0, out_len_ = 0;
  std::uint64_t frame_read_ = 0;  // bytes of the block read so far
  bool frame_ended_ = false;
  std::size_t slice_ = 0;  // record whose slice is being read
  std::uint64_t slice_left_ = 0;
  std::uint32_t slice_crc_ = 0;
};

}  // namespace zq
