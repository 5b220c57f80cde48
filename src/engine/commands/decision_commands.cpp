// Values the run keeps and the decisions taken on them and on the machine: "var", "set",
// "readregstr", "readenv", "fileversion", "readini", "ifequal", "ifnotequal", "ifversion",
// "ifwindows", "ifmachine", "ifadmin", "ifsilent".
#include "base/path_text.h"
#include "base/registry_roots.h"
#include "base/version_compare.h"
#include "container/program_resources.h"
#include "engine/commands/commands.h"
#include "engine/macros.h"
#include "engine/setup_context.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "platform/text.h"

namespace zq {

namespace {

std::string Expanded(const RunScope& ctx, const std::string& text) {
  return platform::WideToUtf8(ctx.ExpandLangTags(platform::Utf8ToWide(ExpandMacrosAnsi(ctx, text))));
}

// Sets a variable, declared or not: a read names the variable it fills.
void Keep(const RunScope& ctx, const std::string& name, const std::string& value, const char* how) {
  ctx.Run.Variables.Set(platform::UpperCase(name), value);
  ctx.Services.LogLine(std::string(how) + " $" + name + " = " + value);
}

void JumpIf(const RunScope& ctx, bool holds, std::int32_t target) {
  if (holds && target >= 0) ctx.Run.CurrentLine = target;
}

// "ifversion" and "ifwindows": the comparison logged with both sides as the run saw them.
void JumpIfVersion(const RunScope& ctx, const char* keyword, const std::string& left, const std::string& op_word,
                   const std::string& right, std::int32_t target) {
  const auto op = ParseCompareOp(op_word);
  const bool holds = op && VersionHolds(left, *op, right);
  ctx.Services.LogLine(std::string(keyword) + " " + left + " " + op_word + " " + right + (holds ? ": yes" : ": no"));
  JumpIf(ctx, holds, target);
}

class TVarCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    // A value a page gave it before the run stays.
    ctx.Run.Variables.Declare(platform::UpperCase(ArgsOf(ctx.Run, line)[1]));
  }
};

class TSetCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const LineArgs a = ArgsOf(ctx.Run, line);
    Keep(ctx, a[1], Expanded(ctx, a[2]), "set");
  }
};

// In the view of the registry the run writes to; nothing is created.
class TReadRegStrCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const LineArgs a = ArgsOf(ctx.Run, line);
    platform::Registry& reg = ctx.Run.Registry;
    reg.SetRoot(RootCodeToKey(RootNameToCode(a[2])));
    std::string value;
    if (reg.OpenKey(Expanded(ctx, a[3]), false)) {
      value = reg.ReadString(a[4]).value_or("");
      reg.CloseKey();
    }
    Keep(ctx, a[1], value, "readregstr");
  }
};

class TReadEnvCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const LineArgs a = ArgsOf(ctx.Run, line);
    Keep(ctx, a[1], platform::EnvironmentVariable(a[2]).value_or(""), "readenv");
  }
};

class TFileVersionCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const LineArgs a = ArgsOf(ctx.Run, line);
    Keep(ctx, a[1], DescribeProgramFile(Expanded(ctx, a[2])).file_version, "fileversion");
  }
};

// Read by hand, the same on every system: "[section]" lines, "key=value" lines, names without
// regard to ASCII case, blanks around them ignored, ";" comment lines.
std::string IniValue(const std::string& text, const std::string& section, const std::string& key) {
  bool in_section = false;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string row = text.substr(start, end - start);
    start = end + 1;
    const std::size_t first = row.find_first_not_of(" \t\r");
    if (first == std::string::npos || row[first] == ';') continue;
    row = row.substr(first, row.find_last_not_of(" \t\r") - first + 1);
    if (row.front() == '[') {
      in_section = row.back() == ']' && SameTextAscii(row.substr(1, row.size() - 2), section);
      continue;
    }
    const std::size_t equals = row.find('=');
    if (!in_section || equals == std::string::npos) continue;
    std::string name = row.substr(0, equals);
    name.erase(name.find_last_not_of(" \t") + 1);
    if (!SameTextAscii(name, key)) continue;
    const std::size_t value = row.find_first_not_of(" \t", equals + 1);
    return value == std::string::npos ? std::string() : row.substr(value);
  }
  return {};
}

class TReadIniCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const LineArgs a = ArgsOf(ctx.Run, line);
    std::string value;
    platform::File f;
    if (f.Open(Expanded(ctx, a[2]), platform::OpenMode::ReadShared)) {
      std::string text(static_cast<std::size_t>(std::min<std::uint64_t>(f.Size().value_or(0), 1u << 20)), '\0');
      text.resize(f.Read(text.data(), text.size()));
      value = IniValue(text, a[3], a[4]);
    }
    Keep(ctx, a[1], value, "readini");
  }
};

class TIfEqualCommand : public TCommandClass {
 public:
  TIfEqualCommand(const CommandInfo& info, bool equal) : TCommandClass(info), equal_(equal) {}
  explicit TIfEqualCommand(const CommandInfo& info) : TIfEqualCommand(info, true) {}
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const LineArgs a = ArgsOf(ctx.Run, line);
    const bool same = platform::LowerCase(Expanded(ctx, a[1])) == platform::LowerCase(Expanded(ctx, a[2]));
    JumpIf(ctx, same == equal_, a.Jump(0));
  }

 private:
  bool equal_;
};

class TIfNotEqualCommand : public TIfEqualCommand {
 public:
  explicit TIfNotEqualCommand(const CommandInfo& info) : TIfEqualCommand(info, false) {}
};

class TIfVersionCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const LineArgs a = ArgsOf(ctx.Run, line);
    JumpIfVersion(ctx, "ifversion", Expanded(ctx, a[1]), a[2], Expanded(ctx, a[3]), a.Jump(0));
  }
};

class TIfWindowsCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const LineArgs a = ArgsOf(ctx.Run, line);
    JumpIfVersion(ctx, "ifwindows", platform::RunningWindowsVersion(), a[1], a[2], a.Jump(0));
  }
};

class TIfMachineCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    const LineArgs a = ArgsOf(ctx.Run, line);
    const std::string machine = platform::MachineArchitecture();
    ctx.Services.LogLine("ifmachine " + a[1] + ": the machine is " + machine);
    JumpIf(ctx, SameTextAscii(machine, a[1]), a.Jump(0));
  }
};

class TIfAdminCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    JumpIf(ctx, platform::RunsAsAdministrator(), ArgsOf(ctx.Run, line).Jump(0));
  }
};

class TIfSilentCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
  void SFXProcess(const RunScope& ctx, std::uint32_t line) override {
    JumpIf(ctx, ctx.Choices.Silent, ArgsOf(ctx.Run, line).Jump(0));
  }
};

}  // namespace

std::span<const CommandBinding> DecisionCommands() {
  static constexpr CommandBinding kBindings[] = {
      Bind<TVarCommand>("var"),
      Bind<TSetCommand>("set"),
      Bind<TReadRegStrCommand>("readregstr"),
      Bind<TReadEnvCommand>("readenv"),
      Bind<TFileVersionCommand>("fileversion"),
      Bind<TReadIniCommand>("readini"),
      Bind<TIfEqualCommand>("ifequal"),
      Bind<TIfNotEqualCommand>("ifnotequal"),
      Bind<TIfVersionCommand>("ifversion"),
      Bind<TIfWindowsCommand>("ifwindows"),
      Bind<TIfMachineCommand>("ifmachine"),
      Bind<TIfAdminCommand>("ifadmin"),
      Bind<TIfSilentCommand>("ifsilent"),
  };
  return kBindings;
}

}  // namespace zq
