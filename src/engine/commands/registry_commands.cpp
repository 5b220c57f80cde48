// Registry, shortcut and message commands: "writeregstr", "writeregstr_url",
// "createshortcut", "message", "messagebox".
#include "engine/logged_files.h"
#include "engine/macros.h"
#include "base/path_text.h"
#include "engine/progress.h"
#include "base/registry_roots.h"
#include "engine/setup_context.h"
#include "platform/shell_link.h"
#include "platform/text.h"
#include "engine/commands/commands.h"

namespace zq {

namespace {

class TWriteRegStrCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::string& root = Arg(ctx, line, 1);
    const std::string& key = Arg(ctx, line, 2);
    const std::string& name = Arg(ctx, line, 3);
    const std::string& value = Arg(ctx, line, 4);
    platform::Registry& reg = ctx.Registry;
    reg.SetRoot(RootCodeToKey(RootNameToCode(root)));
    if (reg.OpenKey(key, true)) {
      const std::string expanded = ExpandMacrosAnsi(ctx, value);
      if (reg.WriteString(name, expanded)) ctx.LogLine("registry " + root + "\\" + key + " " + name + " = " + expanded);
    }
    reg.CloseKey();
    ctx.UninstallList.AddRegValue(TUninstallList::RegValueLine(root, key, name, value));
  }
};

class TWriteRegStr_URLCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::string protocol = Arg(ctx, line, 1);
    // An empty protocol would put the values on HKEY_CLASSES_ROOT itself.
    if (protocol.find_first_not_of('\\') == std::string::npos) {
      ctx.LogLine("writeregstr_url passed over: no protocol name");
      return;
    }
    std::string command = "\"" + ExpandMacrosAnsi(ctx, Arg(ctx, line, 3)) + "\"";
    for (std::size_t i = 4; i <= ArgCount(ctx, line); ++i) command += " \"" + Arg(ctx, line, i) + "\"";
    const std::string icon_key = protocol + "\\DefaultIcon\\";
    const std::string command_key = protocol + "\\shell\\open\\command\\";
    platform::Registry& reg = ctx.Registry;
    reg.SetRoot(RootCodeToKey(2));
    auto write = [&](const std::string& key, const std::string& name, const std::string& value) {
      if (reg.OpenKey(key, true)) reg.WriteString(name, value);
      reg.CloseKey();
    };
    write(protocol, "", "URL:" + protocol + " Protocol");
    write(protocol, "URL Protocol", "");
    write(icon_key, "", ExpandMacrosAnsi(ctx, Arg(ctx, line, 2)));
    write(command_key, "", command);
    ctx.LogLine("URL protocol " + protocol + ": " + command);
    for (const auto& [key, name] : {std::pair<std::string, std::string>{protocol, ""}, {protocol, "URL Protocol"},
                                    {icon_key, ""}, {command_key, ""}}) {
      ctx.UninstallList.AddRegValue(TUninstallList::RegValueLine("HKCR", key, name, ""));
    }
  }
};

class TCreateShortCutCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::string link_file = ExpandMacrosAnsi(ctx, Arg(ctx, line, 1));
    platform::ShellLink link;
    link.target = ExpandMacrosAnsi(ctx, Arg(ctx, line, 2));
    link.arguments = ExpandMacrosAnsi(ctx, Arg(ctx, line, 3));
    link.working_directory = ExtractFileDir(link.target);
    link.show_command = 1;
    if (ArgCount(ctx, line) >= 4) {
      const std::string icon = ExpandMacrosAnsi(ctx, Arg(ctx, line, 4));
      if (icon != link.target) link.icon_file = icon;
    }
    ForceDirectoriesLogged(ctx, ExtractFileDir(link_file));
    const bool saved = platform::CreateShellLink(link, link_file);
    ctx.UninstallList.AddFile(link_file);
    ctx.LogLine(std::string(saved ? "shortcut " : "could not save shortcut ") + link_file + " -> " + link.target);
  }
};

class TMessageCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::u16string text = ctx.Languages.ExpandLangTags(platform::AnsiToWide(Arg(ctx, line, 1)));
    SetStatusText(ctx, text);
    ctx.LogLine("message: " + platform::WideToAnsi(text));
  }
};

class TMessageBoxCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(SetupContext& ctx, std::uint32_t line) override {
    const std::int32_t on_ok = JumpTarget(ctx, line, Info(), 0);
    const std::int32_t on_cancel = JumpTarget(ctx, line, Info(), 1);
    const std::u16string caption = ExpandMacros(ctx, platform::AnsiToWide(Arg(ctx, line, 2)));
    const std::u16string text = ExpandMacros(ctx, platform::AnsiToWide(Arg(ctx, line, 1)));
    const int answer = ctx.ShowMessageBox(text, caption, kMbOkCancel | kMbIconQuestion);
    ctx.LogLine("message box \"" + platform::WideToAnsi(text) + "\": " + (answer == kIdOk ? "OK" : "Cancel"));
    if (answer == kIdOk) {
      if (on_ok > 0) ctx.CurrentLine = on_ok - 1;
    } else if (on_cancel > 0) {
      ctx.CurrentLine = on_cancel - 1;
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
