#include "engine/command_line.h"

#include "base/path_text.h"

#include <cstdlib>

namespace zq {

namespace {

bool TakeValue(const std::string& arg, const std::string& upper, const char* name, std::string& value) {
  const std::string prefix = std::string(name) + "=";
  if (upper.rfind(prefix, 0) != 0) return false;
  value = arg.substr(prefix.size());
  return true;
}

}  // namespace

EngineOptions ParseEngineCommandLine(const std::vector<std::string>& args) {
  EngineOptions o;
  for (const std::string& arg : args) {
    const std::string upper = AsciiUpperCase(arg);
    std::string value;
    if (upper == "/S") {
      o.silent = true;
    } else if (TakeValue(arg, upper, "/D", value)) {
      if (value.empty()) o.problems.push_back("/D= needs a folder");
      else o.install_dir = value;
    } else if (TakeValue(arg, upper, "/LANG", value)) {
      char* end = nullptr;
      unsigned long id = std::strtoul(value.c_str(), &end, 16);
      if (value.empty() || *end != '\0' || id > 0xFFFF) o.problems.push_back("/LANG= needs a hexadecimal language identifier, not \"" + value + "\"");
      else o.language = static_cast<std::uint16_t>(id);
    } else if (TakeValue(arg, upper, "/LOG", value)) {
      if (value.empty()) o.problems.push_back("/LOG= needs a file");
      else o.log_file = value;
    } else if (!arg.empty() && arg[0] == '/' && arg.size() <= 6 && arg.find('\\') == std::string::npos &&
               arg.find('/', 1) == std::string::npos) {
      o.problems.push_back("unknown switch " + arg);
    } else if (!o.container) {
      o.container = arg;
    }
  }
  return o;
}

}  // namespace zq
