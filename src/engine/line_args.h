// One line's arguments as its command's row of the table names them: by position, or by the
// role the row gives (jump targets, group, archive, scrambled secret). Commands decode these
// into small structs of their own whose fields say what each argument is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "script/command_table.h"

namespace zq {

struct MacroValues;
struct RunState;

class LineArgs {
 public:
  // Over the run's copy of line `line`; a line past the script has no arguments.
  LineArgs(RunState& run, std::uint32_t line, const CommandInfo& info);

  std::size_t Count() const { return args_ != nullptr ? args_->size() : 0; }
  // Argument n (1-based); empty when the line has fewer (a damaged or hand-made script must not
  // make a command read past its arguments).
  const std::string& operator[](std::size_t n) const;
  // Argument n (1-based) when the line has at least `count` arguments, else empty.
  std::string IfCount(std::size_t n, std::size_t count) const { return Count() >= count ? (*this)[n] : std::string(); }

  // Argument n with its path macros expanded, stored back into the line: a second run of the
  // line reads the expanded text.
  std::string ExpandInPlace(const MacroValues& macros, std::size_t n);
  // The k-th jump argument (from 0, in argument order): the line it names, -1 for none.
  std::int32_t Jump(int k) const;
  // The group number a group-owning line carries last; throws when it is not an integer.
  std::uint16_t Group() const;
  // The argument naming the archive an archive group's line updates.
  const std::string& Archive() const { return (*this)[static_cast<std::size_t>(info_.archive_arg)]; }
  // The argument stored scrambled with the package command key, decoded and stored back into
  // the line as it runs.
  std::string DecodeSecretInPlace();

 private:
  std::vector<std::string>* args_ = nullptr;
  std::uint32_t line_;
  const CommandInfo& info_;
};

}  // namespace zq
