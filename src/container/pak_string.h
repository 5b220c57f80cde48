// Counted strings (16-bit byte count, then the bytes) and little-endian fields: the string and
// integer forms of every binary format the engine reads and writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace zq {

// nullopt when the file ends before the count or its bytes.
std::optional<std::string> ReadPakString(platform::File& handle);
// Writes the low 16 bits of the length and the bytes; true when any write came up short.
bool WritePakString(platform::File& handle, const std::string& text);

// Appending writers for records built in memory.
void AppendU8(std::vector<std::uint8_t>& out, std::uint8_t v);
void AppendU16(std::vector<std::uint8_t>& out, std::uint16_t v);
void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t v);
void AppendPakString(std::vector<std::uint8_t>& out, const std::string& text);

std::uint16_t LoadU16(const std::uint8_t* p);
std::uint32_t LoadU32(const std::uint8_t* p);

// The conventional CRC-32 of the bytes into `crc`; a size of 0 leaves `crc` untouched.
bool CalcCRC32(const void* buffer, std::uint32_t size, std::uint32_t& crc);

// Whole file: nullopt when it cannot be opened or read in full.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path);

}  // namespace zq
