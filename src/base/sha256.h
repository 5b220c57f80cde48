// SHA-256 and HMAC-SHA256: the digest of a file kept aside and the keyed check that proves a
// journal or an uninstall log was written by this engine on this machine.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zq {

using Digest256 = std::array<std::uint8_t, 32>;

class Sha256 {
 public:
  Sha256();
  void Update(const void* data, std::size_t size);
  Digest256 Final();
  // Whether the processor's SHA instructions are used where it has them (tests compare both).
  static void AllowProcessorExtensions(bool allowed);

 private:
  void Block(const std::uint8_t* p);
  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;
};

Digest256 Sha256Of(const void* data, std::size_t size);

// HMAC-SHA256 over data given in pieces.
class HmacSha256 {
 public:
  HmacSha256(const void* key, std::size_t key_size);
  void Update(const void* data, std::size_t size) { inner_.Update(data, size); }
  void Update(std::string_view text) { inner_.Update(text.data(), text.size()); }
  Digest256 Final();

 private:
  Sha256 inner_;
  std::array<std::uint8_t, 64> outer_key_{};
};

Digest256 HmacSha256Of(const void* key, std::size_t key_size, const void* data, std::size_t size);

// Lower-case hexadecimal.
std::string HexText(const std::uint8_t* data, std::size_t size);
inline std::string HexText(const Digest256& d) { return HexText(d.data(), d.size()); }
// Compares in a time that does not depend on where they differ: a check of a keyed digest must
// not tell a forger how much of a guess was right.
bool SameDigest(const Digest256& a, const Digest256& b);

}  // namespace zq
