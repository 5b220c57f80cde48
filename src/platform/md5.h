// MD5 digests (win32: CryptoAPI; host: OpenSSL libcrypto).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace zq::platform {

class Md5 {
 public:
  Md5();
  ~Md5();
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;
  // False when the service or the hash object could not be had.
  bool Ok() const;
  bool Update(const void* data, std::size_t size);
  // The digest; nullopt when it could not be had. Ends the hash.
  std::optional<std::array<std::uint8_t, 16>> Finish();

 private:
  void* provider_ = nullptr;
  void* hash_ = nullptr;
};

}  // namespace zq::platform
