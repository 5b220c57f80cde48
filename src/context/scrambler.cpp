#include "context/scrambler.h"

#include "archives/cipher.h"

namespace zq {

std::string ScrambleLine(std::string_view key, const std::string& text) {
  return EncodePass(std::string(key), text, false);
}

std::string UnscrambleLine(std::string_view key, const std::string& text) {
  return DecodePass(std::string(key), text, false);
}

}  // namespace zq
