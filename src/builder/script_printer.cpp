#include "builder/script_printer.h"

#include <charconv>

#include "builder/script_compiler.h"
#include "builder/script_syntax.h"
#include "base/scrambler.h"
#include "script/command_table.h"
#include "script/components.h"

namespace zq::builder {

namespace {

std::string Command(const std::string& keyword, const std::vector<std::string>& args) {
  std::string out = keyword;
  for (const auto& a : args) out += " " + QuoteArgument(a);
  return out;
}

// Definition lines keep no arguments; the record holds what the last of each kind set.
std::vector<std::string> Definitions(const TSetupInfoFile& info) {
  std::vector<std::string> defs;
  auto define = [&](BuildStep step, const std::vector<std::string>& args) {
    defs.push_back(Command(DefinitionCommand(step).keyword, args));
  };
  if (!info.SetupName.empty()) define(BuildStep::DefineName, {info.SetupName});
  if (info.ShortName != info.SetupName) define(BuildStep::DefineShortName, {info.ShortName});
  if (!info.SetupExeName.empty()) define(BuildStep::DefineOutFile, {info.SetupExeName});
  if (!info.InstallDir.empty()) define(BuildStep::DefineInstallDir, {info.InstallDir});
  const auto& reg = info.InstallDirRegKey;
  if (reg.HKEY != 0 || !reg.Path.empty() || !reg.Key.empty()) {
    static const char* kRoots[] = {"HKLM", "HKCU", "HKCR", "HKU", "HKCC"};
    const char* root = reg.HKEY < 5 ? kRoots[reg.HKEY] : "HKLM";
    define(BuildStep::DefineInstallDirRegKey, {root, reg.Path, reg.Key});
  }
  if (!info.Changelog.empty()) define(BuildStep::DefineChangelog, {info.Changelog});
  if (!info.Pages.empty()) define(BuildStep::DefinePages, {info.Pages});
  if (!info.UninstallPages.empty() || info.HasUninstaller) {
    define(BuildStep::DefineUninstallPages, {info.UninstallPages});
  }
  if (info.LogPrefix.size() > 1 && info.LogPrefix.back() == '_') {
    define(BuildStep::DefinePrefix, {info.LogPrefix.substr(0, info.LogPrefix.size() - 1)});
  }
  if (defs.empty()) define(BuildStep::DefineName, {""});
  return defs;
}

std::optional<long> ToInt(const std::string& text) {
  long v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

}  // namespace

std::string PrintScript(const TCompLines& compiled, const TSetupInfoFile& info) {
  const auto& lines = compiled.Lines;
  std::string out;
  auto defs = Definitions(info);
  std::size_t slots = 0;
  for (const auto& l : lines) slots += l.CommandIndex == kDefinitionOnlyIndex;
  for (std::size_t d = slots; d < defs.size(); ++d) {
    out += "; set without a line of its own: " + defs[d] + "\n";
  }
  if (info.UninstallExeName !=
      (info.LogPrefix.empty() ? std::string(kDefaultUninstallExeName) : info.LogPrefix + "Uninstall.exe")) {
    out += "; uninstaller file name: " + info.UninstallExeName + "\n";
  }

  auto target = [&](const std::string& stored, std::string& note) -> std::string {
    if (stored == "-1") return "0";
    auto p = ToInt(stored);
    if (p && *p >= 0 && static_cast<std::size_t>(*p) < lines.size()) {
      const TCompLine& l = lines[static_cast<std::size_t>(*p)];
      if (l.CommandIndex == 0 && !l.Args.empty()) return l.Args[0];
    }
    note += "  ; target line " + stored + " is no label";
    return stored;
  };

  std::size_t def = 0;
  for (const TCompLine& l : lines) {
    if (l.CommandIndex == kDefinitionOnlyIndex) {
      out += defs[std::min(def++, defs.size() - 1)] + "\n";
      continue;
    }
    if (l.CommandIndex == 0) {
      if (l.Args.empty()) {
        out += "; (an empty line)\n";
      } else {
        out += ":" + QuoteArgument(l.Args[0]);
        if (l.Args.size() > 1) out += "  ; with " + std::to_string(l.Args.size() - 1) + " more arguments";
        out += "\n";
      }
      continue;
    }
    auto command = CommandAt(l.CommandIndex);
    if (!command) {
      out += "; command index " + std::to_string(l.CommandIndex) + " is unknown\n";
      continue;
    }
    std::vector<std::string> args = l.Args;
    std::string note;
    auto jump = [&](std::size_t i) {
      if (i < args.size()) args[i] = target(args[i], note);
    };
    for (int k = 0; const int n = command->JumpArg(k, args.size()); ++k) jump(static_cast<std::size_t>(n - 1));
    if (const auto n = static_cast<std::size_t>(command->scrambled_arg); n != 0 && n <= args.size()) {
      args[n - 1] = UnscrambleLine(kPackageCommandKey, args[n - 1]);
    }
    if (command->group_kind != GroupKind::None && !args.empty()) {
      note = "  ; group " + args.back() + note;
      args.pop_back();
    } else if (command->build == BuildStep::Component && args.size() >= static_cast<std::size_t>(kComponentLast)) {
      note = "  ; " + args[kComponentSize - 1] + " bytes" + note;
      args.resize(kComponentDescription);
      if (args.back().empty()) args.pop_back();
    } else if (command->build == BuildStep::PackLicense && args.size() == 3) {
      // Stored as the entry, its language and the file; written as the script gives them.
      note = "  ; " + args[0] + note;
      args = args[1].empty() ? std::vector<std::string>{args[2]} : std::vector<std::string>{args[1], args[2]};
    }
    out += Command(command->keyword, args) + note + "\n";
  }
  return out;
}

}  // namespace zq::builder
