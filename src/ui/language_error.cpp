#include "ui/language_error.h"

#include "platform/text.h"

namespace zq {

std::string QuoteForMessage(std::u16string_view text) {
  constexpr std::size_t kMaxUnits = 40;
  const bool cut = text.size() > kMaxUnits;
  std::string shown = platform::WideToUtf8(std::u16string(text.substr(0, kMaxUnits)));
  return "\"" + shown + (cut ? "...\"" : "\"");
}

}  // namespace zq
