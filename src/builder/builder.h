// `zq build` without its command line: compile a script and write the setup.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "builder/diagnostics.h"

namespace zq::builder {

struct BuildOptions {
  std::string script;
  std::string output;  // empty: the script's outfile beside the script, else script name + ".exe"
  std::string stub;    // empty: the engine program beside the tool
  std::string finaliser;
  std::string uninstall_icon;
  // `-D NAME=VALUE`: names the script's !ifdef and ${NAME} see, whatever its !define says.
  std::map<std::string, std::string> defines;
  // nullopt: the stock tables' usual places (StockLanguageDirs).
  std::optional<std::vector<std::string>> stock_language_dirs;
  std::optional<std::vector<std::string>> stock_page_dirs;  // unset: StockPageDirs()
  // `--sign`: the command that signs a file, naming it "{in}" and the signed copy "{out}";
  // empty: nothing is signed.
  std::string sign;
  unsigned threads = 0;
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
};

struct BuildResult {
  bool ok = false;
  std::string output;
  std::vector<Diagnostic> diagnostics;
  std::size_t entries = 0;
  std::size_t groups = 0;
  std::uint64_t source_bytes = 0;   // the entries' data
  std::uint64_t package_bytes = 0;  // as stored
  std::size_t solid_blocks = 0;
};

BuildResult BuildSetup(const BuildOptions& options);

// Where the setup of `script` goes when no output is named.
std::string DefaultOutput(const std::string& script, const std::string& setup_exe_name);

}  // namespace zq::builder
