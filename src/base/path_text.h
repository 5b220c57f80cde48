// Small text helpers for paths and name=value pairs.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace zq {

// Letters A-Z folded, everything else as it is: names the system compares this way (script
// keywords, registry roots, page files, log lines).
std::string AsciiLowerCase(std::string text);
std::string AsciiUpperCase(std::string text);
bool SameTextAscii(const std::string& a, const std::string& b);

std::string IncludeTrailingBackslash(const std::string& path);
std::u16string IncludeTrailingBackslash(const std::u16string& path);
// Directory part without the trailing backslash ("C:\a\b.txt" -> "C:\a"); "" without one.
std::string ExtractFileDir(const std::string& path);
// A full path ("X:\...") with its "." and ".." components resolved as the system resolves them
// (".." never above the drive root); separators and a trailing backslash are kept. Other
// paths, which depend on a current folder, come back unchanged.
std::string ResolveDotComponents(const std::string& path);
// Name part after the last "\", "/" or ":".
std::string ExtractFileName(const std::string& path);
// "name=value" -> {name, value}; without "=" the name is empty and the value the whole text.
std::pair<std::u16string, std::u16string> SplitNameValue(const std::u16string& text);
// A standard decimal integer conversion (optional sign, then digits, nothing else, 32 bits);
// -1 when it fails.
std::int32_t StrToIntOr(const std::string& text);
std::int32_t StrToIntOr(const std::u16string& text);

// True when the running setup's name is the expected one once browser copy numbers such as
// "(1)", " (12)" or "[2]" (a number without a leading zero, with the blank before it) are
// removed from it. Both names are compared as given (callers lower-case).
bool SameSetupFileName(const std::string& running, const std::string& expected);
std::string RemoveCopyNumbers(const std::string& name, char open, char close);

}  // namespace zq
