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

char ToAnsi(char16_t u) {
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
  for (std::size_t i = 0; i < kHigh.size(); ++i)
    if (kHigh[i] == u) return static_cast<char>(0x80 + i);
  return '?';
}

unsigned char Lower(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  switch (c) {
    case 0x8A:
    case 0x8C:
    case 0x8E: return c + 0x10;  // Š Œ Ž
    case 0x9F: return 0xFF;      // Ÿ
    default: return c;
  }
}

unsigned char Upper(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  switch (c) {
    case 0x9A:
    case 0x9C:
    case 0x9E: return c - 0x10;  // š œ ž
    case 0xFF: return 0x9F;      // ÿ
    default: return c;
  }
}

template <typename F>
std::string MapBytes(std::string text, F f) {
  for (char& c : text) c = static_cast<char>(f(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::u16string AnsiToWide(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out += ToWide(static_cast<unsigned char>(c));
  return out;
}

std::string WideToAnsi(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    // A surrogate pair is one character, so one "?".
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
    out += ToAnsi(u);
  }
  return out;
}

std::string AnsiLowerCase(const std::string& text) { return MapBytes(text, Lower); }
std::string AnsiUpperCase(const std::string& text) { return MapBytes(text, Upper); }

}  // namespace zq::platform
