#include "engine/command_line.h"

#include <cctype>
#include <cstdlib>
#include <string_view>

#include "base/path_text.h"
#include "platform/file_names.h"

namespace zq {

namespace {

bool TakeValue(const std::string& arg, const std::string& upper, const char* name, std::string& value) {
  const std::string prefix = std::string(name) + "=";
  if (upper.rfind(prefix, 0) != 0) return false;
  value = arg.substr(prefix.size());
  return true;
}

// A switch starts with "/" or "-"; a path that starts so ("/tmp/setup.exe" on a host) has a
// further separator and is taken for the package file.
bool LooksLikeSwitch(const std::string& arg) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return false;
  return arg.find_first_of("/\\", 1) == std::string::npos;
}

}  // namespace

std::string InstallDirProblem(const std::string& folder) {
  if (folder.empty()) return "/D= needs a folder";
  for (unsigned char c : folder) {
    if (c < 0x20 || std::string_view("<>|?*\"").find(static_cast<char>(c)) != std::string_view::npos) {
      return "the folder \"" + folder + "\" holds a character that a path cannot hold";
    }
  }
  const bool drive = folder.size() >= 3 && std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':' &&
                     (folder[2] == '\\' || folder[2] == '/');
  const bool network = folder.rfind("\\\\", 0) == 0 && folder.size() > 2;
  const bool macro = folder[0] == '$';
  if (!drive && !network && !macro) {
    return "the folder \"" + folder + "\" is not absolute: give a drive (C:\\...), a network path or a macro";
  }
  if (folder.find(':', 2) != std::string::npos) return "the folder \"" + folder + "\" holds a \":\" after its drive";
  return FolderNameProblem(folder);
}

std::string FolderNameProblem(const std::string& folder) {
  // The deepest file below it: an entry name as long as a package holds (127 bytes).
  switch (platform::RefusedForCreation(folder + "\\" + std::string(127, 'x'), false)) {
    case platform::FileFault::TooLong:
      return "the folder \"" + folder +
             "\" is too long: the paths of the files below it would be longer than Windows allows";
    case platform::FileFault::BadName:
      return "the folder \"" + folder + "\" holds a name or character that Windows does not allow in a path";
    default: return {};
  }
}

std::string EngineUsage() {
  return "usage: setup [/S] [/LANG=xxxx] [/LOG=file] [/COMPONENTS=a,b] [package-file] [/D=folder]\n"
         "  /S          silent: no windows; every question takes its default answer\n"
         "  /LANG=xxxx  the language, a hexadecimal language identifier (0409 English, 0407 German)\n"
         "  /LOG=file   a readable log of everything done, with the exit code\n"
         "  /COMPONENTS=a,b  install exactly these components (and the fixed ones); an unknown\n"
         "              name is refused\n"
         "  /D=folder   the installation folder: absolute, or starting with a macro such as\n"
         "              $PROGRAMFILES; it takes the rest of the line, blanks included, so it comes last\n"
         "  /? /HELP    this text\n"
         "exit codes: 0 done, 1 cancelled by the user, 2 the script failed, 3 refused (a damaged\n"
         "package, a renamed setup, a bad command line), 4 internal error (an error report is written),\n"
         "1618 another setup or uninstall of the product is running (retry later)\n";
}

EngineOptions ParseEngineCommandLine(const std::vector<std::string>& args) {
  EngineOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const std::string upper = AsciiUpperCase(arg);
    std::string value;
    if (upper == "/S") {
      o.silent = true;
    } else if (upper == "/?" || upper == "/HELP") {
      o.help = true;
    } else if (TakeValue(arg, upper, "/D", value)) {
      // The rest of the line is the folder: a deployment tool passes it unquoted.
      for (std::size_t j = i + 1; j < args.size(); ++j) value += " " + args[j];
      i = args.size();
      const std::string problem = InstallDirProblem(value);
      if (!problem.empty()) o.problems.push_back(problem);
      else o.install_dir = value;
    } else if (TakeValue(arg, upper, "/LANG", value)) {
      char* end = nullptr;
      unsigned long id = std::strtoul(value.c_str(), &end, 16);
      if (value.empty() || *end != '\0' || id > 0xFFFF)
        o.problems.push_back("/LANG= needs a hexadecimal language identifier, not \"" + value + "\"");
      else o.language = static_cast<std::uint16_t>(id);
    } else if (TakeValue(arg, upper, "/COMPONENTS", value)) {
      std::vector<std::string> names;
      for (std::size_t start = 0; start <= value.size() && !value.empty();) {
        std::size_t comma = value.find(',', start);
        if (comma == std::string::npos) comma = value.size();
        const std::string name = value.substr(start, comma - start);
        if (!name.empty()) names.push_back(name);
        start = comma + 1;
      }
      o.components = std::move(names);
    } else if (TakeValue(arg, upper, "/LOG", value)) {
      if (value.empty()) o.problems.push_back("/LOG= needs a file");
      else o.log_file = value;
    } else if (LooksLikeSwitch(arg)) {
      o.problems.push_back("unknown switch " + arg);
    } else if (!o.container) {
      o.container = arg;
    }
  }
  return o;
}

}  // namespace zq
