#include "platform/file_names.h"

#include <cctype>
#include <string_view>

namespace zq::platform {
namespace {

thread_local FileFault g_last_fault = FileFault::None;

// MAX_PATH with its terminator; CreateDirectory leaves room for an 8.3 name below the folder.
constexpr std::size_t kMaxFilePath = 260;
constexpr std::size_t kMaxDirPath = 248;

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

FileFault RefusedForCreation(const std::string& path, bool directory) {
  if (path.find('\0') != std::string::npos) return FileFault::BadName;
  const bool full = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                    (path[2] == '\\' || path[2] == '/');
  if (!full) return FileFault::None;
  std::size_t start = 3;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    const std::string_view component(path.data() + start, end - start);
    for (char c : component) {
      if (IsRefusedCharacter(c)) return FileFault::BadName;
    }
    if (!component.empty() && IsDeviceName(component)) return FileFault::BadName;
    start = end + 1;
  }
  if (path.size() + 1 > (directory ? kMaxDirPath : kMaxFilePath)) return FileFault::TooLong;
  return FileFault::None;
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
