// A run's state, kept by owner (docs/architecture.md, "Who owns what"): what start-up loaded,
// what the user chose, the run's own state and the services it reports through. The engine's
// main() owns one SetupContext; each piece of code is handed the parts it uses.
#pragma once

#include <string>

#include "engine/loaded_setup.h"
#include "engine/run_services.h"
#include "engine/run_state.h"
#include "engine/user_choices.h"
#include "ui/language_strings.h"
#include "ui/text_ids.h"

namespace zq {

class SetupContext {
  LoadedSetup setup_;  // first: Setup refers to it

 public:
  // Registers the placeholders, bound to the fields behind them.
  SetupContext();
  SetupContext(const SetupContext&) = delete;
  SetupContext& operator=(const SetupContext&) = delete;

  // Read-only to everything but start-up, which fills it through SetupToLoad() (tests too).
  const LoadedSetup& Setup = setup_;
  LoadedSetup& SetupToLoad() { return setup_; }

  UserChoices Choices;
  RunState Run;
  RunServices Services;
  // "<%SETUPTITLE%>", "<%INSTALLDIR%>", ...: read at each expansion.
  TLanguageStrings LanguageStrings;

  std::u16string Text(TextId id) const { return Setup.Languages.GetText(id, Choices.Language); }
};

// What the script's lines and the run's closing steps are given: the loaded setup and the
// user's choices to read, the run's state and the services to use. Made from a SetupContext
// wherever one is at hand.
struct RunScope {
  RunScope(const LoadedSetup& s, const UserChoices& c, RunState& r, RunServices& v)
      : Setup(s), Choices(c), Run(r), Services(v) {}
  RunScope(SetupContext& ctx)  // NOLINT(google-explicit-constructor): a context is a scope
      : RunScope(ctx.Setup, ctx.Choices, ctx.Run, ctx.Services) {}

  // Named as a SetupContext's parts, so code reads the same with either.
  const LoadedSetup& Setup;
  const UserChoices& Choices;
  RunState& Run;
  RunServices& Services;

  std::u16string Text(TextId id) const { return Setup.Languages.GetText(id, Choices.Language); }
  std::u16string ExpandLangTags(const std::u16string& text) const {
    return Setup.Languages.ExpandLangTags(text, Choices.Language);
  }
};

}  // namespace zq
