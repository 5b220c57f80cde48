#include <windows.h>
#include <wincrypt.h>

#include "platform/md5.h"

namespace zq::platform {

Md5::Md5() {
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET))
    return;
  HCRYPTHASH hash = 0;
  if (!CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
    CryptReleaseContext(provider, 0);
    return;
  }
  provider_ = reinterpret_cast<void*>(provider);
  hash_ = reinterpret_cast<void*>(hash);
}

Md5::~Md5() {
  if (hash_ != nullptr) CryptDestroyHash(reinterpret_cast<HCRYPTHASH>(hash_));
  if (provider_ != nullptr) CryptReleaseContext(reinterpret_cast<HCRYPTPROV>(provider_), 0);
}

bool Md5::Ok() const { return hash_ != nullptr; }

bool Md5::Update(const void* data, std::size_t size) {
  return hash_ != nullptr && CryptHashData(reinterpret_cast<HCRYPTHASH>(hash_), static_cast<const BYTE*>(data),
                                           static_cast<DWORD>(size), 0);
}

std::optional<std::array<std::uint8_t, 16>> Md5::Finish() {
  if (hash_ == nullptr) return std::nullopt;
  std::array<std::uint8_t, 16> digest{};
  DWORD length = 16;
  bool ok = CryptGetHashParam(reinterpret_cast<HCRYPTHASH>(hash_), HP_HASHVAL, digest.data(), &length, 0) &&
            length == 16;
  CryptDestroyHash(reinterpret_cast<HCRYPTHASH>(hash_));
  hash_ = nullptr;
  if (!ok) return std::nullopt;
  return digest;
}

}  // namespace zq::platform
