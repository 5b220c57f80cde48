#include "script/command.h"

#include "script/commands.h"

namespace zq {

std::size_t TCommandList::Add(std::unique_ptr<TCommandClass> command) {
  commands_.push_back(std::move(command));
  return commands_.size() - 1;
}

TCommandClass* TCommandList::At(std::int32_t command_index) const {
  if (command_index < 1 || static_cast<std::size_t>(command_index) > commands_.size()) return nullptr;
  return commands_[static_cast<std::size_t>(command_index - 1)].get();
}

void RegisterCommands(TCommandList& list) {
  list.Clear();
  for (const CommandInfo& info : CommandTable()) list.Add(MakeCommand(info));
}

std::string RemoveCopyNumbers(const std::string& name, char open, char close) {
  std::string result;
  std::string rest = name;
  while (!rest.empty()) {
    auto o = rest.find(open);
    if (o == std::string::npos) {
      result += rest;
      break;
    }
    result += rest.substr(0, o);
    rest = rest.substr(o + 1);
    auto c = rest.find(close);
    if (c == std::string::npos) {
      result += open;
      result += rest;
      break;
    }
    std::string inside = rest.substr(0, c);
    if (!inside.empty() && inside.find_first_not_of("123456789") != std::string::npos) {
      result += open;
      result += inside;
      result += close;
    }
    rest = rest.substr(c + 1);
  }
  return result;
}

bool SameSetupFileName(const std::string& running, const std::string& expected) {
  return RemoveCopyNumbers(RemoveCopyNumbers(running, '(', ')'), '[', ']') == expected;
}

}  // namespace zq
