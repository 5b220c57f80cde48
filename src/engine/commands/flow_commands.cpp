// Jumps and the orderly abort: "goto", "iffileexists", "ifchecked", "ifexitcode", "ifregexists",
// "failure", and the components' lines, which are passed over when the component is not chosen.
#include "base/registry_roots.h"
#include "engine/commands/commands.h"
#include "engine/macros.h"
#include "base/path_text.h"
#include "engine/progress.h"
#include "engine/selection.h"
#include "engine/setup_context.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "script/exit_code.h"

namespace zq {

namespace {

class TGotoCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const std::int32_t target = ArgsOf(ctx.Run, line).Jump(0);
    if (target >= 0) ctx.Run.CurrentLine = target;
  }
};

class TIfFileExistsCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  struct Args {
    std::string path;
    std::int32_t if_exists, if_missing;
  };
  static Args Decode(const LineArgs& a) { return {a[1], a.Jump(0), a.Jump(1)}; }

  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const Args args = Decode(ArgsOf(ctx.Run, line));
    const std::string path = ExpandMacrosAnsi(ctx, SearchOpticalDrives(args.path));
    if (platform::FileExists(path)) {
      if (args.if_exists >= 0) ctx.Run.CurrentLine = args.if_exists;
    } else if (args.if_missing >= 0) {
      ctx.Run.CurrentLine = args.if_missing;
    }
  }
};

class TIfCheckedCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const LineArgs args = ArgsOf(ctx.Run, line);
    const auto it = ctx.Choices.Checked.find(AsciiLowerCase(args[1]));
    const std::int32_t target = args.Jump(0);
    if (it != ctx.Choices.Checked.end() && it->second && target >= 0) ctx.Run.CurrentLine = target;
  }
};

class TComponentCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const int index = FindComponentAtLine(ctx.Setup.Components, line);
    if (index < 0 || ComponentChosen(ctx.Choices, index)) return;
    const ComponentInfo& c = ctx.Setup.Components[static_cast<std::size_t>(index)];
    ctx.Services.LogLine("component " + c.Name + " not chosen: its lines are passed over");
    ctx.Run.CurrentLine = static_cast<std::int32_t>(c.Last);
  }

 private:
  static int FindComponentAtLine(const std::vector<ComponentInfo>& components, std::uint32_t line) {
    for (std::size_t i = 0; i < components.size(); ++i) {
      if (components[i].Line == line) return static_cast<int>(i);
    }
    return -1;
  }
};

class TIfExitCodeCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  struct Args {
    std::optional<std::uint32_t> code;  // none: a code no program gives (a hand-made line)
    std::int32_t target;
  };
  static Args Decode(const LineArgs& a) { return {ParseExitCode(a[1]), a.Jump(0)}; }

  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const Args args = Decode(ArgsOf(ctx.Run, line));
    if (args.code && ctx.Run.LastExitCode == args.code && args.target >= 0) ctx.Run.CurrentLine = args.target;
  }
};

// Reads the registry without creating anything, in the view the run writes to.
class TIfRegExistsCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  struct Args {
    std::string root, key;
    std::optional<std::string> value;  // none: the key alone is asked for
    std::int32_t target;
  };
  static Args Decode(const LineArgs& a) {
    return {a[1], a[2], a.Count() >= 4 ? std::optional<std::string>(a[3]) : std::nullopt, a.Jump(0)};
  }

  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    LineArgs a = ArgsOf(ctx.Run, line);
    if (!Info().AcceptsArgCount(a.Count())) return;
    const Args args = Decode(a);
    platform::Registry& reg = ctx.Run.Registry;
    reg.SetRoot(RootCodeToKey(RootNameToCode(args.root)));
    bool exists = false;
    if (!args.value) {
      exists = reg.KeyExists(args.key);
    } else if (reg.OpenKey(args.key, false)) {
      exists = reg.ValueExists(*args.value);
      reg.CloseKey();
    }
    ctx.Services.LogLine("ifregexists " + args.root + "\\" + args.key + (args.value ? " " + *args.value : "") +
                         (exists ? ": present" : ": absent"));
    if (exists && args.target >= 0) ctx.Run.CurrentLine = args.target;
  }
};

class TFailureCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t) override {
    SetDetailText(ctx.Services, ctx.Text(TextId::SetupFailed), true);
    ctx.Services.LogLine("failure: the script ended the run");
    ctx.Run.SetupAborted = true;
  }
};

}  // namespace

std::span<const CommandBinding> FlowCommands() {
  static constexpr CommandBinding kBindings[] = {
      Bind<TGotoCommand>("goto"),
      Bind<TIfFileExistsCommand>("iffileexists"),
      Bind<TFailureCommand>("failure"),
      Bind<TIfCheckedCommand>("ifchecked"),
      Bind<TComponentCommand>("component"),
      Bind<TIfExitCodeCommand>("ifexitcode"),
      Bind<TIfRegExistsCommand>("ifregexists"),
  };
  return kBindings;
}

}  // namespace zq
