// Registry, shortcut and message commands: "writeregstr", "writeregstr_url",
// "createshortcut", "message", "messagebox".
#include "base/path_text.h"
#include "base/registry_roots.h"
#include "engine/commands/commands.h"
#include "engine/logged_files.h"
#include "engine/macros.h"
#include "engine/progress.h"
#include "engine/run_changes.h"
#include "engine/setup_context.h"
#include "platform/shell_link.h"
#include "platform/text.h"

namespace zq {

namespace {

// Records every key along `key` that is missing now, so that the uninstall removes the keys
// the installation made once they are empty, and never one that was there before it.
void RecordCreatedKeys(const RunScope& ctx, const std::string& root_name, std::uint32_t root, const std::string& key) {
  const std::size_t first = key.find_first_not_of('\\'), last = key.find_last_not_of('\\');
  if (first == std::string::npos) return;
  const std::string path = key.substr(first, last - first + 1);
  platform::Registry& reg = ctx.Run.Registry;
  reg.SetRoot(root);
  bool missing = false;
  for (std::size_t end = 0; end != std::string::npos;) {
    end = path.find('\\', end + 1);
    const std::string prefix = path.substr(0, end);
    missing = missing || !reg.KeyExists(prefix);
    if (missing) ctx.Run.UninstallList.AddKey(TUninstallList::KeyLine(root_name, prefix));
  }
}

class TWriteRegStrCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  struct Args {
    std::string root, key, name, value;
  };
  static Args Decode(const LineArgs& a) { return {a[1], a[2], a[3], a[4]}; }

  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const Args args = Decode(ArgsOf(ctx.Run, line));
    platform::Registry& reg = ctx.Run.Registry;
    const std::uint32_t root = RootCodeToKey(RootNameToCode(args.root));
    const std::string expanded = ExpandMacrosAnsi(ctx, args.value);
    if (!RecordRegistryValues(ctx.Run, root, args.key, {{args.name, 'S', expanded}})) return;
    RecordCreatedKeys(ctx, args.root, root, args.key);
    reg.SetRoot(root);
    if (reg.OpenKey(args.key, true)) {
      if (reg.WriteString(args.name, expanded)) {
        ctx.Services.LogLine("registry " + args.root + "\\" + args.key + " " + args.name + " = " + expanded);
      }
    }
    reg.CloseKey();
    ctx.Run.UninstallList.AddRegValue(TUninstallList::RegValueLine(args.root, args.key, args.name, args.value));
  }
};

class TWriteRegStr_URLCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  struct Args {
    std::string protocol, icon, program;
    std::vector<std::string> program_args;  // quoted one by one after the program
  };
  static Args Decode(const LineArgs& a) {
    Args args{a[1], a[2], a[3], {}};
    for (std::size_t i = 4; i <= a.Count(); ++i) args.program_args.push_back(a[i]);
    return args;
  }

  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const Args args = Decode(ArgsOf(ctx.Run, line));
    const std::string& protocol = args.protocol;
    // An empty protocol would put the values on HKEY_CLASSES_ROOT itself.
    if (protocol.find_first_not_of('\\') == std::string::npos) {
      ctx.Services.LogLine("writeregstr_url passed over: no protocol name");
      return;
    }
    std::string command = "\"" + ExpandMacrosAnsi(ctx, args.program) + "\"";
    for (const std::string& arg : args.program_args) command += " \"" + arg + "\"";
    const std::string icon_key = protocol + "\\DefaultIcon\\";
    const std::string command_key = protocol + "\\shell\\open\\command\\";
    platform::Registry& reg = ctx.Run.Registry;
    const std::uint32_t root = RootCodeToKey(2);
    auto write = [&](const std::string& key, const std::string& name, const std::string& value) {
      if (!RecordRegistryValues(ctx.Run, root, key, {{name, 'S', value}})) return;
      RecordCreatedKeys(ctx, "HKCR", root, key);
      reg.SetRoot(root);
      if (reg.OpenKey(key, true)) reg.WriteString(name, value);
      reg.CloseKey();
    };
    write(protocol, "", "URL:" + protocol + " Protocol");
    write(protocol, "URL Protocol", "");
    write(icon_key, "", ExpandMacrosAnsi(ctx, args.icon));
    write(command_key, "", command);
    ctx.Services.LogLine("URL protocol " + protocol + ": " + command);
    for (const auto& [key, name] : {std::pair<std::string, std::string>{protocol, ""},
                                    {protocol, "URL Protocol"},
                                    {icon_key, ""},
                                    {command_key, ""}}) {
      ctx.Run.UninstallList.AddRegValue(TUninstallList::RegValueLine("HKCR", key, name, ""));
    }
  }
};

class TCreateShortCutCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  struct Args {
    std::string link_file, target, arguments;
    std::optional<std::string> icon;
  };
  static Args Decode(const LineArgs& a) {
    return {a[1], a[2], a[3], a.Count() >= 4 ? std::optional<std::string>(a[4]) : std::nullopt};
  }

  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const Args args = Decode(ArgsOf(ctx.Run, line));
    const std::string link_file = ExpandMacrosAnsi(ctx, args.link_file);
    platform::ShellLink link;
    link.target = ExpandMacrosAnsi(ctx, args.target);
    link.arguments = ExpandMacrosAnsi(ctx, args.arguments);
    link.working_directory = ExtractFileDir(link.target);
    link.show_command = 1;
    if (args.icon) {
      const std::string icon = ExpandMacrosAnsi(ctx, *args.icon);
      if (icon != link.target) link.icon_file = icon;
    }
    ForceDirectoriesLogged(ctx.Run.UninstallList, ExtractFileDir(link_file), &ctx.Run.Journal);
    const bool saved = PrepareFileWrite(ctx.Run, link_file) && platform::CreateShellLink(link, link_file);
    if (!saved) CancelFileWrite(ctx.Run, link_file);
    ctx.Run.UninstallList.AddFile(link_file);
    ctx.Services.LogLine(std::string(saved ? "shortcut " : "could not save shortcut ") + link_file + " -> " +
                         link.target);
  }
};

class TMessageCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const std::u16string text = ctx.ExpandLangTags(platform::Utf8ToWide(ArgsOf(ctx.Run, line)[1]));
    SetStatusText(ctx.Services, text);
    ctx.Services.LogLine("message: " + platform::WideToUtf8(text));
  }
};

class TMessageBoxCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  struct Args {
    std::string text, caption;
    std::int32_t on_ok, on_cancel;
  };
  static Args Decode(const LineArgs& a) { return {a[1], a[2], a.Jump(0), a.Jump(1)}; }

  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const Args args = Decode(ArgsOf(ctx.Run, line));
    const std::u16string caption = ExpandMacros(ctx, platform::Utf8ToWide(args.caption));
    const std::u16string text = ExpandMacros(ctx, platform::Utf8ToWide(args.text));
    const int answer = ctx.Services.ShowMessageBox(text, caption, kMbOkCancel | kMbIconQuestion);
    ctx.Services.LogLine("message box \"" + platform::WideToUtf8(text) + "\": " + (answer == kIdOk ? "OK" : "Cancel"));
    if (answer == kIdOk) {
      if (args.on_ok > 0) ctx.Run.CurrentLine = args.on_ok - 1;
    } else if (args.on_cancel > 0) {
      ctx.Run.CurrentLine = args.on_cancel - 1;
    }
  }
};

}  // namespace

std::span<const CommandBinding> RegistryCommands() {
  static constexpr CommandBinding kBindings[] = {
      Bind<TWriteRegStrCommand>("writeregstr"),
      Bind<TCreateShortCutCommand>("createshortcut"),
      Bind<TMessageCommand>("message"),
      Bind<TMessageBoxCommand>("messagebox"),
      Bind<TWriteRegStr_URLCommand>("writeregstr_url"),
  };
  return kBindings;
}

}  // namespace zq
