// What the builder tells the author, in a compiler's words: "file:line: error: what".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zq::builder {

struct Diagnostic {
  enum class Severity { Warning, Error };
  Severity severity = Severity::Error;
  std::string file;
  std::uint32_t line = 0;  // 0: about the file as a whole
  std::string message;
};

// The file and line a line of the preprocessed script was written on.
struct LineOrigin {
  std::string file;
  std::uint32_t line = 0;
};

class Diagnostics {
 public:
  void Error(const std::string& file, std::uint32_t line, const std::string& message);
  void Warning(const std::string& file, std::uint32_t line, const std::string& message);
  bool HasErrors() const { return errors_ > 0; }
  std::size_t ErrorCount() const { return errors_; }
  const std::vector<Diagnostic>& All() const { return all_; }

  // The compiler reads the preprocessor's output under the script's name: from now on, and for
  // what was recorded before, line N of `script` is told as origins[N - 1]. Recording the same
  // map again changes nothing.
  void MapLines(const std::string& script, std::vector<LineOrigin> origins);
  // Line `line` of the script as a message names it: "line 12", and where the script joins
  // several files "line 12 of common.zqs".
  std::string LineName(std::uint32_t line) const;

 private:
  void LocateNew();
  void Locate(Diagnostic& d) const;

  std::vector<Diagnostic> all_;
  std::size_t errors_ = 0;
  std::string script_;
  std::vector<LineOrigin> origins_;
  bool several_files_ = false;
  bool mapped_ = false;
  std::size_t located_ = 0;  // all_[0, located_) have been told where they came from
};

// "file:line: error: message", "file: warning: message" or "zq: error: message".
std::string FormatDiagnostic(const Diagnostic& d);

}  // namespace zq::builder
