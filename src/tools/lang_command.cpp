#include <cstdio>

#include "container/entry_names.h"
#include "container/pak_string.h"
#include "platform/text.h"
#include "tools/commands.h"
#include "tools/open_setup.h"
#include "tools/tool_support.h"
#include "ui/language.h"

namespace zq::tool {

namespace {
constexpr const char* kUsage = "zq lang SETUP|FILE";
constexpr const char* kHelp =
    "Show language tables: every \"LANGUAGE-\" and \"UNINSTALL_LANGUAGE-\" entry of a setup's\n"
    "package, or one table file (UTF-16 with a byte-order mark, as written for the builder).\n"
    "Each table shows its name, the language identifiers it serves and its numbered texts.\n"
    "Exit 1 when a table does not load (the reason is given).\n";

bool StartsWithNoCase(const std::string& name, const std::string& prefix) {
  return platform::UpperCase(name.substr(0, prefix.size())) == prefix;
}

bool PrintTable(const std::string& title, const std::vector<std::uint8_t>& bytes, std::ostream& out,
                std::ostream& err) {
  TLanguage table;
  std::string problem;
  if (!table.LoadFromBuffer(bytes.data(), bytes.size(), &problem)) {
    err << "zq: " << title << ": " << problem << "\n";
    return false;
  }
  out << "== " << title << "\n";
  out << "name: " << platform::WideToUtf8(table.LangName) << "\nids:";
  for (auto id : table.LangIds) {
    char buf[8];
    std::snprintf(buf, sizeof buf, " %04x", unsigned{id});
    out << buf;
  }
  out << "\ntexts: " << table.Strings.size() << "\n";
  for (const auto& s : table.Strings) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%5d  ", static_cast<int>(s.Number));
    out << buf << platform::WideToUtf8(s.Text) << "\n";
  }
  return true;
}
}  // namespace

int RunLang(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  int code = kExitOk;
  const CommandSpec spec{kUsage, kHelp, {}, {}, 1, 1};
  auto parsed = ParseCommand(spec, argv, out, err, code);
  if (!parsed) return code;
  const Args& args = *parsed;
  const std::string& path = args.Positionals()[0];
  if (!platform::FileExists(path)) {
    err << "zq: " << path << ": no such file\n";
    return kExitFailed;
  }
  TPak pak(path);
  if (!pak.HasValidHeader()) {
    auto bytes = ReadWholeFile(path);
    if (!bytes) {
      err << "zq: " << path << ": cannot be read\n";
      return kExitFailed;
    }
    return PrintTable(path, *bytes, out, err) ? kExitOk : kExitFailed;
  }
  bool ok = true;
  std::size_t found = 0;
  for (std::size_t i = 0; i < pak.Entries().size(); ++i) {
    const TPakEntry& e = pak.Entries()[i];
    if (e.Group != 0 || !(StartsWithNoCase(e.Name, kLanguagePrefix) ||
                          StartsWithNoCase(e.Name, std::string(kUninstallPrefix) + kLanguagePrefix))) {
      continue;
    }
    ++found;
    auto bytes = pak.Extract(i);
    if (!bytes) {
      err << "zq: entry " << i << " \"" << TerminalText(e.Name) << "\" is damaged\n";
      ok = false;
      continue;
    }
    if (found > 1) out << "\n";
    ok = PrintTable(OutputUtf8(e.Name), *bytes, out, err) && ok;
  }
  if (found == 0) out << "no language tables in " << path << "\n";
  return ok ? kExitOk : kExitFailed;
}

}  // namespace zq::tool
