// A compiled script line for tests that write a setup's lines directly.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "script/command_table.h"
#include "script/comp_lines.h"

namespace zq::test {

inline TCompLine CompiledLine(const char* keyword, std::vector<std::string> args, std::uint32_t position) {
  TCompLine l;
  l.CommandIndex = FindCommand(keyword)->index;
  l.Args = std::move(args);
  l.ArgCount = static_cast<std::int32_t>(l.Args.size());
  l.LineNumber = position;
  return l;
}

}  // namespace zq::test
