#include "builder/diagnostics.h"

namespace zq::builder {

void Diagnostics::Error(const std::string& file, std::uint32_t line, const std::string& message) {
  all_.push_back({Diagnostic::Severity::Error, file, line, message});
  ++errors_;
}

void Diagnostics::Warning(const std::string& file, std::uint32_t line, const std::string& message) {
  all_.push_back({Diagnostic::Severity::Warning, file, line, message});
}

std::string FormatDiagnostic(const Diagnostic& d) {
  std::string where = d.file.empty() ? std::string("zq") : d.file;
  if (d.line > 0) where += ":" + std::to_string(d.line);
  const char* kind = d.severity == Diagnostic::Severity::Error ? "error" : "warning";
  return where + ": " + kind + ": " + d.message;
}

}  // namespace zq::builder
