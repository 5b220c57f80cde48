// The command classes: one per script keyword, each with the run-time action of its lines and
// the kind of package group it owns. (The build-time half lives in the package builder.)
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/line_args.h"
#include "script/command_table.h"

namespace zq {

struct RunScope;

class TCommandClass {
 public:
  explicit TCommandClass(const CommandInfo& info)
      : Keyword(info.keyword), DefinitionOnly(info.IsDefinition()), info_(info) {}
  virtual ~TCommandClass() = default;

  // Runs one line: the line at `line` (its own position), on the script worker.
  virtual void SFXProcess(const RunScope& /*ctx*/, std::uint32_t /*line*/) {}
  GroupKind GetGroupKind() const { return info_.group_kind; }
  // The command's row of the table (argument roles and counts).
  const CommandInfo& Info() const { return info_; }
  // The arguments of line `line` in the run's copy of the script, by this command's row.
  LineArgs ArgsOf(RunState& run, std::uint32_t line) const { return LineArgs(run, line, info_); }

  const std::string Keyword;
  const bool DefinitionOnly;

 private:
  CommandInfo info_;
};

class TCommandList {
 public:
  // Returns the zero-based position (command index - 1).
  std::size_t Add(std::unique_ptr<TCommandClass> command);
  // Command index 1..kCommandCount -> its command; nullptr for anything else.
  TCommandClass* At(std::int32_t command_index) const;
  std::size_t Count() const { return commands_.size(); }
  void Clear() { commands_.clear(); }

 private:
  std::vector<std::unique_ptr<TCommandClass>> commands_;
};

}  // namespace zq
