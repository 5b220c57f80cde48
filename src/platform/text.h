// Text inside the system is UTF-8 (std::string); UTF-16 only at the Windows API and in the
// language tables. Packages and uninstall logs written before names could hold any character
// carry their text in the system's ANSI code page instead ("legacy" text: the code page of
// the machine on win32, Windows-1252 on the host); it is converted once, where it is read.
#pragma once

#include <string>

namespace zq::platform {

// UTF-8 to and from UTF-16; invalid input becomes U+FFFD.
std::string WideToUtf8(const std::u16string& text);
std::u16string Utf8ToWide(const std::string& text);

// Legacy code page text to UTF-8 and back (characters the code page lacks become "?"); ASCII
// comes back as it is.
std::string LegacyToUtf8(const std::string& text);
std::string Utf8ToLegacy(const std::string& text);
// Whether `text` is ASCII only, so that it reads the same in every encoding.
bool IsAscii(const std::string& text);
// Whether `text` is well-formed UTF-8.
bool IsUtf8(const std::string& text);

// Lower and upper case by Unicode's simple case mappings (win32: the system's own, as its file
// system folds names); ASCII text takes a fast path.
std::string LowerCase(const std::string& text);
std::string UpperCase(const std::string& text);
// The portable mapping behind them on the host (and for tests everywhere).
std::string SimpleCaseMapped(const std::string& text, bool upper);

}  // namespace zq::platform
