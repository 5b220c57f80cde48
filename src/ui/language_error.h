// Errors raised while loading language tables or expanding language tags; start-up turns
// them into the error report.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace zq {

class LanguageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A short 8-bit rendering of table text for an error message, in double quotes; long text is
// cut so a damaged table cannot produce a huge message.
std::string QuoteForMessage(std::u16string_view text);

}  // namespace zq
