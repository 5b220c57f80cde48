#include "engine/setup_context.h"

#include "base/size_text.h"
#include "engine/macros.h"
#include "platform/drives.h"
#include "platform/text.h"

namespace zq {

SetupContext::SetupContext() {
  UninstallList.Collapse = [this](const std::string& path) { return CollapseMacrosAnsi(*this, path); };
  LanguageStrings.Add("<%SETUPTITLE%>", &SetupInfo.SetupName);
  LanguageStrings.Add("<%SETUPSHORTTITLE%>", &SetupInfo.ShortName);
  LanguageStrings.Add("<%CHANGELOG%>", &SetupInfo.Changelog);
  LanguageStrings.Add("<%SPACEREQ%>", &SpaceRequiredText);
  LanguageStrings.Add("<%SPACEAVA%>", &SpaceAvailableText);
  LanguageStrings.Add("<%INSTALLDIR%>", &SetupInfo.InstallDir);
}

void SetupContext::MeasureSpaceAvailable() {
  const std::string dir = platform::AnsiUpperCase(SetupInfo.InstallDir.substr(0, 1));
  if (dir.empty() || dir[0] < 'A' || dir[0] > 'Z') return;
  SpaceAvailable = platform::FreeBytes(dir[0] - 'A' + 1).value_or(-1);
  SpaceAvailableText = SizeToText(SpaceAvailable);
}

int SetupContext::ShowMessageBox(const std::u16string& text, const std::u16string& caption, unsigned flags) {
  if (Messages != nullptr) return Messages->Show(text, caption, flags);
  return DefaultMessageBoxAnswer(flags);
}

}  // namespace zq
