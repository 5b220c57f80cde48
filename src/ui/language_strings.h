// Named placeholders ("<%SETUPTITLE%>", ...) and the variables whose current values replace
// them in wizard texts.
#pragma once

#include <string>
#include <vector>

namespace zq {

struct TLanguageString {
  std::string Name;                       // lower-cased
  const std::string* Variable = nullptr;  // lives elsewhere; read at each expansion
};

class TLanguageStrings {
 public:
  // The variable must outlive this table; a null variable expands to an empty text.
  void Add(const std::string& name, const std::string* variable);

  // Each name in registration order replaced (TLanguages::ReplaceText) by the variable's
  // value at this moment.
  std::u16string ExpandVariables(const std::u16string& text) const;

  const std::vector<TLanguageString>& Items() const { return items_; }

 private:
  std::vector<TLanguageString> items_;
};

}  // namespace zq
