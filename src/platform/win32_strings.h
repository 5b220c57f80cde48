// win32 only, private to platform/: the system's UTF-8 strings to and from the W APIs' UTF-16.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <string>

namespace zq::platform::win32 {

inline std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

inline std::string Narrow(const wchar_t* text, std::size_t size) {
  if (size == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), out.data(), n, nullptr, nullptr);
  return out;
}

inline std::string Narrow(const std::wstring& text) { return Narrow(text.data(), text.size()); }

}  // namespace zq::platform::win32

#endif
