// Jumps and the orderly abort: "goto", "iffileexists", "failure".
#include "engine/macros.h"
#include "engine/progress.h"
#include "engine/setup_context.h"
#include "platform/files.h"
#include "engine/commands/commands.h"

namespace zq {

namespace {

class TGotoCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::int32_t target = JumpTarget(ctx, line, Info(), 0);
    if (target >= 0) ctx.CurrentLine = target;
  }
};

class TIfFileExistsCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::int32_t if_exists = JumpTarget(ctx, line, Info(), 0);
    const std::int32_t if_missing = JumpTarget(ctx, line, Info(), 1);
    const std::string path = ExpandMacrosAnsi(ctx, SearchOpticalDrives(Arg(ctx, line, 1)));
    if (platform::FileExists(path)) {
      if (if_exists >= 0) ctx.CurrentLine = if_exists;
    } else if (if_missing >= 0) {
      ctx.CurrentLine = if_missing;
    }
  }
};

class TFailureCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t) override {
    SetDetailText(ctx, ctx.Languages.GetText(23), true);
    ctx.LogLine("failure: the script ended the run");
    ctx.SetupAborted = true;
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
