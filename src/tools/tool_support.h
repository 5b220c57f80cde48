// What every zq command shares: argument parsing, text output, JSON, the progress bar.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zq::tool {

// Exit codes scripts can rely on.
enum ExitCode : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// Arguments of one command: flags (with or without a value) and positionals.
class Args {
 public:
  // `with_value` lists the options that take a value ("-o", "--group").
  Args(const std::vector<std::string>& argv, const std::vector<std::string>& with_value);
  bool Has(const std::string& flag) const;
  std::optional<std::string> Value(const std::string& flag) const;  // the last one given
  std::vector<std::string> Values(const std::string& flag) const;   // each one given, in order
  const std::vector<std::string>& Positionals() const { return positionals_; }
  // Options given that the command does not know; empty when all are known.
  std::vector<std::string> Unknown(const std::vector<std::string>& known) const;
  const std::string& Error() const { return error_; }

 private:
  std::vector<std::pair<std::string, std::string>> options_;
  std::vector<std::string> positionals_;
  std::string error_;
};

// What a command accepts, and its help.
struct CommandSpec {
  const char* usage;
  const char* help;
  std::vector<std::string> options;        // every option it knows, with or without a value
  std::vector<std::string> value_options;  // those that take a value
  std::size_t min_positionals;
  std::size_t max_positionals;
};

// Parses a command's arguments. nullopt when the command is done already: --help was shown
// (exit_code 0) or the arguments were wrong (message and usage on err, exit_code 2).
std::optional<Args> ParseCommand(const CommandSpec& spec, const std::vector<std::string>& argv, std::ostream& out,
                                 std::ostream& err, int& exit_code);

// Text as UTF-8 for the terminal and JSON: well-formed UTF-8 as it is, any other bytes (names
// in an archive written in a legacy code page) read as Windows-1252.
std::string OutputUtf8(const std::string& text);
// A name from a file as a line on a terminal: UTF-8, with every control character (C0, DEL and
// C1) written as "\xNN" of its code, so no name can move the cursor or change the terminal.
std::string TerminalText(const std::string& text);
std::string JsonString(const std::string& utf8);
std::string Hex8(std::uint32_t v);

// "a\b" below `dir` as a path the platform layer opens (host: slashes).
std::string JoinPath(const std::string& dir, const std::string& relative);
// Creates `dir` and its missing parents.
bool MakeDirs(const std::string& dir);
// The first existing link on the way from `dir` to `relative` below it (the last component
// included), as a path; nullopt when there is none. A write through it could land outside `dir`.
std::optional<std::string> LinkBelow(const std::string& dir, const std::string& relative);

// A one-line bar on standard error, only when it is a terminal.
class ProgressBar {
 public:
  ProgressBar(std::string label, std::uint64_t total);
  ~ProgressBar();
  void Update(std::uint64_t done);
  void Finish();

 private:
  std::string label_;
  std::uint64_t total_;
  bool active_;
  int last_percent_ = -1;
};

}  // namespace zq::tool
