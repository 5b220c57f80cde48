#include "base/buffer_manager.h"

#include <algorithm>
#include <cstring>

#include "base/byte_io.h"

namespace zq {

std::vector<std::uint8_t> TBufferManager::ReadBlock(std::uint32_t count) {
  std::uint32_t n = std::min(count, Remaining());
  std::vector<std::uint8_t> block(Data + Position, Data + Position + n);
  Position += n;
  return block;
}

std::uint32_t TBufferManager::ReadInto(std::uint32_t count, void* destination) {
  std::uint32_t n = std::min(count, Remaining());
  if (n > 0) std::memcpy(destination, Data + Position, n);
  Position += n;
  return n;
}

std::optional<std::string> TBufferManager::ReadString() {
  auto count = ReadInt16();
  if (!count) return std::nullopt;
  std::uint32_t n = static_cast<std::uint16_t>(*count);
  if (Remaining() < n) return std::nullopt;
  std::string text(reinterpret_cast<const char*>(Data + Position), n);
  Position += n;
  return text;
}

std::optional<std::int32_t> TBufferManager::ReadInt32() {
  std::uint8_t b[4];
  if (Remaining() < 4) return std::nullopt;
  ReadInto(4, b);
  return static_cast<std::int32_t>(GetU32(b));
}

std::optional<std::int16_t> TBufferManager::ReadInt16() {
  std::uint8_t b[2];
  if (Remaining() < 2) return std::nullopt;
  ReadInto(2, b);
  return static_cast<std::int16_t>(GetU16(b));
}

std::optional<std::uint8_t> TBufferManager::ReadByte() {
  std::uint8_t b;
  if (ReadInto(1, &b) != 1) return std::nullopt;
  return b;
}

}  // namespace zq
