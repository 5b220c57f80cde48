#include "base/scrambler.h"

namespace zq {
namespace {

unsigned char DigitAt(const std::string& key, std::size_t index) {
  return key.empty() ? 0 : static_cast<unsigned char>(key[index % key.size()] - '0');
}

}  // namespace

// The key position follows the output position in both passes, which is what lets the
// prepending decode undo the reversing encode byte for byte.
std::string EncodePass(const std::string& key, const std::string& text, bool reverse) {
  const std::size_t n = text.size();
  std::string out(n, '\0');
  for (std::size_t pos = 0; pos < n; ++pos) {
    const auto c = static_cast<unsigned char>(reverse ? text[n - 1 - pos] : text[pos]);
    out[pos] = static_cast<char>(static_cast<unsigned char>(c + DigitAt(key, pos)));
  }
  return out;
}

std::string DecodePass(const std::string& key, const std::string& text, bool reverse) {
  const std::size_t n = text.size();
  std::string out(n, '\0');
  for (std::size_t pos = 0; pos < n; ++pos) {
    const auto b = static_cast<unsigned char>(static_cast<unsigned char>(text[pos]) - DigitAt(key, pos));
    out[reverse ? n - 1 - pos : pos] = static_cast<char>(b);
  }
  return out;
}

std::string ScrambleLine(std::string_view key, const std::string& text) {
  return EncodePass(std::string(key), text, false);
}

std::string UnscrambleLine(std::string_view key, const std::string& text) {
  return DecodePass(std::string(key), text, false);
}

}  // namespace zq
