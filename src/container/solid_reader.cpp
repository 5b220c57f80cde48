#include "container/solid_reader.h"

#include <algorithm>

#include "codec/lzma_decoder.h"
#include "container/pak.h"

namespace zq {

namespace {
// Fixed buffers: what the reader holds besides the decoder's window, whatever the block.
constexpr std::size_t kInputPiece = 256u << 10;
constexpr std::size_t kOutputPiece = 256u << 10;
}  // namespace

SolidReader::SolidReader(const TPak& pak, platform::File& handle) : pak_(pak), handle_(handle) {}

SolidReader::~SolidReader() = default;

bool SolidReader::Open(std::size_t block) {
  const SolidIndex& index = *pak_.Solid();
  if (block >= index.Blocks.size()) return false;
  const SolidBlock& b = index.Blocks[block];
  if (!decoder_) decoder_ = std::make_unique<LzmaDecoder>();
  decoder_->Reset(SolidWindow(index, b));
  in_.resize(kInputPiece);
  out_.resize(kOutputPiece);
  in_pos_ = in_len_ = out_pos_ = out_len_ = 0;
  frame_read_ = 0;
  frame_ended_ = false;
  slice_ = b.First;
  slice_left_ = pak_.Entries()[b.First].CompSize;
  slice_crc_ = 0;
  block_ = block;
  next_entry_ = b.First;
  broken_ = !handle_.Seek(b.Offset);
  return !broken_;
}

bool SolidReader::TakeSlices(const std::uint8_t* data, std::size_t size) {
  const auto& entries = pak_.Entries();
  const SolidBlock& b = pak_.Solid()->Blocks[*block_];
  while (size > 0) {
    if (slice_ >= b.First + b.Count) return false;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, slice_left_));
    slice_crc_ = Crc32(data, n, slice_crc_);
    data += n;
    size -= n;
    slice_left_ -= n;
    if (slice_left_ == 0) {
      if (slice_crc_ != entries[slice_].CRC) return false;
      ++slice_;
      slice_crc_ = 0;
      slice_left_ = slice_ < b.First + b.Count ? entries[slice_].CompSize : 0;
    }
  }
  return true;
}

bool SolidReader::ReadInput(std::size_t limit) {
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(limit, in_.size()));
  if (n == 0 || handle_.Read(in_.data(), n) != n || !TakeSlices(in_.data(), n)) return false;
  frame_read_ += n;
  in_pos_ = 0;
  in_len_ = n;
  return true;
}

bool SolidReader::Produce() {
  const SolidBlock& b = pak_.Solid()->Blocks[*block_];
  const std::uint64_t frame_size = b.CompSize - b.Padding;
  out_pos_ = out_len_ = 0;
  while (!frame_ended_) {
    if (in_pos_ == in_len_ && frame_read_ < frame_size && !ReadInput(frame_size - frame_read_)) return false;
    const LzmaDecoder::Status s = decoder_->Decode(in_.data(), in_len_, in_pos_, out_.data(), out_.size(), out_len_);
    if (s == LzmaDecoder::Status::Damaged) return false;
    if (s == LzmaDecoder::Status::End) frame_ended_ = true;
    if (out_len_ > 0) return true;
    // Nothing came out and nothing is left to go in: the frame is cut.
    if (!frame_ended_ && in_pos_ == in_len_ && frame_read_ == frame_size) return false;
  }
  return false;
}

bool SolidReader::FinishBlock() {
  const SolidBlock& b = pak_.Solid()->Blocks[*block_];
  const std::uint64_t frame_size = b.CompSize - b.Padding;
  // Any byte still coming out is more than the records hold.
  if (out_pos_ != out_len_ || Produce()) return false;
  if (!frame_ended_ || in_pos_ != in_len_ || frame_read_ != frame_size) return false;
  Bytes padding(b.Padding, 0);
  if (b.Padding > 0 && handle_.Read(padding.data(), padding.size()) != padding.size()) return false;
  if (std::any_of(padding.begin(), padding.end(), [](std::uint8_t c) { return c != 0; })) return false;
  return TakeSlices(padding.data(), padding.size()) && slice_ == b.First + b.Count;
}

SolidReader::Result SolidReader::Entry(std::size_t index, const Sink& sink) {
  const TPakEntry& e = pak_.Entries()[index];
  std::uint64_t left = e.OrigSize;
  std::uint32_t crc = 0;
  bool sink_failed = false;
  while (left > 0) {
    if (out_pos_ == out_len_ && !Produce()) return Result::Damaged;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, out_len_ - out_pos_));
    crc = Crc32(out_.data() + out_pos_, n, crc);
    if (!sink_failed && sink && !sink(out_.data() + out_pos_, n)) sink_failed = true;
    out_pos_ += n;
    left -= n;
    if (sink_failed) return Result::SinkFailed;
  }
  if (crc != pak_.Solid()->DataCRC[index]) return Result::Damaged;
  next_entry_ = index + 1;
  const SolidBlock& b = pak_.Solid()->Blocks[*block_];
  if (next_entry_ == b.First + b.Count && !FinishBlock()) return Result::Damaged;
  return Result::Ok;
}

SolidReader::Result SolidReader::Read(std::size_t index, const Sink& sink) {
  const SolidIndex* solid = pak_.Solid();
  if (solid == nullptr || index >= solid->BlockOf.size() || solid->BlockOf[index] < 0) return Result::Damaged;
  const std::size_t block = static_cast<std::size_t>(solid->BlockOf[index]);
  try {
    if (broken_ || block_ != block || index < next_entry_) {
      if (!Open(block)) return Result::Damaged;
    }
    while (next_entry_ < index) {
      const Result r = Entry(next_entry_, nullptr);
      if (r != Result::Ok) {
        broken_ = true;
        return r;
      }
    }
    const Result r = Entry(index, sink);
    if (r != Result::Ok) broken_ = true;
    return r;
  } catch (const CodecError&) {
    broken_ = true;
    throw;
  }
}

SolidReader::Result SolidReader::CheckBlock(std::size_t block) {
  const SolidIndex* solid = pak_.Solid();
  if (solid == nullptr || block >= solid->Blocks.size()) return Result::Damaged;
  const SolidBlock& b = solid->Blocks[block];
  return Read(b.First + b.Count - 1, nullptr);
}

}  // namespace zq
