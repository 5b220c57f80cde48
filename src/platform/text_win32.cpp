#include "platform/text.h"

#include "platform/win32_strings.h"

namespace zq::platform {

namespace {

std::string AsciiMapped(std::string text, bool upper) {
  for (char& c : text) {
    if (upper ? (c >= 'a' && c <= 'z') : (c >= 'A' && c <= 'Z')) c = static_cast<char>(c ^ 0x20);
  }
  return text;
}

std::string SystemCaseMapped(const std::string& text, bool upper) {
  if (IsAscii(text)) return AsciiMapped(text, upper);
  std::wstring wide = win32::Wide(text);
  if (upper) {
    CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  } else {
    CharLowerBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  }
  return win32::Narrow(wide);
}

}  // namespace

std::string LegacyToUtf8(const std::string& text) {
  if (IsAscii(text)) return text;
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return win32::Narrow(wide);
}

std::string Utf8ToLegacy(const std::string& text) {
  if (IsAscii(text)) return text;
  const std::wstring wide = win32::Wide(text);
  const int n =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string LowerCase(const std::string& text) { return SystemCaseMapped(text, false); }
std::string UpperCase(const std::string& text) { return SystemCaseMapped(text, true); }

}  // namespace zq::platform
