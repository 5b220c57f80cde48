// File and program commands: "file", "copyfile", "rename", "delete", "rmdir",
// "createdirectory", "execute", "duplicateentry".
#include "container/pak.h"
#include "engine/archive_updater.h"
#include "engine/logged_files.h"
#include "engine/macros.h"
#include "base/path_text.h"
#include "engine/progress.h"
#include "base/registry_roots.h"
#include "engine/setup_context.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/text.h"
#include "engine/commands/commands.h"
#include "engine/commands/extract_group.h"

namespace zq {

namespace {

// The condition of a conditional "file" line: root, key, value name, expected value, mode.
bool RegistryConditionHolds(SetupContext& ctx, std::uint32_t line) {
  platform::Registry& reg = ctx.Registry;
  reg.SetRoot(RootCodeToKey(RootNameToCode(Arg(ctx, line, 3))));
  bool match = false;
  if (reg.OpenKey(Arg(ctx, line, 4), true)) {
    match = reg.ReadString(Arg(ctx, line, 5)).value_or("") == Arg(ctx, line, 6);
    reg.CloseKey();
  }
  const std::string mode = AsciiLowerCase(Arg(ctx, line, 7));
  const bool inverted = mode == "0" || mode == "false" || mode == "f";
  return inverted ? !match : match;
}

class TFileCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::size_t n = ArgCount(ctx, line);
    if (!Info().AcceptsArgCount(n)) {
      ctx.ShowMessageBox(u"TFileCommand.SFXProcess - Param Count Invalid!!!", u"Error", kMbOk | kMbIconError);
      return;
    }
    const std::uint16_t group = GroupArg(ctx, line);
    if (n == 8 && !RegistryConditionHolds(ctx, line)) return;
    std::string dir = ctx.SetupInfo.InstallDir;
    if (n >= 3) {
      // The folder below the installation directory; one separator between the parts, so
      // recorded paths carry no doubled backslash.
      std::string sub = Arg(ctx, line, 2);
      while (!sub.empty() && sub.back() == '\\') sub.pop_back();
      if (!sub.empty()) dir = IncludeTrailingBackslash(dir) + sub;
    }
    if (ctx.Pak) ExtractGroup(ctx, *ctx.Pak, dir, group);
  }
};

class TCopyFileCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::string source = ExpandMacrosAnsi(ctx, SearchOpticalDrives(Arg(ctx, line, 1)));
    const std::string target = ExpandMacrosAnsi(ctx, Arg(ctx, line, 2));
    ForceDirectoriesLogged(ctx, ExtractFileDir(target));
    SetStatusText(ctx, TLanguages::ReplaceText(ctx.Languages.GetText(17), u"<%FILENAME%>",
                                               platform::AnsiToWide(ExtractFileName(source))));
    ForgetArchiveJournal(ctx, target);
    const bool copied = platform::CopyFileTo(source, target, false);
    ctx.UninstallList.AddFile(target);
    ctx.LogLine(std::string(copied ? "copied " : "could not copy ") + source + " to " + target);
  }
};

class TRenameCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::string from = ExpandArgInPlace(ctx, line, 1);
    const std::string to = ExpandArgInPlace(ctx, line, 2);
    if (!platform::FileExists(from) || !platform::RenameFile(from, to)) return;
    // A file the run installed keeps being the run's under its new name, so the uninstall
    // removes it instead of leaving it behind.
    ctx.UninstallList.RenameFile(from, to);
    ctx.LogLine("renamed " + from + " to " + to);
  }
};

class TDeleteCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::string path = ExpandArgInPlace(ctx, line, 1);
    if (platform::FileExists(path) && platform::DeleteFileAt(path)) ctx.LogLine("deleted " + path);
  }
};

class TRMDirCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::string path = ExpandMacrosAnsi(ctx, Arg(ctx, line, 1));
    if (!platform::DirectoryExists(path)) return;
    ctx.LogLine(RemoveTree(path) ? "removed folder " + path : "could not remove all of " + path);
  }
};

class TCreateDirectoryCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::string path = ExpandMacrosAnsi(ctx, Arg(ctx, line, 1));
    ForceDirectoriesLogged(ctx, path);
    ctx.UninstallList.AddDir(path);
    ctx.LogLine("folder " + path);
  }
};

class TExecuteCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::string program = ExpandArgInPlace(ctx, line, 1);
    const std::string parameters = ArgCount(ctx, line) >= 2 ? Arg(ctx, line, 2) : std::string();
    auto process = platform::ShellExecuteProcess(program, parameters);
    if (!process) {
      ctx.LogLine("could not start " + program);
      return;
    }
    ctx.LogLine("started " + program + (parameters.empty() ? "" : " " + parameters));
    while (!process->ExitCode() && !ctx.SetupAborted && !ctx.Terminating) platform::SleepMs(1);
  }
};

class TDuplicateEntryCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    if (TArchiveProcedures* archives = ArchivesFor(ctx, "duplicateentry")) {
      archives->DuplicateMember(Arg(ctx, line, 1), Arg(ctx, line, 2), Arg(ctx, line, 3));
    }
  }
};

}  // namespace

std::span<const CommandBinding> FileCommands() {
  static constexpr CommandBinding kBindings[] = {
      Bind<TFileCommand>("file"),
      Bind<TDeleteCommand>("delete"),
      Bind<TRMDirCommand>("rmdir"),
      Bind<TCreateDirectoryCommand>("createdirectory"),
      Bind<TCopyFileCommand>("copyfile"),
      Bind<TDuplicateEntryCommand>("duplicateentry"),
      Bind<TRenameCommand>("rename"),
      Bind<TExecuteCommand>("execute"),
  };
  return kBindings;
}

}  // namespace zq
