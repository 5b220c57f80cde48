// The keyed text cipher that guards the password in a game package archive's trailer, and the
// password key drawn from the seeds; the additive digit pass itself is base/scrambler.h.
#pragma once

#include <cstdint>
#include <string>

#include "base/scrambler.h"

namespace zq {

class TEncryptionType {
 public:
  virtual std::string Encrypt(const std::string& plain) const = 0;
  virtual std::string Decrypt(const std::string& cipher) const = 0;
  virtual ~TEncryptionType() = default;
};

class TVelmEncryptionType : public TEncryptionType {
 public:
  enum class Key { Sine, Cosine };

  // Every user sets both seeds; the defaults only make a fresh object well defined.
  std::uint8_t SineSeed = 1;
  std::uint8_t CosineSeed = 2;

  // The digits '1'-'9' of sin or cos of the seed (extended precision) written with at most
  // 15 significant digits; empty when that text has no such digit (sine seed 0).
  std::string DigitKey(Key which) const;

  std::string Encrypt(const std::string& plain) const override;
  std::string Decrypt(const std::string& cipher) const override;
};

// The text a key is drawn from: general format, at most 15 significant digits, '.' as the
// point whatever the locale, ".0" appended when there is no '.'.
std::string KeyNumberText(long double value);

}  // namespace zq
