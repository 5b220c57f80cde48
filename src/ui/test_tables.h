// Language table buffers for the tests of this folder.
#pragma once

#include <string>
#include <string_view>

namespace zq::test {

// A byte-order mark, then the text as UTF-16 little-endian.
inline std::string TableBytes(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

}  // namespace zq::test
