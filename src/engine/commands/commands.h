// Building the command objects, and what the command families share.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "engine/command.h"

namespace zq {

class SetupContext;
class TArchiveProcedures;

// Fills the registry with one object of each class in the fixed order. Every row the engine
// runs (BuildStep::Store) has exactly one class among the families, every other row none
// (it gets a class without a run-time action); a row bound otherwise throws std::logic_error.
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

// Argument n (1-based) of a line; empty when the line has fewer (a damaged or hand-made
// script must not make a command read past its arguments).
const std::string& Arg(const SetupContext& ctx, std::uint32_t line, std::size_t n);
std::size_t ArgCount(const SetupContext& ctx, std::uint32_t line);
// Argument n to write back into the loaded line; null when the line has fewer.
std::string* ArgSlot(SetupContext& ctx, std::uint32_t line, std::size_t n);
// Expands the path macros of argument n and stores the result back into the loaded line
// (the commands that do so leave the expanded text for a second run of the line).
std::string ExpandArgInPlace(SetupContext& ctx, std::uint32_t line, std::size_t n);
// The archive procedures; without them the command is logged as passed over and gets null.
TArchiveProcedures* ArchivesFor(SetupContext& ctx, const char* keyword);
// The group number a group-owning line carries last; throws when it is not an integer.
std::uint16_t GroupArg(SetupContext& ctx, std::uint32_t line);
// The k-th jump argument (from 0, in argument order) of the command's line: the integer
// value of the text, -1 when it is none.
std::int32_t JumpTarget(SetupContext& ctx, std::uint32_t line, const CommandInfo& info, int k);

// The path with "$CDDRIVE" replaced by the first optical drive that holds the file, or as it
// was when none does.
std::string SearchOpticalDrives(const std::string& path);

}  // namespace zq
