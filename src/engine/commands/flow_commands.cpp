// Jumps and the orderly abort: "goto", "iffileexists", "failure".
#include "engine/commands/commands.h"
#include "engine/macros.h"
#include "engine/progress.h"
#include "engine/setup_context.h"
#include "platform/files.h"

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
  };
  return kBindings;
}

}  // namespace zq
