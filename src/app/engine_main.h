// Everything the engine's main does: the context, the log, the front end, start-up.
#pragma once

#include <string>
#include <vector>

namespace zq {

// Runs the engine with these arguments (without the program) and returns its exit code.
int EngineMain(const std::vector<std::string>& args);

}  // namespace zq
