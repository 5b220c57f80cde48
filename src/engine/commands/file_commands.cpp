// File and program commands: "file", "copyfile", "rename", "delete", "rmdir",
// "createdirectory", "execute", "duplicateentry".
#include <optional>

#include "base/path_text.h"
#include "base/registry_roots.h"
#include "container/pak.h"
#include "engine/archive_updater.h"
#include "engine/commands/commands.h"
#include "engine/commands/extract_group.h"
#include "engine/logged_files.h"
#include "engine/macros.h"
#include "engine/progress.h"
#include "engine/run_changes.h"
#include "engine/setup_context.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"

namespace zq {

namespace {

// A "file" line of eight arguments extracts only when a registry value holds (or, with a
// false mode, does not hold) the expected text.
struct RegistryCondition {
  std::string root, key, value_name, expected, mode;

  bool Holds(platform::Registry& reg) const {
    reg.SetRoot(RootCodeToKey(RootNameToCode(root)));
    bool match = false;
    if (reg.OpenKey(key, true)) {
      match = reg.ReadString(value_name).value_or("") == expected;
      reg.CloseKey();
    }
    const std::string m = AsciiLowerCase(mode);
    const bool inverted = m == "0" || m == "false" || m == "f";
    return inverted ? !match : match;
  }
};

class TFileCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  struct Args {
    std::string subfolder;  // below the installation folder; empty: the folder itself
    std::uint16_t group;
    std::optional<RegistryCondition> condition;
  };
  static Args Decode(const LineArgs& a) {
    Args args{a.Count() >= 3 ? a[2] : std::string(), a.Group(), std::nullopt};
    if (a.Count() == 8) args.condition = RegistryCondition{a[3], a[4], a[5], a[6], a[7]};
    return args;
  }

  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const LineArgs a = ArgsOf(ctx.Run, line);
    if (!Info().AcceptsArgCount(a.Count())) {
      ctx.Services.ShowMessageBox(u"TFileCommand.SFXProcess - Param Count Invalid!!!", u"Error", kMbOk | kMbIconError);
      return;
    }
    const Args args = Decode(a);
    if (args.condition && !args.condition->Holds(ctx.Run.Registry)) return;
    std::string dir = ctx.Choices.InstallDir;
    // One separator between the parts, so recorded paths carry no doubled backslash.
    std::string sub = args.subfolder;
    while (!sub.empty() && sub.back() == '\\') sub.pop_back();
    if (!sub.empty()) dir = IncludeTrailingBackslash(dir) + sub;
    if (ctx.Setup.Pak) ExtractGroup(ctx, *ctx.Setup.Pak, dir, args.group);
  }
};

class TCopyFileCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const LineArgs a = ArgsOf(ctx.Run, line);
    const std::string source = ExpandMacrosAnsi(ctx, SearchOpticalDrives(a[1]));
    const std::string target = ExpandMacrosAnsi(ctx, a[2]);
    ForceDirectoriesLogged(ctx.Run.UninstallList, ExtractFileDir(target), &ctx.Run.Journal);
    SetStatusText(ctx.Services, TLanguages::ReplaceText(ctx.Text(TextId::CopyingFile), u"<%FILENAME%>",
                                                        platform::Utf8ToWide(ExtractFileName(source))));
    ForgetArchiveJournal(ctx, target);
    const bool copied = PrepareFileWriteOrAsk(ctx, target) && platform::CopyFileTo(source, target, false);
    if (!copied) CancelFileWrite(ctx.Run, target);  // a failed copy leaves the old file in place
    ctx.Run.UninstallList.AddFile(target);
    ctx.Services.LogLine(std::string(copied ? "copied " : "could not copy ") + source + " to " + target);
  }
};

class TRenameCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    LineArgs a = ArgsOf(ctx.Run, line);
    const std::string from = a.ExpandInPlace(ctx, 1);
    const std::string to = a.ExpandInPlace(ctx, 2);
    if (!platform::FileExists(from) || !RenameRecorded(ctx.Run, from, to)) return;
    // A file the run installed keeps being the run's under its new name, so the uninstall
    // removes it instead of leaving it behind.
    ctx.Run.UninstallList.RenameFile(from, to);
    ctx.Services.LogLine("renamed " + from + " to " + to);
  }
};

class TDeleteCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const std::string path = ArgsOf(ctx.Run, line).ExpandInPlace(ctx, 1);
    // Kept aside until the run commits, so that a failed run can put it back.
    if (platform::FileExists(path) && RemoveFileKept(ctx.Run, path)) ctx.Services.LogLine("deleted " + path);
  }
};

class TRMDirCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const std::string path = ExpandMacrosAnsi(ctx, ArgsOf(ctx.Run, line)[1]);
    if (!platform::DirectoryExists(path)) return;
    // Moved aside whole while the run may still be undone; a line run on its own removes it.
    const bool removed = ctx.Run.Journal.Active() ? RemoveFolderKept(ctx.Run, path) : RemoveTree(path);
    ctx.Services.LogLine(removed ? "removed folder " + path : "could not remove all of " + path);
  }
};

class TCreateDirectoryCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const std::string path = ExpandMacrosAnsi(ctx, ArgsOf(ctx.Run, line)[1]);
    ForceDirectoriesLogged(ctx.Run.UninstallList, path, &ctx.Run.Journal);
    ctx.Run.UninstallList.AddDir(path);
    ctx.Services.LogLine("folder " + path);
  }
};

class TExecuteCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    LineArgs a = ArgsOf(ctx.Run, line);
    const std::string program = a.ExpandInPlace(ctx, 1);
    const std::string parameters = a.IfCount(2, 2);
    ctx.Run.LastExitCode.reset();
    auto process = platform::ShellExecuteProcess(program, parameters);
    if (!process) {
      ctx.Services.LogLine("could not start " + program);
      return;
    }
    ctx.Services.LogLine("started " + program + (parameters.empty() ? "" : " " + parameters));
    // Blocks on the program; every slice ends early when it exits, and a closing window is
    // noticed within one.
    constexpr std::uint32_t kStopCheckMs = 100;
    std::optional<std::uint32_t> code;
    while (!(code = process->WaitForExit(kStopCheckMs)) && !ctx.Run.SetupAborted && !ctx.Run.Terminating &&
           !ctx.Run.Cancelled) {
    }
    ctx.Run.LastExitCode = code;
    if (code) ctx.Services.LogLine(program + " ended with exit code " + std::to_string(*code));
  }
};

class TDuplicateEntryCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  struct Args {
    std::string package, existing, name;
  };
  static Args Decode(const LineArgs& a) { return {a[1], a[2], a[3]}; }

  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const Args args = Decode(ArgsOf(ctx.Run, line));
    if (ArchiveProcedures* archives = ArchivesFor(ctx, "duplicateentry")) {
      archives->DuplicateMember(args.package, args.existing, args.name);
    }
  }
};

}  // namespace

std::span<const CommandBinding> FileCommands() {
  static constexpr CommandBinding kBindings[] = {
      Bind<TFileCommand>("file"),         Bind<TDeleteCommand>("delete"),
      Bind<TRMDirCommand>("rmdir"),       Bind<TCreateDirectoryCommand>("createdirectory"),
      Bind<TCopyFileCommand>("copyfile"), Bind<TDuplicateEntryCommand>("duplicateentry"),
      Bind<TRenameCommand>("rename"),     Bind<TExecuteCommand>("execute"),
  };
  return kBindings;
}

}  // namespace zq
