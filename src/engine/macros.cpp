#include "engine/macros.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <type_traits>
#include <utility>

#include "base/macro_names.h"
#include "engine/setup_context.h"
#include "platform/text.h"

namespace zq {

using platform::AnsiToWide;
using platform::WideToAnsi;

MacroValues::MacroValues(const SetupContext& ctx) : MacroValues(ctx.Setup, ctx.Choices) {}
MacroValues::MacroValues(const RunScope& scope) : MacroValues(scope.Setup, scope.Choices) {}

namespace {

char16_t FoldAToZ(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool MacroAt(const std::u16string& text, std::size_t at, std::string_view name) {
  if (text.size() - at < name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (FoldAToZ(text[at + i]) != FoldAToZ(static_cast<char16_t>(name[i]))) return false;
  }
  return true;
}

}  // namespace

// One pass from left to right: a value put in is never searched again, so a value that holds
// a macro (an installation folder typed as "C:\a$instdir") is kept as written instead of
// growing with every expansion. No macro name starts another, so at most one matches.
std::u16string ExpandMacros(const MacroValues& values, const std::u16string& text) {
  const std::u16string inst = AnsiToWide(values.Choices.InstallDir);
  // In the order of kMacroNames, which the builder checks scripts against.
  const std::pair<std::string_view, std::u16string> macros[] = {
      {kMacroNames[0], inst},
      {kMacroNames[1], inst},
      {kMacroNames[2], AnsiToWide(values.Setup.StartMenuDir)},
      {kMacroNames[3], AnsiToWide(values.Setup.ProgramFilesDir)},
      {kMacroNames[4], AnsiToWide(values.Setup.CDDrive)},
      {kMacroNames[5], AnsiToWide(values.Setup.DesktopDir)},
      {kMacroNames[6], AnsiToWide(values.Setup.AppDataDir)},
  };
  static_assert(std::extent_v<decltype(macros)> == kMacroNames.size());
  std::u16string expanded;
  for (std::size_t i = 0; i < text.size();) {
    const auto macro = text[i] != u'$' ? std::end(macros)
                                       : std::find_if(std::begin(macros), std::end(macros),
                                                      [&](const auto& m) { return MacroAt(text, i, m.first); });
    if (macro == std::end(macros)) {
      expanded += text[i++];
    } else {
      expanded += macro->second;
      i += macro->first.size();
    }
  }
  // Every run of backslashes becomes one, the values' own included: "$PROGRAMFILES\Demo".
  std::u16string out;
  out.reserve(expanded.size());
  for (char16_t c : expanded) {
    if (c != u'\\' || out.empty() || out.back() != u'\\') out += c;
  }
  return out;
}

std::u16string CollapseMacros(const MacroValues& values, const std::u16string& text) {
  std::u16string r = text;
  auto collapse = [&r](const std::string& value, const std::u16string& macro) {
    if (!value.empty()) r = TLanguages::ReplaceText(r, AnsiToWide(value), macro);
  };
  collapse(values.Choices.InstallDir, u"$INSTDIR");
  collapse(values.Setup.StartMenuDir, u"$SMPROGRAMS");
  // The newer folders keep the backslash after the name ("$DESKTOP\Demo.lnk"); one left
  // unresolved ("\" alone) would take every separator. $APPDATA holds the Start menu, so it
  // comes after it.
  const std::pair<const std::string*, const char16_t*> folders[] = {{&values.Setup.DesktopDir, u"$DESKTOP\\"},
                                                                    {&values.Setup.AppDataDir, u"$APPDATA\\"}};
  for (const auto& [value, macro] : folders) {
    if (value->size() > 1) collapse(*value, macro);
  }
  collapse(values.Setup.ProgramFilesDir, u"$PROGRAMFILES");
  return r;
}

std::string ExpandMacrosAnsi(const MacroValues& values, const std::string& text) {
  return WideToAnsi(ExpandMacros(values, AnsiToWide(text)));
}

std::string CollapseMacrosAnsi(const MacroValues& values, const std::string& text) {
  return WideToAnsi(CollapseMacros(values, AnsiToWide(text)));
}

}  // namespace zq
