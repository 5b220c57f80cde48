#include <openssl/evp.h>

#include "platform/md5.h"

namespace zq::platform {

Md5::Md5() {
  auto* ctx = EVP_MD_CTX_new();
  if (ctx != nullptr && EVP_DigestInit_ex(ctx, EVP_md5(), nullptr) == 1) {
    hash_ = ctx;
  } else if (ctx != nullptr) {
    EVP_MD_CTX_free(ctx);
  }
}

Md5::~Md5() {
  if (hash_ != nullptr) EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(hash_));
}

bool Md5::Ok() const { return hash_ != nullptr; }

bool Md5::Update(const void* data, std::size_t size) {
  return hash_ != nullptr && EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(hash_), data, size) == 1;
}

std::optional<std::array<std::uint8_t, 16>> Md5::Finish() {
  if (hash_ == nullptr) return std::nullopt;
  std::array<std::uint8_t, 16> digest{};
  unsigned int length = 0;
  bool ok = EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(hash_), digest.data(), &length) == 1 && length == 16;
  EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(hash_));
  hash_ = nullptr;
  if (!ok) return std::nullopt;
  return digest;
}

}  // namespace zq::platform
