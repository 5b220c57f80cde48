#include "engine/command.h"

namespace zq {

std::size_t TCommandList::Add(std::unique_ptr<TCommandClass> command) {
  commands_.push_back(std::move(command));
  return commands_.size() - 1;
}

TCommandClass* TCommandList::At(std::int32_t command_index) const {
  if (command_index < 1 || static_cast<std::size_t>(command_index) > commands_.size()) return nullptr;
  return commands_[static_cast<std::size_t>(command_index - 1)].get();
}

}  // namespace zq
