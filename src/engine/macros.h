// Path macros ($INSTDIR, $PROGRAMFILES, ...) and their reverse for the uninstall log.
#pragma once

#include <string>

namespace zq {

class ScriptVariables;
class SetupContext;
struct LoadedSetup;
struct RunScope;
struct UserChoices;

// What the path macros stand for: the installation folder the user chose and the machine's
// folders start-up found.
struct MacroValues {
  MacroValues(const LoadedSetup& setup, const UserChoices& choices) : Setup(setup), Choices(choices) {}
  MacroValues(const SetupContext& ctx);  // NOLINT(google-explicit-constructor)
  MacroValues(const RunScope& scope);    // NOLINT(google-explicit-constructor)
  const LoadedSetup& Setup;
  const UserChoices& Choices;
  // The run's variables ($NAME), when the text comes from a run.
  const ScriptVariables* Variables = nullptr;
};

// Who wrote the text. A script names folders by the setup's architecture and scope ($PROGRAMFILES
// the 64-bit one for x64, $SMPROGRAMS all users' for machine scope). The uninstall log keeps
// the meaning its macros had before those options, whichever version wrote it: $PROGRAMFILES is
// the 32-bit folder, $SMPROGRAMS and $DESKTOP the user's; the others say which they are.
enum class MacroUse { Script, Log };

// Macro names in any case, in one pass (a value put in is not expanded again), then every run
// of backslashes as one.
std::u16string ExpandMacros(const MacroValues& values, const std::u16string& text, MacroUse use = MacroUse::Script);
// For the uninstall log (MacroUse::Log meanings).
std::u16string CollapseMacros(const MacroValues& values, const std::u16string& text);

// ANSI conveniences over the wide forms.
std::string ExpandMacrosAnsi(const MacroValues& values, const std::string& text, MacroUse use = MacroUse::Script);
std::string CollapseMacrosAnsi(const MacroValues& values, const std::string& text);

}  // namespace zq
