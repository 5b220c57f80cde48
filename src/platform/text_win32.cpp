#include "platform/text.h"

#include "platform/win32_strings.h"

namespace zq::platform {

std::u16string AnsiToWide(const std::string& text) {
  const std::wstring wide = win32::Wide(text);
  return std::u16string(wide.begin(), wide.end());
}

std::string WideToAnsi(const std::u16string& text) {
  const std::wstring wide(text.begin(), text.end());
  return win32::Narrow(wide);
}

std::string AnsiLowerCase(const std::string& text) {
  std::string out = text;
  if (!out.empty()) CharLowerBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

std::string AnsiUpperCase(const std::string& text) {
  std::string out = text;
  if (!out.empty()) CharUpperBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

}  // namespace zq::platform
