#include "archives/cipher.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>

#if defined(__MINGW32__) && !__USE_MINGW_ANSI_STDIO
#error "the key text needs mingw's own printf, which formats long double: define __USE_MINGW_ANSI_STDIO=1"
#endif

namespace zq {
namespace {}  // namespace

// printf rounds correctly on both builds and takes only the point from the locale, which is
// put back to '.' here; mingw's std::to_chars for long double also prints the locale's point.
std::string KeyNumberText(long double value) {
  char buffer[64];
  const int length = std::snprintf(buffer, sizeof buffer, "%.15Lg", value);
  std::string text(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
  const char* point = std::localeconv()->decimal_point;
  if (point != nullptr && *point != '\0' && std::strcmp(point, ".") != 0) {
    const std::size_t at = text.find(point);
    if (at != std::string::npos) text.replace(at, std::strlen(point), ".");
  }
  if (text.find('.') == std::string::npos) text += ".0";
  return text;
}

std::string TVelmEncryptionType::DigitKey(Key which) const {
  const long double seed = which == Key::Sine ? SineSeed : CosineSeed;
  const long double value = which == Key::Sine ? std::sin(seed) : std::cos(seed);
  std::string key;
  for (char c : KeyNumberText(value))
    if (c >= '1' && c <= '9') key += c;
  return key;
}

std::string TVelmEncryptionType::Encrypt(const std::string& plain) const {
  const std::string sine_key = DigitKey(Key::Sine);
  const std::string cosine_key = DigitKey(Key::Cosine);
  return EncodePass(cosine_key, EncodePass(sine_key, plain, false), true);
}

std::string TVelmEncryptionType::Decrypt(const std::string& cipher) const {
  const std::string sine_key = DigitKey(Key::Sine);
  const std::string cosine_key = DigitKey(Key::Cosine);
  return DecodePass(sine_key, DecodePass(cosine_key, cipher, true), false);
}

}  // namespace zq
