// Reading an entry a piece at a time, so that no entry is held whole whatever its size.
#include <algorithm>

#include "container/pak.h"
#include "container/solid_reader.h"

namespace zq {

namespace {

bool TakenWhole(const TPakEntry& e) {
  return e.CompSize != 0 && e.OrigSize <= kWholeEntryLimit && e.CompSize <= kWholeEntryLimit;
}

}  // namespace

std::uint64_t BytesHeldReading(const TPakEntry& e) {
  if (e.OrigSize == 0) return 0;
  if (TakenWhole(e)) return std::uint64_t{e.CompSize} + e.OrigSize;
  if (e.CompSize == 0) return std::min<std::uint64_t>(e.OrigSize, kStreamPiece);
  return kStreamReadPiece + kStreamPiece;
}

EntryRead TPak::StreamEntryWith(platform::File* handle, std::size_t index, const PieceSink& sink,
                                std::uint64_t& decomp_size, BufferPool* pool) const {
  decomp_size = 0;
  if (index >= Entries_.size()) return EntryRead::Damaged;
  platform::File& file = handle != nullptr ? *handle : Handle_;
  const TPakEntry& e = Entries_[index];
  if (IsSolid(index)) {
    Bytes piece;
    SolidReader reader(*this, file);
    const auto r = reader.Read(index, [&](const std::uint8_t* p, std::size_t n) {
      decomp_size += n;
      if (!sink) return true;
      if (pool && piece.capacity() == 0) piece = pool->Take();
      piece.assign(p, p + n);
      return sink(piece);
    });
    return r == SolidReader::Result::Ok        ? EntryRead::Ok
           : r == SolidReader::Result::Damaged ? EntryRead::Damaged
                                               : EntryRead::SinkFailed;
  }
  if (e.OrigSize == 0) return EntryRead::Ok;
  if (TakenWhole(e)) {
    auto block = ReadStoredFrom(file, index, pool ? pool->Take() : Bytes{});
    if (!block) return EntryRead::Damaged;
    auto data = Unpack(index, std::move(*block), decomp_size, pool);
    if (!data) return EntryRead::Damaged;
    const bool sunk = !sink || sink(*data);
    if (pool) pool->Give(std::move(*data));  // unless the sink kept it
    return sunk ? EntryRead::Ok : EntryRead::SinkFailed;
  }
  return StreamPieces(file, index, sink, decomp_size, pool);
}

bool TPak::StoredCrcMatches(platform::File& handle, std::size_t index) const {
  const TPakEntry& e = Entries_[index];
  const std::uint32_t len = e.StoredSize();
  if (len == 0 || std::uint64_t{e.Offset} + len > PackageEnd_ || !handle.Seek(e.Offset)) return false;
  Bytes piece(std::min<std::size_t>(kStreamReadPiece, len));
  std::uint32_t crc = 0;
  for (std::uint32_t read = 0; read < len;) {
    const std::size_t n = std::min<std::size_t>(piece.size(), len - read);
    if (handle.Read(piece.data(), n) != n) return false;
    crc = Crc32(piece.data(), n, crc);
    read += static_cast<std::uint32_t>(n);
  }
  return crc == e.CRC;
}

EntryRead TPak::StreamPieces(platform::File& handle, std::size_t index, const PieceSink& sink,
                             std::uint64_t& decomp_size, BufferPool* pool) const {
  const TPakEntry& e = Entries_[index];
  const bool packed = e.CompSize != 0;
  // Writers never compress data of the large-entry size: a compressed one has a damaged size.
  if (packed && e.OrigSize >= LargeEntryLimit) return EntryRead::Damaged;
  const std::uint32_t len = e.StoredSize();
  if (std::uint64_t{e.Offset} + len > PackageEnd_ || !handle.Seek(e.Offset)) return EntryRead::Damaged;
  const bool check_crc = !PassesUnchecked(index);
  std::uint32_t crc = 0, read = 0;
  Bytes piece;
  if (!packed) {
    while (read < len) {
      const std::size_t n = std::min<std::size_t>(kStreamPiece, len - read);
      if (pool && piece.capacity() == 0) piece = pool->Take();
      piece.resize(n);  // a sink that kept the last piece left it empty
      if (handle.Read(piece.data(), n) != n) return EntryRead::Damaged;
      if (check_crc) crc = Crc32(piece.data(), n, crc);
      read += static_cast<std::uint32_t>(n);
      decomp_size = read;
      if (sink && !sink(piece)) return EntryRead::SinkFailed;
    }
    return !check_crc || crc == e.CRC ? EntryRead::Ok : EntryRead::Damaged;
  }
  InflateStream stream;
  Bytes in(std::min<std::size_t>(kStreamReadPiece, len));
  std::size_t in_pos = 0, in_len = 0, out_len = 0;
  for (;;) {
    if (in_pos == in_len && read < len) {
      const std::size_t n = std::min<std::size_t>(in.size(), len - read);
      if (handle.Read(in.data(), n) != n) return EntryRead::Damaged;
      crc = Crc32(in.data(), n, crc);
      read += static_cast<std::uint32_t>(n);
      in_pos = 0;
      in_len = n;
    }
    if (pool && piece.capacity() == 0) piece = pool->Take();
    if (piece.size() != kStreamPiece) piece.resize(kStreamPiece);
    std::size_t used = 0, produced = 0;
    const auto status = stream.Step(in.data() + in_pos, in_len - in_pos, used, piece.data() + out_len,
                                    piece.size() - out_len, produced);
    in_pos += used;
    out_len += produced;
    decomp_size += produced;
    if (status == InflateStream::Status::Damaged || decomp_size > e.OrigSize) return EntryRead::Damaged;
    const bool ended = status == InflateStream::Status::End;
    if (out_len == piece.size() || (ended && out_len > 0)) {
      piece.resize(out_len);
      out_len = 0;
      if (sink && !sink(piece)) return EntryRead::SinkFailed;
    }
    if (ended) break;
    // All of the block given, room to write, and nothing came: the stream was cut.
    if (used == 0 && produced == 0 && in_pos == in_len && read == len) return EntryRead::Damaged;
  }
  // Bytes behind the stream's end (no writer leaves any) still count for the block's CRC.
  while (read < len) {
    const std::size_t n = std::min<std::size_t>(in.size(), len - read);
    if (handle.Read(in.data(), n) != n) return EntryRead::Damaged;
    crc = Crc32(in.data(), n, crc);
    read += static_cast<std::uint32_t>(n);
  }
  return crc == e.CRC && decomp_size == e.OrigSize ? EntryRead::Ok : EntryRead::Damaged;
}

}  // namespace zq
