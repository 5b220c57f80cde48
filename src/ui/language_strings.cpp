#include "ui/language_strings.h"

#include "platform/text.h"
#include "ui/languages.h"

namespace zq {

void TLanguageStrings::Add(const std::string& name, const std::string* variable) {
  items_.push_back(TLanguageString{platform::LowerCase(name), variable});
}

std::u16string TLanguageStrings::ExpandVariables(const std::u16string& text) const {
  std::u16string result = text;
  for (const TLanguageString& entry : items_) {
    const std::u16string value = entry.Variable ? platform::Utf8ToWide(*entry.Variable) : std::u16string();
    result = TLanguages::ReplaceText(result, platform::Utf8ToWide(entry.Name), value);
  }
  return result;
}

}  // namespace zq
