// Path macros ($INSTDIR, $PROGRAMFILES, ...) and their reverse for the uninstall log.
#pragma once

#include <string>

namespace zq {

class SetupContext;

// Macro names in any case, in one pass (a value put in is not expanded again), then every run
// of backslashes as one.
std::u16string ExpandMacros(const SetupContext& ctx, const std::u16string& text);
std::u16string CollapseMacros(const SetupContext& ctx, const std::u16string& text);

// ANSI conveniences over the wide forms.
std::string ExpandMacrosAnsi(const SetupContext& ctx, const std::string& text);
std::string CollapseMacrosAnsi(const SetupContext& ctx, const std::string& text);

}  // namespace zq
