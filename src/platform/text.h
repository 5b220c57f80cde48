// 8-bit ANSI text and UTF-16. win32: the system ANSI code page; host: Windows-1252.
#pragma once

#include <string>

namespace zq::platform {

std::u16string AnsiToWide(const std::string& text);
// Characters the code page lacks become "?".
std::string WideToAnsi(const std::u16string& text);
// Lower case by the code page's rules (used for container names and log lines).
std::string AnsiLowerCase(const std::string& text);
std::string AnsiUpperCase(const std::string& text);

// Portable UTF-8 conversions for terminals and host files; invalid input becomes U+FFFD.
std::string WideToUtf8(const std::u16string& text);
std::u16string Utf8ToWide(const std::string& text);

}  // namespace zq::platform
