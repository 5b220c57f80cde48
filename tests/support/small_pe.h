// A PE32 image built by hand, as a linker lays one out (sections 0x1000 apart in memory,
// 0x200-aligned in the file), for tests of what is written into program files.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/byte_io.h"

namespace zq::test {

inline constexpr std::size_t kPeFileHeader = 0x44, kPeOptional = 0x58, kPeSections = kPeOptional + 224;

inline void PeSet16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline std::uint32_t PeU32(const std::vector<std::uint8_t>& b, std::size_t at) { return GetU32(&b[at]); }
inline std::uint16_t PeSectionCount(const std::vector<std::uint8_t>& b) { return GetU16(&b[kPeFileHeader + 2]); }

// Appends a section of `content` after the others.
inline void AddPeSection(std::vector<std::uint8_t>& image, const char* name, const std::vector<std::uint8_t>& content) {
  const std::uint16_t n = PeSectionCount(image);
  std::uint32_t rva = 0x1000, raw = 0x400;
  for (std::uint16_t i = 0; i < n; ++i) {
    const std::size_t h = kPeSections + 40 * i;
    rva = std::max(rva, (PeU32(image, h + 12) + PeU32(image, h + 8) + 0xFFF) & ~0xFFFu);
    raw = std::max(raw, PeU32(image, h + 20) + PeU32(image, h + 16));
  }
  const std::size_t h = kPeSections + 40 * n;
  for (int i = 0; name[i]; ++i) image[h + i] = static_cast<std::uint8_t>(name[i]);
  const std::uint32_t raw_size = (static_cast<std::uint32_t>(content.size()) + 0x1FF) & ~0x1FFu;
  SetU32(&image[h + 8], static_cast<std::uint32_t>(content.size()));
  SetU32(&image[h + 12], rva);
  SetU32(&image[h + 16], raw_size);
  SetU32(&image[h + 20], raw);
  SetU32(&image[h + 36], 0x40000040);
  PeSet16(image, kPeFileHeader + 2, static_cast<std::uint16_t>(n + 1));
  image.resize(raw);
  image.insert(image.end(), content.begin(), content.end());
  image.resize(raw + raw_size);
  SetU32(&image[kPeOptional + 56], (rva + static_cast<std::uint32_t>(content.size()) + 0xFFF) & ~0xFFFu);
}

// Headers and one code section.
inline std::vector<std::uint8_t> SmallPe() {
  std::vector<std::uint8_t> b(0x400, 0);
  b[0] = 'M', b[1] = 'Z';
  SetU32(&b[0x3C], 0x40);
  b[0x40] = 'P', b[0x41] = 'E';
  PeSet16(b, kPeFileHeader, 0x14C);
  PeSet16(b, kPeFileHeader + 16, 224);
  PeSet16(b, kPeOptional, 0x10B);
  SetU32(&b[kPeOptional + 32], 0x1000);
  SetU32(&b[kPeOptional + 36], 0x200);
  SetU32(&b[kPeOptional + 60], 0x400);
  SetU32(&b[kPeOptional + 64], 0x1234);  // CheckSum
  SetU32(&b[kPeOptional + 92], 16);
  AddPeSection(b, ".text", std::vector<std::uint8_t>(0x300, 0xCC));
  return b;
}

// An .ico file of square 32-bit images of the given widths and sizes, each filled with its width.
inline std::vector<std::uint8_t> IcoFile(std::initializer_list<std::pair<std::uint8_t, std::size_t>> images) {
  std::vector<std::uint8_t> out;
  PutU16(out, 0), PutU16(out, 1), PutU16(out, static_cast<std::uint16_t>(images.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (const auto& [width, size] : images) {
    out.insert(out.end(), {width, width, 0, 0});
    PutU16(out, 1), PutU16(out, 32), PutU32(out, static_cast<std::uint32_t>(size)), PutU32(out, offset);
    offset += static_cast<std::uint32_t>(size);
  }
  for (const auto& [width, size] : images) out.insert(out.end(), size, width);
  return out;
}

}  // namespace zq::test
