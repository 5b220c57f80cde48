#include "engine/setup_context.h"

#include "engine/macros.h"

namespace zq {

SetupContext::SetupContext() {
  Run.UninstallList.Collapse = [this](const std::string& path) { return CollapseMacrosAnsi(*this, path); };
  LanguageStrings.Add("<%SETUPTITLE%>", &Setup.SetupInfo.SetupName);
  LanguageStrings.Add("<%SETUPSHORTTITLE%>", &Setup.SetupInfo.ShortName);
  LanguageStrings.Add("<%CHANGELOG%>", &Setup.SetupInfo.Changelog);
  LanguageStrings.Add("<%SPACEREQ%>", &Choices.SpaceRequiredText);
  LanguageStrings.Add("<%SPACEAVA%>", &Choices.SpaceAvailableText);
  LanguageStrings.Add("<%INSTALLDIR%>", &Choices.InstallDir);
  LanguageStrings.Add("<%LICENSE%>", &Choices.LicenseEntry);
}

}  // namespace zq
