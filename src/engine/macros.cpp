#include "engine/macros.h"

#include "engine/setup_context.h"
#include "platform/text.h"

namespace zq {

using platform::AnsiToWide;
using platform::WideToAnsi;

std::u16string ExpandMacros(const SetupContext& ctx, const std::u16string& text) {
  const std::u16string inst = AnsiToWide(ctx.SetupInfo.InstallDir);
  std::u16string r = TLanguages::ReplaceText(text, u"$INSTDIR", inst);
  r = TLanguages::ReplaceText(r, u"$INSTALLDIR", inst);
  r = TLanguages::ReplaceText(r, u"$SMPROGRAMS", AnsiToWide(ctx.StartMenuDir));
  r = TLanguages::ReplaceText(r, u"$PROGRAMFILES", AnsiToWide(ctx.ProgramFilesDir));
  r = TLanguages::ReplaceText(r, u"$CDDRIVE", AnsiToWide(ctx.CDDrive));
  return TLanguages::ReplaceText(r, u"\\\\", u"\\");
}

std::u16string CollapseMacros(const SetupContext& ctx, const std::u16string& text) {
  std::u16string r = text;
  auto collapse = [&r](const std::string& value, const std::u16string& macro) {
    if (!value.empty()) r = TLanguages::ReplaceText(r, AnsiToWide(value), macro);
  };
  collapse(ctx.SetupInfo.InstallDir, u"$INSTDIR");
  collapse(ctx.StartMenuDir, u"$SMPROGRAMS");
  collapse(ctx.ProgramFilesDir, u"$PROGRAMFILES");
  return r;
}

std::string ExpandMacrosAnsi(const SetupContext& ctx, const std::string& text) {
  return WideToAnsi(ExpandMacros(ctx, AnsiToWide(text)));
}

std::string CollapseMacrosAnsi(const SetupContext& ctx, const std::string& text) {
  return WideToAnsi(CollapseMacros(ctx, AnsiToWide(text)));
}

}  // namespace zq
