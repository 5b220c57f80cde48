// Errors raised while loading language tables or expanding language tags; start-up turns
// them into the error report.
#pragma once

#include <string>
#include <string_view>

#include "base/error.h"

namespace zq {

class LanguageError : public Error {
 public:
  using Error::Error;
};

// A short 8-bit rendering of table text for an error message, in double quotes; long text is
// cut so a damaged table cannot produce a huge message.
std::string QuoteForMessage(std::u16string_view text);

}  // namespace zq
