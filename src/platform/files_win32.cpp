#include "platform/files.h"

#include <windows.h>

#include <climits>

#include "platform/file_names.h"
#include "platform/machine_view.h"
#include "platform/win32_strings.h"

namespace zq::platform {
namespace {

// Every path reaches the system in the form it takes at any length.
std::wstring Wide(const std::string& path) { return win32::Wide(SystemPathForm(path)); }

// Large transfers go in pieces a DWORD can count.
constexpr std::size_t kChunk = 1u << 30;

std::optional<DWORD> Attributes(const std::string& path) {
  const FileViewScope view;
  DWORD attrs = GetFileAttributesW(Wide(path).c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return attrs;
}

struct ModeFlags {
  DWORD access, share, disposition;
};

ModeFlags FlagsFor(OpenMode mode) {
  constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
  switch (mode) {
    case OpenMode::ReadShared:
      return {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING};
    case OpenMode::ReadExclusive: return {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING};
    case OpenMode::ReadWrite: return {kReadWrite, FILE_SHARE_READ, OPEN_EXISTING};
    case OpenMode::Create: return {kReadWrite, FILE_SHARE_READ, CREATE_ALWAYS};
    case OpenMode::OpenOrCreate: return {kReadWrite, FILE_SHARE_READ, OPEN_ALWAYS};
  }
  return {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING};
}

bool IsReadOnlyFile(const std::wstring& path) {
  const FileViewScope view;
  DWORD attrs = GetFileAttributesW(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY) && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

FileFault FaultOf(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return FileFault::AccessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return FileFault::DiskFull;
    case ERROR_FILENAME_EXCED_RANGE: return FileFault::TooLong;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return FileFault::Missing;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY: return FileFault::BadName;
    default: return FileFault::Other;
  }
}

// Checked before the system is asked: it would open a device name as the device.
bool Refused(const std::string& path, bool directory) {
  const FileFault fault = RefusedForCreation(path, directory);
  if (fault == FileFault::None) return false;
  NoteFileFault(fault);
  SetLastError(fault == FileFault::TooLong ? ERROR_FILENAME_EXCED_RANGE : ERROR_INVALID_NAME);
  return true;
}

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

}  // namespace

File::~File() { Close(); }

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

bool File::Open(const std::string& path, OpenMode mode) {
  const FileViewScope view;
  Close();
  const ModeFlags f = FlagsFor(mode);
  if (f.disposition != OPEN_EXISTING && Refused(path, false)) return false;
  const std::wstring wpath = Wide(path);
  if (f.disposition == CREATE_ALWAYS) {
    // Most files a setup writes are new. Under Wine every look-up of a missing name reads its
    // whole folder (names are matched without regard to case), so a new file is made with one
    // look-up instead of the read-only check's and the creation's two; a name that is taken
    // goes the way below.
    HANDLE h = CreateFileW(wpath.c_str(), f.access, f.share, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      handle_ = h;
      NoteFileFault(FileFault::None);
      return true;
    }
  }
  // Windows refuses these itself; Wine running as root would not.
  if ((f.access & GENERIC_WRITE) && IsReadOnlyFile(wpath)) {
    SetLastError(ERROR_ACCESS_DENIED);
    NoteFileFault(FileFault::AccessDenied);
    return false;
  }
  HANDLE h = CreateFileW(wpath.c_str(), f.access, f.share, nullptr, f.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    NoteFileFault(FaultOf(GetLastError()));
    return false;
  }
  handle_ = h;
  NoteFileFault(FileFault::None);
  return true;
}

void File::Close() {
  if (handle_ != nullptr) CloseHandle(handle_);
  handle_ = nullptr;
}

bool File::IsOpen() const { return handle_ != nullptr; }

std::size_t File::Read(void* buffer, std::size_t count) {
  if (handle_ == nullptr) return 0;
  auto* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    DWORD want = static_cast<DWORD>(count - done < kChunk ? count - done : kChunk);
    DWORD got = 0;
    if (!ReadFile(handle_, p + done, want, &got, nullptr) || got == 0) break;
    done += got;
  }
  return done;
}

std::size_t File::Write(const void* buffer, std::size_t count) {
  if (handle_ == nullptr) return 0;
  const auto* p = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    DWORD want = static_cast<DWORD>(count - done < kChunk ? count - done : kChunk);
    DWORD put = 0;
    const BOOL written = WriteFile(handle_, p + done, want, &put, nullptr);
    if (!written || put == 0) {
      NoteFileFault(written ? FileFault::DiskFull : FaultOf(GetLastError()));
      break;
    }
    done += put;
  }
  return done;
}

bool File::Seek(std::uint64_t position) {
  if (handle_ == nullptr || position > static_cast<std::uint64_t>(LLONG_MAX)) return false;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) != 0;
}

bool File::SeekToEnd() {
  LARGE_INTEGER zero{};
  return handle_ != nullptr && SetFilePointerEx(handle_, zero, nullptr, FILE_END) != 0;
}

std::optional<std::uint64_t> File::Position() const {
  LARGE_INTEGER zero{}, now{};
  if (handle_ == nullptr || !SetFilePointerEx(handle_, zero, &now, FILE_CURRENT)) return std::nullopt;
  return static_cast<std::uint64_t>(now.QuadPart);
}

std::optional<std::uint64_t> File::Size() const {
  LARGE_INTEGER size{};
  if (handle_ == nullptr || !GetFileSizeEx(handle_, &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool File::Truncate() { return handle_ != nullptr && SetEndOfFile(handle_) != 0; }

bool File::Flush() { return handle_ != nullptr && FlushFileBuffers(handle_) != 0; }

bool FileExists(const std::string& path) {
  const FileViewScope view;
  auto attrs = Attributes(path);
  return attrs && (*attrs & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
  const FileViewScope view;
  auto attrs = Attributes(path);
  return attrs && (*attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsLink(const std::string& path) {
  const FileViewScope view;
  // The attributes are the link's own: a reparse point is never followed to answer them.
  auto attrs = Attributes(path);
  return attrs && (*attrs & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
  const FileViewScope view;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool CreateDir(const std::string& path) {
  const FileViewScope view;
  if (Refused(path, true)) return false;
  if (CreateDirectoryW(Wide(path).c_str(), nullptr) != 0) return true;
  NoteFileFault(FaultOf(GetLastError()));
  return false;
}

bool RemoveDir(const std::string& path) {
  const FileViewScope view;
  return RemoveDirectoryW(Wide(path).c_str()) != 0;
}

bool DeleteFileAt(const std::string& path) {
  const FileViewScope view;
  const std::wstring w = Wide(path);
  DWORD attrs = GetFileAttributesW(w.c_str());
  if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesW(w.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
  return DeleteFileW(w.c_str()) != 0;
}

bool DeleteAtRestart(const std::string& path) {
  const FileViewScope view;
  return MoveFileExW(Wide(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

bool ReplaceAtRestart(const std::string& from, const std::string& to) {
  const FileViewScope view;
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) !=
         0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  const FileViewScope view;
  if (Refused(to, false)) return false;
  const std::wstring src = Wide(from), dst = Wide(to);
  if (src != dst && SameIgnoringCase(src, dst)) {
    // A change of case only: through a temporary name, which Wine needs to see a change.
    const std::wstring temp = dst + L".zq-rename";
    if (!MoveFileW(src.c_str(), temp.c_str())) return false;
    if (MoveFileW(temp.c_str(), dst.c_str())) return true;
    MoveFileW(temp.c_str(), src.c_str());
    return false;
  }
  return MoveFileW(src.c_str(), dst.c_str()) != 0;
}

bool CopyFileTo(const std::string& from, const std::string& to, bool fail_if_exists) {
  const FileViewScope view;
  if (Refused(to, false)) return false;
  const std::wstring dst = Wide(to);
  if (IsReadOnlyFile(dst)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return CopyFileW(Wide(from).c_str(), dst.c_str(), fail_if_exists ? TRUE : FALSE) != 0;
}

std::optional<std::string> ObjectIdentity(const std::string& path) {
  const FileViewScope view;
  // A folder opens only with backup semantics; no access is needed to ask.
  HANDLE h = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  const bool known = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!known) return std::nullopt;
  return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
         std::to_string(info.nFileIndexLow);
}

std::optional<std::vector<DirEntry>> ListDir(const std::string& path) {
  const FileViewScope view;
  std::string pattern = path;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Wide(pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    // An empty drive root has no "." entries, so nothing at all matches there.
    if (GetLastError() == ERROR_FILE_NOT_FOUND && DirectoryExists(path)) return std::vector<DirEntry>{};
    return std::nullopt;
  }
  std::vector<DirEntry> out;
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    out.push_back({win32::Narrow(name), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                   (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return out;
}

bool SetReadOnly(const std::string& path, bool read_only) {
  const FileViewScope view;
  const std::wstring w = Wide(path);
  DWORD attrs = GetFileAttributesW(w.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return false;
  attrs = read_only ? (attrs | FILE_ATTRIBUTE_READONLY) : (attrs & ~FILE_ATTRIBUTE_READONLY);
  return SetFileAttributesW(w.c_str(), attrs == 0 ? FILE_ATTRIBUTE_NORMAL : attrs) != 0;
}

std::string TempDir() {
  wchar_t buf[MAX_PATH + 1] = {};
  DWORD n = GetTempPathW(MAX_PATH + 1, buf);
  std::string dir = n > 0 && n <= MAX_PATH ? win32::Narrow(buf, n) : "C:\\";
  if (dir.back() != '\\') dir += '\\';
  return dir;
}

std::string ExecutablePath() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return win32::Narrow(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

bool MarkRunnable(const std::string&) { return true; }

bool IsOnMachineDisk(const std::string&) { return true; }

}  // namespace zq::platform
