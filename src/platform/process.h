// Starting programs and waiting for them; this program's own command line.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zq::platform {

// A started program. Closes its handle when destroyed (the program keeps running).
class Process {
 public:
  virtual ~Process() = default;
  // nullopt while it runs, else its exit code.
  virtual std::optional<std::uint32_t> ExitCode() = 0;
  // Blocks until it ends or `timeout_ms` has passed; its exit code when it has ended.
  virtual std::optional<std::uint32_t> WaitForExit(std::uint32_t timeout_ms) = 0;
};

// Starts `file` with the shell's default action and `parameters` as its command line, in a
// normal window. nullptr when it cannot be started. Host: `file` (a Windows or host path) is
// started when it is an executable program; anything else cannot be started.
std::unique_ptr<Process> ShellExecuteProcess(const std::string& file, const std::string& parameters);

// Starts `file` with `parameters` in `directory`, without waiting, as the desktop's own user:
// asked of the shell that runs the desktop, so a program an elevated setup offers to run is
// not elevated. Where no desktop shell answers, it is started as ShellExecuteProcess starts
// it. False when it could not be started.
bool StartAsDesktopUser(const std::string& file, const std::string& parameters, const std::string& directory);

// This program's command line as the system passed it, before it was split into arguments
// (blanks kept as they were); empty where the system keeps none (a POSIX host).
std::string RawCommandLine();

}  // namespace zq::platform
