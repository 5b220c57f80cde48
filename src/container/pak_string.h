// Counted strings (16-bit byte count, then the bytes): the string form of every binary format
// the engine reads and writes. Integer fields are in context/byte_io.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "platform/files.h"

namespace zq {

// nullopt when the file ends before the count or its bytes.
std::optional<std::string> ReadPakString(platform::File& handle);
// Writes the low 16 bits of the length and the bytes; true when any write came up short.
bool WritePakString(platform::File& handle, const std::string& text);

// Appends a counted string to a record built in memory.
void AppendPakString(std::vector<std::uint8_t>& out, const std::string& text);

// The conventional CRC-32 of the bytes into `crc`; a size of 0 leaves `crc` untouched.
bool CalcCRC32(const void* buffer, std::uint32_t size, std::uint32_t& crc);

// Whole file: nullopt when it cannot be opened or read in full.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path);

}  // namespace zq
