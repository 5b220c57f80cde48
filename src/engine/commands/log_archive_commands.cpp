// Commands that define the setup (their effect is at build time), the uninstall-log commands,
// and the front ends of the archive updates: "uninstalllogload", "uninstalllogsave",
// "zqpupdate", "zqpofficial", "vfsupdate".
#include "archives/cipher.h"
#include "engine/macros.h"
#include "base/scrambler.h"
#include "engine/setup_context.h"
#include "engine/commands/commands.h"

namespace zq {

namespace {

class TUninstallLogLoadCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::string dir = ExpandMacrosAnsi(ctx, Arg(ctx, line, 1));
    const std::string prefix = ArgCount(ctx, line) >= 2 ? Arg(ctx, line, 2) : std::string();
    if (ctx.UninstallList.Load(dir, prefix)) ctx.LogLine("loaded uninstall log " + TUninstallList::LogPath(dir, prefix));
  }
};

class TUninstallLogSaveCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::string dir = ExpandMacrosAnsi(ctx, Arg(ctx, line, 1));
    const std::string prefix = ArgCount(ctx, line) >= 2 ? Arg(ctx, line, 2) : std::string();
    if (ctx.UninstallList.Save(dir, prefix)) ctx.LogLine("saved uninstall log " + TUninstallList::LogPath(dir, prefix));
  }
};

// The secret argument is stored scrambled; decoded in place as the line runs.
void DecodeSecret(std::string& arg) { arg = DecodePass(std::string(kPackageCommandKey), arg, false); }

class TZQPUpdateCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    DecodeSecret(Arg(ctx, line, 2));
    const std::uint16_t group = GroupArg(ctx, line);
    if (TArchiveProcedures* archives = ArchivesFor(ctx, "zqpupdate")) {
      archives->UpdatePackage(group, Arg(ctx, line, 3), Arg(ctx, line, 2));
    }
  }
};

class TZQPOfficialCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    DecodeSecret(Arg(ctx, line, 2));
    if (TArchiveProcedures* archives = ArchivesFor(ctx, "zqpofficial")) {
      archives->SetPackageOfficial(Arg(ctx, line, 1), Arg(ctx, line, 2), Arg(ctx, line, 3));
    }
  }
};

class TVFSUpdateCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const bool close = ArgCount(ctx, line) >= 4 ? Arg(ctx, line, 3) == "1" : true;
    const std::uint16_t group = GroupArg(ctx, line);
    if (TArchiveProcedures* archives = ArchivesFor(ctx, "vfsupdate")) {
      archives->UpdateVFS(group, Arg(ctx, line, 2), close);
    }
  }
};

}  // namespace

std::unique_ptr<TCommandClass> MakeDefinitionCommand(const CommandInfo& info) {
  switch (info.index) {
    case 11: return std::make_unique<TZQPUpdateCommand>(info);
    case 25: return std::make_unique<TUninstallLogLoadCommand>(info);
    case 26: return std::make_unique<TUninstallLogSaveCommand>(info);
    case 27: return std::make_unique<TZQPOfficialCommand>(info);
    case 30: return std::make_unique<TVFSUpdateCommand>(info);
    default: return nullptr;  // "name", "language", ...: nothing to do at run time
  }
}

}  // namespace zq
