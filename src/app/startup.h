// The engine's start-up: find and verify the package, load its records, choose the mode and
// the language, resolve the installation directory, then hand over to the front end.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/command_line.h"

namespace zq {

class SetupContext;
class FrontEnd;

struct StartupEnvironment {
  std::string program_path;            // the running program, as the engine names it
  std::vector<std::string> arguments;  // without the program
  // Writes the error report for an exception that escaped a stage ("" for the outer one).
  std::function<void(SetupContext&, const std::string& message, const std::string& stage)> report_error;
};

// Runs the whole engine; returns the exit code (EngineExit).
int RunEngine(SetupContext& ctx, FrontEnd& front_end, const StartupEnvironment& env);

}  // namespace zq
