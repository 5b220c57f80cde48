// Building the command objects, and what the command families share.
#pragma once

#include <memory>
#include <string>

#include "engine/command.h"

namespace zq {

class SetupContext;
class TArchiveProcedures;

// Fills the registry with one object of each class in the fixed order.
void RegisterCommands(TCommandList& list);

// The object for a registry row; every row has one.
std::unique_ptr<TCommandClass> MakeCommand(const CommandInfo& info);

// One family each; nullptr for a keyword of another family.
std::unique_ptr<TCommandClass> MakeFlowCommand(const CommandInfo& info);
std::unique_ptr<TCommandClass> MakeFileCommand(const CommandInfo& info);
std::unique_ptr<TCommandClass> MakeRegistryCommand(const CommandInfo& info);
std::unique_ptr<TCommandClass> MakeDefinitionCommand(const CommandInfo& info);

// Argument n (1-based) of a line; empty when the line has fewer (a damaged or hand-made
// script must not make a command read past its arguments).
std::string& Arg(SetupContext& ctx, std::uint32_t line, std::size_t n);
std::size_t ArgCount(const SetupContext& ctx, std::uint32_t line);
// Expands the path macros of argument n and stores the result back into the loaded line
// (the commands that do so leave the expanded text for a second run of the line).
std::string& ExpandArgInPlace(SetupContext& ctx, std::uint32_t line, std::size_t n);
// The archive procedures; without them the command is logged as passed over and gets null.
TArchiveProcedures* ArchivesFor(SetupContext& ctx, const char* keyword);
// The group number a group-owning line carries last; throws when it is not an integer.
std::uint16_t GroupArg(SetupContext& ctx, std::uint32_t line);
// A jump target: the integer value of the text, -1 when it is none.
std::int32_t TargetArg(SetupContext& ctx, std::uint32_t line, std::size_t n);

// The path with "$CDDRIVE" replaced by the first optical drive that holds the file, or as it
// was when none does.
std::string SearchOpticalDrives(const std::string& path);

}  // namespace zq
