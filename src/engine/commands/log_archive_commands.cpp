// The uninstall-log commands and the front ends of the archive updates: "uninstalllogload",
// "uninstalllogsave", "zqpupdate", "zqpofficial", "vfsupdate".
#include "engine/commands/commands.h"
#include "engine/macros.h"
#include "engine/run_changes.h"
#include "engine/setup_context.h"
#include "engine/uninstall_log_check.h"
#include "platform/files.h"
#include "uninstall/log_prefix.h"

namespace zq {

namespace {

// "uninstalllogload" and "uninstalllogsave": the folder of the log and the prefix word, as
// the script writes it (with or without its "_").
struct LogPlace {
  std::string dir, word;
};
LogPlace DecodeLogPlace(const RunScope& ctx, const LineArgs& a) {
  return {ExpandMacrosAnsi(ctx, a[1]), a.IfCount(2, 2)};
}

class TUninstallLogLoadCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const LogPlace log = DecodeLogPlace(ctx, ArgsOf(ctx.Run, line));
    for (const std::string& prefix : LogPrefixesToLoad(log.word)) {
      const std::string path = TUninstallList::LogPath(log.dir, prefix);
      if (!platform::FileExists(path)) continue;
      // A log whose check fails names what its writer chose: the run would adopt it and sign it.
      TUninstallList read;
      std::string problem;
      const std::optional<LogKey> key = UninstallLogKey(ctx.Setup, &problem);
      LogCheck check = LogCheck::Absent;
      if (!read.Load(log.dir, prefix, nullptr, key ? &*key : nullptr, &check)) {
        ctx.Services.LogLine("uninstall log " + path + " is damaged; not loaded");
      } else if (check == LogCheck::Failed) {
        ctx.Services.LogLine("uninstall log " + path + " fails its check; not loaded");
      } else {
        ctx.Run.UninstallList.Files = std::move(read.Files);
        ctx.Run.UninstallList.RegValues = std::move(read.RegValues);
        ctx.Run.UninstallList.Dirs = std::move(read.Dirs);
        ctx.Run.UninstallList.Keys = std::move(read.Keys);
        ctx.Services.LogLine("loaded uninstall log " + path);
      }
      return;
    }
    ctx.Services.LogLine("no uninstall log " + TUninstallList::LogPath(log.dir, LogPrefixOfWord(log.word)) +
                         " to load");
  }
};

class TUninstallLogSaveCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const LogPlace given = DecodeLogPlace(ctx, ArgsOf(ctx.Run, line));
    const LogPlace log{given.dir, LogPrefixOfWord(given.word)};
    const std::string path = TUninstallList::LogPath(log.dir, log.word);
    if (PrepareFileWrite(ctx.Run, path) && SaveUninstallLog(ctx, log.dir, log.word)) {
      ctx.Services.LogLine("saved uninstall log " + path);
    }
  }
};

class TZQPUpdateCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    LineArgs a = ArgsOf(ctx.Run, line);
    const std::string password = a.DecodeSecretInPlace();
    const std::uint16_t group = a.Group();
    if (ArchiveProcedures* archives = ArchivesFor(ctx, "zqpupdate")) {
      archives->UpdatePackage(group, a.Archive(), password);
    }
  }
};

class TZQPOfficialCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    LineArgs a = ArgsOf(ctx.Run, line);
    const std::string word = a.DecodeSecretInPlace();
    const std::string& package = a[1];
    const std::string& flag = a[3];
    if (ArchiveProcedures* archives = ArchivesFor(ctx, "zqpofficial"))
      archives->SetPackageOfficial(package, word, flag);
  }
};

class TVFSUpdateCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const LineArgs a = ArgsOf(ctx.Run, line);
    // Closed unless the line's own flag says otherwise (a line of three keeps the default).
    const bool close = a.Count() >= 4 ? a[3] == "1" : true;
    const std::uint16_t group = a.Group();
    if (ArchiveProcedures* archives = ArchivesFor(ctx, "vfsupdate")) archives->UpdateVFS(group, a.Archive(), close);
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
