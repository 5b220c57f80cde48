// The folder macros a script's arguments may hold; the engine expands them, the builder
// warns about a "$" word that is none of them.
#pragma once

#include <array>
#include <string_view>

namespace zq {

// At a "$" the first name that matches wins. "$PROGRAMFILES32" and "$PROGRAMFILES64" extend
// "$PROGRAMFILES", so they come first and match only where no letter or digit follows them
// ("$PROGRAMFILES32bit" is the folder "32bit" in $PROGRAMFILES, as it always was).
inline constexpr std::array<std::string_view, 13> kMacroNames = {
    "$INSTDIR", "$INSTALLDIR", "$SMPROGRAMS",   "$PROGRAMFILES32", "$PROGRAMFILES64",   "$PROGRAMFILES", "$CDDRIVE",
    "$DESKTOP", "$APPDATA",    "$LOCALAPPDATA", "$COMMONAPPDATA",  "$COMMONSMPROGRAMS", "$COMMONDESKTOP"};

// The names that extend another and so need a boundary after them.
constexpr bool MacroNeedsBoundary(std::string_view name) {
  return name == "$PROGRAMFILES32" || name == "$PROGRAMFILES64";
}

}  // namespace zq
