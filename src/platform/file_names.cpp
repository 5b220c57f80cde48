#include "platform/file_names.h"

#include <cctype>
#include <string_view>
#include <vector>

namespace zq::platform {
namespace {

thread_local FileFault g_last_fault = FileFault::None;

// Through the extended-length form the system takes 32,767 UTF-16 units with the terminator
// and the "\\?\" in front, and 255 in one component.
constexpr std::size_t kMaxPathUnits = 32767 - 4 - 1;
constexpr std::size_t kMaxComponentUnits = 255;
// Below this, paths go to the system as they are (CreateDirectory leaves room for an 8.3 name
// below a folder, so folders reach the old limit 12 units sooner).
constexpr std::size_t kPlainPathUnits = 248;

// UTF-16 units of UTF-8 text: one per sequence, two for a four-byte one.
std::size_t Utf16Units(std::string_view text) {
  std::size_t units = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++units;
    if (c >= 0xF0) ++units;
  }
  return units;
}

bool IsFullDrivePath(const std::string& path) {
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
         (path[2] == '\\' || path[2] == '/');
}

bool SameAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// The device is named by the part before the first dot, trailing blanks ignored: "nul .txt".
bool IsDeviceName(std::string_view component) {
  std::string_view base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (SameAsciiNoCase(base, device)) return true;
  }
  if (base.size() == 4 && (SameAsciiNoCase(base.substr(0, 3), "COM") || SameAsciiNoCase(base.substr(0, 3), "LPT"))) {
    return base[3] >= '1' && base[3] <= '9';
  }
  return false;
}

bool IsRefusedCharacter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos;
}

}  // namespace

FileFault RefusedForCreation(const std::string& path, bool /*directory*/) {
  if (path.find('\0') != std::string::npos) return FileFault::BadName;
  if (!IsFullDrivePath(path)) return FileFault::None;
  std::size_t start = 3;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    const std::string_view component(path.data() + start, end - start);
    for (char c : component) {
      if (IsRefusedCharacter(c)) return FileFault::BadName;
    }
    if (!component.empty() && IsDeviceName(component)) return FileFault::BadName;
    if (Utf16Units(component) > kMaxComponentUnits) return FileFault::TooLong;
    start = end + 1;
  }
  if (Utf16Units(path) > kMaxPathUnits) return FileFault::TooLong;
  return FileFault::None;
}

std::string SystemPathForm(const std::string& path) {
  if (!IsFullDrivePath(path) || Utf16Units(path) < kPlainPathUnits) return path;
  // The system takes the extended form literally: the resolving it would do is done here.
  std::vector<std::string_view> parts;
  std::size_t start = 3;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    std::string_view part(path.data() + start, end - start);
    // Windows drops trailing dots and blanks of a component.
    while (!part.empty() && (part.back() == '.' || part.back() == ' ') && part != "." && part != "..") {
      part.remove_suffix(1);
    }
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string out = "\\\\?\\";
  out += path.substr(0, 2);
  for (const auto& part : parts) {
    out += '\\';
    out += part;
  }
  if (parts.empty()) out += '\\';
  return out;
}

void NoteFileFault(FileFault fault) { g_last_fault = fault; }

FileFault LastFileFault() { return g_last_fault; }

const char* FileFaultText(FileFault fault) {
  switch (fault) {
    case FileFault::BadName: return "Windows does not allow this name";
    case FileFault::TooLong: return "the path is longer than Windows allows";
    case FileFault::AccessDenied: return "access is denied (the file may be read-only or in use)";
    case FileFault::DiskFull: return "the disk is full";
    case FileFault::InUse: return "another program is using it";
    case FileFault::Missing: return "its folder could not be created";
    case FileFault::Other: return "the system refused to write it";
    case FileFault::None: break;
  }
  return "";
}

}  // namespace zq::platform
