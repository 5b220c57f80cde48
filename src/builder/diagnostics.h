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

class Diagnostics {
 public:
  void Error(const std::string& file, std::uint32_t line, const std::string& message);
  void Warning(const std::string& file, std::uint32_t line, const std::string& message);
  bool HasErrors() const { return errors_ > 0; }
  std::size_t ErrorCount() const { return errors_; }
  const std::vector<Diagnostic>& All() const { return all_; }

 private:
  std::vector<Diagnostic> all_;
  std::size_t errors_ = 0;
};

// "file:line: error: message", "file: warning: message" or "zq: error: message".
std::string FormatDiagnostic(const Diagnostic& d);

}  // namespace zq::builder
