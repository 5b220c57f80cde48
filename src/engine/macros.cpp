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

using platform::Utf8ToWide;
using platform::WideToUtf8;

MacroValues::MacroValues(const SetupContext& ctx) : MacroValues(ctx.Setup, ctx.Choices) {
  Variables = &ctx.Run.Variables;
}
MacroValues::MacroValues(const RunScope& scope) : MacroValues(scope.Setup, scope.Choices) {
  Variables = &scope.Run.Variables;
}

namespace {

char16_t FoldAToZ(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool IsAlnum(char16_t c) { return (c >= u'0' && c <= u'9') || (FoldAToZ(c) >= u'a' && FoldAToZ(c) <= u'z'); }

bool MacroAt(const std::u16string& text, std::size_t at, std::string_view name) {
  if (text.size() - at < name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (FoldAToZ(text[at + i]) != FoldAToZ(static_cast<char16_t>(name[i]))) return false;
  }
  const std::size_t after = at + name.size();
  return !MacroNeedsBoundary(name) || after == text.size() || !IsAlnum(text[after]);
}

// A setup loaded before the 32-bit and 64-bit folders were told apart knows only the one.
const std::string& ProgramFiles32(const LoadedSetup& setup) {
  return setup.ProgramFiles32Dir.empty() ? setup.ProgramFilesDir : setup.ProgramFiles32Dir;
}

}  // namespace

// One pass from left to right: a value put in is never searched again, so a value that holds
// a macro (an installation folder typed as "C:\a$instdir") is kept as written instead of
// growing with every expansion.
std::u16string ExpandMacros(const MacroValues& values, const std::u16string& text, MacroUse use) {
  const LoadedSetup& setup = values.Setup;
  const bool script = use == MacroUse::Script;
  const bool machine = script && setup.Options.Scope == InstallScope::Machine;
  const std::u16string inst = Utf8ToWide(values.Choices.InstallDir);
  // In the order of kMacroNames, which the builder checks scripts against.
  const std::pair<std::string_view, std::u16string> macros[] = {
      {kMacroNames[0], inst},
      {kMacroNames[1], inst},
      {kMacroNames[2], Utf8ToWide(machine ? setup.CommonStartMenuDir : setup.StartMenuDir)},
      {kMacroNames[3], Utf8ToWide(ProgramFiles32(setup))},
      {kMacroNames[4], Utf8ToWide(setup.ProgramFiles64Dir.empty() ? ProgramFiles32(setup) : setup.ProgramFiles64Dir)},
      {kMacroNames[5], Utf8ToWide(script ? setup.ProgramFilesDir : ProgramFiles32(setup))},
      {kMacroNames[6], Utf8ToWide(setup.CDDrive)},
      {kMacroNames[7], Utf8ToWide(machine ? setup.CommonDesktopDir : setup.DesktopDir)},
      {kMacroNames[8], Utf8ToWide(setup.AppDataDir)},
      {kMacroNames[9], Utf8ToWide(setup.LocalAppDataDir)},
      {kMacroNames[10], Utf8ToWide(setup.CommonAppDataDir)},
      {kMacroNames[11], Utf8ToWide(setup.CommonStartMenuDir)},
      {kMacroNames[12], Utf8ToWide(setup.CommonDesktopDir)},
  };
  static_assert(std::extent_v<decltype(macros)> == kMacroNames.size());
  std::u16string expanded;
  for (std::size_t i = 0; i < text.size();) {
    const auto macro = text[i] != u'$' ? std::end(macros)
                                       : std::find_if(std::begin(macros), std::end(macros),
                                                      [&](const auto& m) { return MacroAt(text, i, m.first); });
    if (macro == std::end(macros) && text[i] == u'$' && values.Variables != nullptr && !values.Variables->Empty()) {
      // A variable the script declared: its whole name, letters, digits and "_".
      std::size_t end = i + 1;
      while (end < text.size() && (IsAlnum(text[end]) || text[end] == u'_')) ++end;
      const std::string* variable =
          values.Variables->Find(platform::UpperCase(WideToUtf8(text.substr(i + 1, end - i - 1))));
      if (end > i + 1 && variable != nullptr) {
        expanded += Utf8ToWide(*variable);
        i = end;
        continue;
      }
    }
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
  const LoadedSetup& setup = values.Setup;
  std::u16string r = text;
  auto collapse = [&r](const std::string& value, const std::u16string& macro) {
    if (!value.empty()) r = TLanguages::ReplaceText(r, Utf8ToWide(value), macro);
  };
  collapse(values.Choices.InstallDir, u"$INSTDIR");
  // All users' folders first: the common application data holds their Start menu.
  collapse(setup.CommonStartMenuDir.size() > 1 ? setup.CommonStartMenuDir : "", u"$COMMONSMPROGRAMS\\");
  collapse(setup.StartMenuDir, u"$SMPROGRAMS");
  // The newer folders keep the backslash after the name ("$DESKTOP\Demo.lnk"); one left
  // unresolved ("\" alone) would take every separator. $APPDATA holds the Start menu, so it
  // comes after it.
  const std::pair<const std::string*, const char16_t*> folders[] = {{&setup.CommonDesktopDir, u"$COMMONDESKTOP\\"},
                                                                    {&setup.DesktopDir, u"$DESKTOP\\"},
                                                                    {&setup.AppDataDir, u"$APPDATA\\"},
                                                                    {&setup.LocalAppDataDir, u"$LOCALAPPDATA\\"},
                                                                    {&setup.CommonAppDataDir, u"$COMMONAPPDATA\\"}};
  for (const auto& [value, macro] : folders) {
    if (value->size() > 1) collapse(*value, macro);
  }
  // $PROGRAMFILES keeps the 32-bit meaning every earlier log gave it; the machine's own folder,
  // where it is another, is said so.
  if (setup.ProgramFiles64Dir.size() > 1 && setup.ProgramFiles64Dir != ProgramFiles32(setup)) {
    collapse(setup.ProgramFiles64Dir, u"$PROGRAMFILES64\\");
  }
  collapse(ProgramFiles32(setup), u"$PROGRAMFILES");
  return r;
}

std::string ExpandMacrosAnsi(const MacroValues& values, const std::string& text, MacroUse use) {
  return WideToUtf8(ExpandMacros(values, Utf8ToWide(text), use));
}

std::string CollapseMacrosAnsi(const MacroValues& values, const std::string& text) {
  return WideToUtf8(CollapseMacros(values, Utf8ToWide(text)));
}

}  // namespace zq
