#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/host_prefix.h"
#include "platform/process.h"

extern char** environ;

namespace zq::platform {

namespace {

class PosixProcess : public Process {
 public:
  explicit PosixProcess(pid_t pid) : pid_(pid) {}
  ~PosixProcess() override {
    // Reap it when it has ended; a program still running is left to run, as on Windows.
    if (!code_) waitpid(pid_, nullptr, WNOHANG);
  }
  std::optional<std::uint32_t> ExitCode() override {
    if (code_) return code_;
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      code_ = WIFEXITED(status) ? static_cast<std::uint32_t>(WEXITSTATUS(status)) : 1u;
    } else if (r < 0) {
      code_ = 1u;
    }
    return code_;
  }
  std::optional<std::uint32_t> WaitForExit(std::uint32_t timeout_ms) override {
    if (code_) return code_;
    // A pidfd becomes readable when the process ends, so the wait needs no polling.
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    if (fd >= 0) {
      pollfd p{fd, POLLIN, 0};
      poll(&p, 1, static_cast<int>(timeout_ms));
      close(fd);
    } else {
      usleep(std::min<std::uint32_t>(timeout_ms, 10) * 1000);  // a kernel without pidfds
    }
    return ExitCode();
  }

 private:
  pid_t pid_;
  std::optional<std::uint32_t> code_;
};

// Splits a command line the way a Windows program would: blanks separate, double quotes group.
std::vector<std::string> SplitParameters(const std::string& line) {
  std::vector<std::string> out;
  std::string cur;
  bool quoted = false, any = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) out.push_back(cur);
      cur.clear();
      any = false;
    } else {
      cur += c;
      any = true;
    }
  }
  if (any) out.push_back(cur);
  return out;
}

// On Windows any program file can be started; a host program written by the engine (the
// finaliser) carries no execute bit yet, so a file that is a program gets one.
bool MakeRunnable(const std::string& host, const struct stat& st) {
  if (access(host.c_str(), X_OK) == 0) return true;
  char magic[4] = {};
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const ssize_t n = read(fd, magic, sizeof magic);
  close(fd);
  const bool program = (n == 4 && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F') ||
                       (n >= 2 && magic[0] == '#' && magic[1] == '!');
  return program && chmod(host.c_str(), st.st_mode | S_IXUSR) == 0;
}

}  // namespace

std::unique_ptr<Process> ShellExecuteProcess(const std::string& file, const std::string& parameters) {
  auto host = HostPath(file);
  struct stat st {};
  if (!host || stat(host->c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !MakeRunnable(*host, st)) {
    return nullptr;
  }
  std::vector<std::string> args{*host};
  for (auto& p : SplitParameters(parameters)) args.push_back(p);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The started program gets no input; the engine's own terminal is not its to read.
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, host->c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return nullptr;
  return std::make_unique<PosixProcess>(pid);
}

// The host has no elevation: the engine already runs as the desktop's user.
bool StartAsDesktopUser(const std::string& file, const std::string& parameters, const std::string&) {
  return ShellExecuteProcess(file, parameters) != nullptr;
}

std::string RawCommandLine() { return {}; }

}  // namespace zq::platform
