#include "base/path_text.h"

#include <algorithm>
#include <vector>

#include <limits>

namespace zq {

namespace {

template <typename S>
S AddBackslash(const S& path) {
  if (path.empty() || path.back() == '\\') return path;
  S out = path;
  out.push_back('\\');
  return out;
}

template <typename S>
std::int32_t ToInt(const S& text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return -1;
  long long v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    v = v * 10 + (text[i] - '0');
    if (v > static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1) return -1;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<std::int32_t>::max()) return -1;
  return static_cast<std::int32_t>(v);
}

}  // namespace

std::string AsciiLowerCase(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

std::string AsciiUpperCase(std::string text) {
  for (char& c : text) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return text;
}

bool SameTextAscii(const std::string& a, const std::string& b) { return AsciiLowerCase(a) == AsciiLowerCase(b); }

std::string IncludeTrailingBackslash(const std::string& path) { return AddBackslash(path); }
std::u16string IncludeTrailingBackslash(const std::u16string& path) { return AddBackslash(path); }

std::string ExtractFileDir(const std::string& path) {
  auto p = path.find_last_of("\\/");
  if (p == std::string::npos) return "";
  // Keep the root's own backslash ("C:\x" -> "C:\").
  if (p == 2 && path.size() > 1 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, p);
}

std::string ResolveDotComponents(const std::string& path) {
  const bool full = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  if (!full) return path;
  std::vector<std::string> kept;  // each component with the separator that follows it
  bool changed = false, ends_in_dots = false;
  for (std::size_t start = 3; start < path.size();) {
    const std::size_t end = std::min(path.find_first_of("\\/", start), path.size());
    const std::string name = path.substr(start, end - start);
    ends_in_dots = name == "." || name == "..";
    if (ends_in_dots) {
      changed = true;
      if (name == ".." && !kept.empty()) kept.pop_back();
    } else {
      kept.push_back(path.substr(start, end + 1 - start));
    }
    start = end + 1;
  }
  if (!changed) return path;
  std::string out = path.substr(0, 3);
  for (const auto& part : kept) out += part;
  // "C:\a\b\.." names "C:\a", without the separator that followed "a".
  if (ends_in_dots && path.back() != '\\' && path.back() != '/' && out.size() > 3) out.pop_back();
  return out;
}

std::string ExtractFileName(const std::string& path) {
  auto p = path.find_last_of("\\/:");
  return p == std::string::npos ? path : path.substr(p + 1);
}

std::pair<std::u16string, std::u16string> SplitNameValue(const std::u16string& text) {
  auto p = text.find(u'=');
  if (p == std::u16string::npos) return {u"", text};
  return {text.substr(0, p), text.substr(p + 1)};
}

std::int32_t StrToIntOr(const std::string& text) { return ToInt(text); }
std::int32_t StrToIntOr(const std::u16string& text) { return ToInt(text); }

std::string RemoveCopyNumbers(const std::string& name, char open, char close) {
  std::string result;
  std::string rest = name;
  while (!rest.empty()) {
    auto o = rest.find(open);
    if (o == std::string::npos) {
      result += rest;
      break;
    }
    result += rest.substr(0, o);
    rest = rest.substr(o + 1);
    auto c = rest.find(close);
    if (c == std::string::npos) {
      result += open;
      result += rest;
      break;
    }
    std::string inside = rest.substr(0, c);
    // A copy number as browsers write it: 1, 2, ... 12, with or without a blank before it.
    const bool copy_number = inside.empty() ||
                             (inside[0] != '0' && inside.find_first_not_of("0123456789") == std::string::npos);
    if (copy_number) {
      if (!result.empty() && result.back() == ' ') result.pop_back();
    } else {
      result += open;
      result += inside;
      result += close;
    }
    rest = rest.substr(c + 1);
  }
  return result;
}

bool SameSetupFileName(const std::string& running, const std::string& expected) {
  return RemoveCopyNumbers(RemoveCopyNumbers(running, '(', ')'), '[', ']') == expected;
}

}  // namespace zq
