#include "platform/text.h"

#include <array>

namespace zq::platform {
namespace {

// Windows-1252 bytes 0x80..0x9F. The five bytes the code page leaves undefined map to the
// C1 control of the same number, as the system's own conversion does.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t ToWide(unsigned char b) { return b >= 0x80 && b <= 0x9F ? kHigh[b - 0x80] : b; }

char ToLegacy(char16_t u) {
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
  for (std::size_t i = 0; i < kHigh.size(); ++i)
    if (kHigh[i] == u) return static_cast<char>(0x80 + i);
  return '?';
}

}  // namespace

std::string LegacyToUtf8(const std::string& text) {
  if (IsAscii(text)) return text;
  std::u16string wide;
  wide.reserve(text.size());
  for (char c : text) wide += ToWide(static_cast<unsigned char>(c));
  return WideToUtf8(wide);
}

std::string Utf8ToLegacy(const std::string& text) {
  if (IsAscii(text)) return text;
  const std::u16string wide = Utf8ToWide(text);
  std::string out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    // A surrogate pair is one character, so one "?".
    if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size()) ++i;
    out += ToLegacy(wide[i]);
  }
  return out;
}

std::string LowerCase(const std::string& text) {
  if (!IsAscii(text)) return SimpleCaseMapped(text, false);
  std::string out = text;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
  return out;
}

std::string UpperCase(const std::string& text) {
  if (!IsAscii(text)) return SimpleCaseMapped(text, true);
  std::string out = text;
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
  return out;
}

}  // namespace zq::platform
