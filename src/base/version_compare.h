// Dotted versions compared as numbers ("1.10" after "1.9"), for the script's decisions.
#pragma once

#include <optional>
#include <string>

namespace zq {

enum class CompareOp { Less, LessOrEqual, Equal, GreaterOrEqual, Greater, NotEqual };

// "<", "<=", "=", ">=", ">", "<>"; nothing for any other word.
std::optional<CompareOp> ParseCompareOp(const std::string& word);
// Up to four numbers separated by dots, after an optional "v"; a missing part is 0 ("10" is
// "10.0.0.0"). Nothing for
// anything else (empty, a letter, a fifth part, a part over 4294967295).
std::optional<std::string> NormalizedVersion(const std::string& text);
// Whether `a OP b` holds; false when either is not a version.
bool VersionHolds(const std::string& a, CompareOp op, const std::string& b);

}  // namespace zq
