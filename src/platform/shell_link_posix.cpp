#include <cstdlib>

#include "platform/files.h"
#include "platform/shell_link.h"

namespace zq::platform {

namespace {
constexpr const char* kHeader = "[zqsetup shell link]";
}

bool CreateShellLink(const ShellLink& link, const std::string& link_file) {
  std::string text = std::string(kHeader) + "\nTarget=" + link.target + "\nArguments=" + link.arguments +
                     "\nWorkingDirectory=" + link.working_directory +
                     "\nShowCommand=" + std::to_string(link.show_command) + "\n";
  if (!link.icon_file.empty()) text += "IconLocation=" + link.icon_file + "," + std::to_string(link.icon_index) + "\n";
  File f;
  return f.Open(link_file, OpenMode::Create) && f.Write(text.data(), text.size()) == text.size();
}

std::optional<ShellLink> ReadShellLink(const std::string& link_file) {
  File f;
  if (!f.Open(link_file, OpenMode::ReadShared)) return std::nullopt;
  std::string text(4096, '\0');
  text.resize(f.Read(text.data(), text.size()));
  if (text.rfind(kHeader, 0) != 0) return std::nullopt;
  ShellLink link;
  std::size_t pos = text.find('\n');
  while (pos != std::string::npos && pos + 1 < text.size()) {
    std::size_t end = text.find('\n', pos + 1);
    std::string line = text.substr(pos + 1, end == std::string::npos ? std::string::npos : end - pos - 1);
    pos = end;
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "Target") link.target = value;
    else if (key == "Arguments") link.arguments = value;
    else if (key == "WorkingDirectory") link.working_directory = value;
    else if (key == "ShowCommand") link.show_command = std::atoi(value.c_str());
    else if (key == "IconLocation") {
      auto comma = value.rfind(',');
      link.icon_file = value.substr(0, comma);
      if (comma != std::string::npos) link.icon_index = std::atoi(value.c_str() + comma + 1);
    }
  }
  return link;
}

ComApartment::ComApartment(When) {}
ComApartment::~ComApartment() = default;
void ComApartment::EnterDeferred() {}

}  // namespace zq::platform
