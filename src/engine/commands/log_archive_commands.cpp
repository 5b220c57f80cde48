// The uninstall-log commands and the front ends of the archive updates: "uninstalllogload",
// "uninstalllogsave", "zqpupdate", "zqpofficial", "vfsupdate".
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
std::string DecodeSecret(SetupContext& ctx, std::uint32_t line, const CommandInfo& info) {
  const auto n = static_cast<std::size_t>(info.scrambled_arg);
  std::string decoded = DecodePass(std::string(kPackageCommandKey), Arg(ctx, line, n), false);
  if (std::string* slot = ArgSlot(ctx, line, n)) *slot = decoded;
  return decoded;
}

// The archive an archive group's line updates.
const std::string& ArchiveArg(SetupContext& ctx, std::uint32_t line, const CommandInfo& info) {
  return Arg(ctx, line, static_cast<std::size_t>(info.archive_arg));
}

class TZQPUpdateCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::string password = DecodeSecret(ctx, line, Info());
    const std::uint16_t group = GroupArg(ctx, line);
    if (TArchiveProcedures* archives = ArchivesFor(ctx, "zqpupdate")) {
      archives->UpdatePackage(group, ArchiveArg(ctx, line, Info()), password);
    }
  }
};

class TZQPOfficialCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::string word = DecodeSecret(ctx, line, Info());
    if (TArchiveProcedures* archives = ArchivesFor(ctx, "zqpofficial")) {
      archives->SetPackageOfficial(Arg(ctx, line, 1), word, Arg(ctx, line, 3));
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
      archives->UpdateVFS(group, ArchiveArg(ctx, line, Info()), close);
    }
  }
};

}  // namespace

std::span<const CommandBinding> LogArchiveCommands() {
  static constexpr CommandBinding kBindings[] = {
      Bind<TZQPUpdateCommand>("zqpupdate"),
      Bind<TUninstallLogLoadCommand>("uninstalllogload"),
      Bind<TUninstallLogSaveCommand>("uninstalllogsave"),
      Bind<TZQPOfficialCommand>("zqpofficial"),
      Bind<TVFSUpdateCommand>("vfsupdate"),
  };
  return kBindings;
}

}  // namespace zq
