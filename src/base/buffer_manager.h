// Sequential reader over a memory buffer, for the engine's binary records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zq {

class TBufferManager {
 public:
  TBufferManager(const std::uint8_t* data, std::uint32_t size) : Data(data), Size(size) {}

  // Up to `count` bytes from the current position; empty at the end (or for an empty buffer).
  std::vector<std::uint8_t> ReadBlock(std::uint32_t count);
  // The same bounds, copied into `destination`; returns the number of bytes copied.
  std::uint32_t ReadInto(std::uint32_t count, void* destination);
  void Seek(std::uint32_t position) { Position = position; }

  // Records are CRC-protected, so a short read means a damaged setup: the readers answer
  // nullopt and the caller refuses the record instead of taking a partial value.
  std::optional<std::string> ReadString();
  std::optional<std::int32_t> ReadInt32();
  std::optional<std::int16_t> ReadInt16();
  std::optional<std::uint8_t> ReadByte();

  const std::uint8_t* Data;
  std::uint32_t Position = 0;
  std::uint32_t Size;

 private:
  std::uint32_t Remaining() const { return Position < Size ? Size - Position : 0; }
};

}  // namespace zq
