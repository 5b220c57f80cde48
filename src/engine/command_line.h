// The engine's command line: one optional file to take the package from, and switches that
// are compared without regard to case and never taken for that file. "/D=" takes the rest of
// the line, blanks included and without quotes, as deployment tools pass it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zq {

struct EngineOptions {
  bool silent = false;                     // /S
  std::optional<std::string> install_dir;  // /D=dir
  std::optional<std::uint16_t> language;   // /LANG=xxxx (hexadecimal)
  std::optional<std::string> log_file;     // /LOG=file
  // /COMPONENTS=a,b: exactly these components (and the fixed ones); empty after "=" for none.
  std::optional<std::vector<std::string>> components;
  std::optional<std::string> container;  // the first argument that is not a switch
  bool help = false;                     // /? or /HELP
  std::vector<std::string> problems;     // switches that could not be read: a refusal
};

EngineOptions ParseEngineCommandLine(const std::vector<std::string>& args);

// Why a folder given with /D= cannot be an installation folder; empty when it can. It must be
// absolute (a drive or a network path) or start with a macro such as $PROGRAMFILES.
std::string InstallDirProblem(const std::string& folder);
// Why Windows could not take a full folder path and the files below it (a reserved name, or
// too long); empty when it can or when the path is not a full one.
std::string FolderNameProblem(const std::string& folder);

// The switches and exit codes, for /? and for a refusal of the command line.
std::string EngineUsage();

}  // namespace zq
