// Building the command objects, and what the command families share.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "engine/command.h"

namespace zq {

struct RunScope;
class ArchiveProcedures;

// Fills the registry with one object of each class in the fixed order. Every row the engine
// runs (BuildStep::Store) has exactly one class among the families, every other row none
// (it gets a class without a run-time action); a row bound otherwise throws zq::Error.
void RegisterCommands(TCommandList& list);

// The object for a registry row.
std::unique_ptr<TCommandClass> MakeCommand(const CommandInfo& info);

// A class bound to a table row by the row's keyword, checked when it compiles.
struct CommandBinding {
  std::int32_t index;
  std::unique_ptr<TCommandClass> (*make)(const CommandInfo&);
};
template <class T>
std::unique_ptr<TCommandClass> MakeAs(const CommandInfo& info) {
  return std::make_unique<T>(info);
}
template <class T>
consteval CommandBinding Bind(std::string_view keyword) {
  return {CommandIndexOf(keyword), &MakeAs<T>};
}

// The classes of each family.
std::span<const CommandBinding> FlowCommands();
std::span<const CommandBinding> FileCommands();
std::span<const CommandBinding> RegistryCommands();
std::span<const CommandBinding> LogArchiveCommands();
std::span<const CommandBinding> DecisionCommands();

// The archive procedures; without them the command is logged as passed over and gets null.
ArchiveProcedures* ArchivesFor(const RunScope& ctx, const char* keyword);

// The path with "$CDDRIVE" replaced by the first optical drive that holds the file, or as it
// was when none does.
std::string SearchOpticalDrives(const std::string& path);

}  // namespace zq
