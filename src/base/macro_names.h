// The folder macros a script's arguments may hold; the engine expands them, the builder
// warns about a "$" word that is none of them.
#pragma once

#include <array>
#include <string_view>

namespace zq {

// No name starts another, so at most one matches at a "$".
inline constexpr std::array<std::string_view, 7> kMacroNames = {
    "$INSTDIR", "$INSTALLDIR", "$SMPROGRAMS", "$PROGRAMFILES", "$CDDRIVE", "$DESKTOP", "$APPDATA"};

}  // namespace zq
