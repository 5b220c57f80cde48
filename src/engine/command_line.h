// The engine's command line: one optional file to take the package from, and switches that
// are compared without regard to case and never taken for that file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zq {

struct EngineOptions {
  bool silent = false;                      // /S
  std::optional<std::string> install_dir;   // /D=dir
  std::optional<std::uint16_t> language;    // /LANG=xxxx (hexadecimal)
  std::optional<std::string> log_file;      // /LOG=file
  std::optional<std::string> container;     // the first argument that is not a switch
  std::vector<std::string> problems;        // switches that could not be read
};

EngineOptions ParseEngineCommandLine(const std::vector<std::string>& args);

}  // namespace zq
