#include "builder/diagnostics.h"

namespace zq::builder {

void Diagnostics::Error(const std::string& file, std::uint32_t line, const std::string& message) {
  all_.push_back({Diagnostic::Severity::Error, file, line, message});
  ++errors_;
  LocateNew();
}

void Diagnostics::Warning(const std::string& file, std::uint32_t line, const std::string& message) {
  all_.push_back({Diagnostic::Severity::Warning, file, line, message});
  LocateNew();
}

void Diagnostics::MapLines(const std::string& script, std::vector<LineOrigin> origins) {
  script_ = script;
  origins_ = std::move(origins);
  several_files_ = false;
  for (const auto& o : origins_) several_files_ = several_files_ || o.file != origins_.front().file;
  mapped_ = true;
  LocateNew();
}

void Diagnostics::LocateNew() {
  if (!mapped_) return;
  for (; located_ < all_.size(); ++located_) Locate(all_[located_]);
}

void Diagnostics::Locate(Diagnostic& d) const {
  if (d.file != script_ || d.line == 0 || d.line > origins_.size()) return;
  const LineOrigin& origin = origins_[d.line - 1];
  d.file = origin.file;
  d.line = origin.line;
}

std::string Diagnostics::LineName(std::uint32_t line) const {
  if (line == 0 || line > origins_.size()) return "line " + std::to_string(line);
  const LineOrigin& origin = origins_[line - 1];
  return "line " + std::to_string(origin.line) + (several_files_ ? " of " + origin.file : std::string());
}

std::string FormatDiagnostic(const Diagnostic& d) {
  std::string where = d.file.empty() ? std::string("zq") : d.file;
  if (d.line > 0) where += ":" + std::to_string(d.line);
  const char* kind = d.severity == Diagnostic::Severity::Error ? "error" : "warning";
  return where + ": " + kind + ": " + d.message;
}

}  // namespace zq::builder
