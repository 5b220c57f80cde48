#include "engine/setup_context.h"

#include "engine/macros.h"

namespace zq {

SetupContext::SetupContext() {
  UninstallList.Collapse = [this](const std::string& path) { return CollapseMacrosAnsi(*this, path); };
  LanguageStrings.Add("<%SETUPTITLE%>", &SetupInfo.SetupName);
  LanguageStrings.Add("<%SETUPSHORTTITLE%>", &SetupInfo.ShortName);
  LanguageStrings.Add("<%CHANGELOG%>", &SetupInfo.Changelog);
  LanguageStrings.Add("<%SPACEREQ%>", &SpaceRequiredText);
  LanguageStrings.Add("<%SPACEAVA%>", &SpaceAvailableText);
}

int SetupContext::ShowMessageBox(const std::u16string& text, const std::u16string& caption, unsigned flags) {
  if (Messages != nullptr) return Messages->Show(text, caption, flags);
  return DefaultMessageBoxAnswer(flags);
}

}  // namespace zq
