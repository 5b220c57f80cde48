// Which programs hold a file open, so that a file in use can be named with its holders.
#pragma once

#include <string>
#include <vector>

namespace zq::platform {

// The names of the programs that hold `path` open, as the system's restart manager knows them;
// empty when none is known (the host, or a system that cannot tell).
std::vector<std::string> ProgramsHolding(const std::string& path);

}  // namespace zq::platform
