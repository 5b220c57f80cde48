#include "platform/files.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/file_names.h"
#include "platform/host_paths.h"
#include "platform/host_prefix.h"

namespace zq::platform {
namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

std::optional<struct stat> Stat(const std::string& host) {
  struct stat st;
  if (stat(host.c_str(), &st) != 0) return std::nullopt;
  return st;
}

// The read-only attribute is the lack of write bits; honoured even for root, as Windows
// honours it for administrators.
bool IsReadOnly(const struct stat& st) { return (st.st_mode & kWriteBits) == 0; }

int OpenFlags(OpenMode mode) {
  switch (mode) {
    case OpenMode::ReadShared:
    case OpenMode::ReadExclusive: return O_RDONLY;
    case OpenMode::ReadWrite: return O_RDWR;
    case OpenMode::Create: return O_RDWR | O_CREAT | O_TRUNC;
    case OpenMode::OpenOrCreate: return O_RDWR | O_CREAT;
  }
  return O_RDONLY;
}

int OpenRetrying(const char* path, int flags, mode_t mode = 0666) {
  int fd;
  do fd = ::open(path, flags | O_CLOEXEC, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}

bool WriteFully(int fd, const char* data, std::size_t count) {
  while (count > 0) {
    ssize_t n = ::write(fd, data, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

FileFault FaultOf(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EBUSY: return FileFault::AccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FileFault::DiskFull;
    case ENAMETOOLONG: return FileFault::TooLong;
    case ENOENT:
    case ENOTDIR: return FileFault::Missing;
    case EILSEQ:
    case EINVAL: return FileFault::BadName;
    default: return FileFault::Other;
  }
}

// The names Windows refuses are refused here too, so the host behaves like the product.
bool RefuseLikeWindows(const std::string& windows_path, bool directory) {
  const FileFault fault = RefusedForCreation(windows_path, directory);
  if (fault == FileFault::None) return false;
  NoteFileFault(fault);
  return true;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool CopyContents(const std::string& from, const std::string& to, bool fail_if_exists) {
  int in = OpenRetrying(from.c_str(), O_RDONLY);
  if (in < 0) return false;
  struct stat src;
  if (fstat(in, &src) != 0 || S_ISDIR(src.st_mode)) {
    ::close(in);
    return false;
  }
  if (auto dst = Stat(to)) {
    // Copying a file onto itself would truncate it first.
    if (fail_if_exists || S_ISDIR(dst->st_mode) || IsReadOnly(*dst) || SameFile(src, *dst)) {
      ::close(in);
      return false;
    }
  }
  int out = OpenRetrying(to.c_str(), O_WRONLY | O_CREAT | (fail_if_exists ? O_EXCL : O_TRUNC));
  if (out < 0) {
    ::close(in);
    return false;
  }
  std::vector<char> buf(1 << 20);
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(in, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    if (!WriteFully(out, buf.data(), static_cast<std::size_t>(n))) {
      ok = false;
      break;
    }
  }
  // Like the system copy: same attributes and last-write time.
  const timespec times[2] = {src.st_atim, src.st_mtim};
  if (ok) ok = futimens(out, times) == 0 && fchmod(out, src.st_mode & 07777) == 0;
  ok = ::close(out) == 0 && ok;
  ::close(in);
  if (!ok) unlink(to.c_str());
  return ok;
}

std::string LastComponent(const std::string& windows_path) {
  auto pos = windows_path.find_last_of("\\/");
  return pos == std::string::npos ? windows_path : windows_path.substr(pos + 1);
}

std::string ParentOf(const std::string& host) {
  auto pos = host.rfind('/');
  return pos == std::string::npos ? "." : pos == 0 ? "/" : host.substr(0, pos);
}

// Target exists: fail. Used where the kernel cannot refuse an existing target itself.
bool RenameNoReplaceFallback(const std::string& from, const std::string& to) {
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) {
    if (link(from.c_str(), to.c_str()) == 0) return unlink(from.c_str()) == 0;
    if (errno == EEXIST) return false;
    if (errno == EXDEV) return CopyContents(from, to, true) && unlink(from.c_str()) == 0;
  }
  struct stat target;
  if (lstat(to.c_str(), &target) == 0) return false;
  return rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

File::~File() { Close(); }

File::File(File&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool File::Open(const std::string& path, OpenMode mode) {
  Close();
  const int flags = OpenFlags(mode);
  if ((flags & O_CREAT) && RefuseLikeWindows(path, false)) return false;
  auto host = HostPath(path);
  if (!host) {
    NoteFileFault(FileFault::Missing);
    return false;
  }
  if (flags != O_RDONLY) {
    if (auto st = Stat(*host); st && IsReadOnly(*st)) {
      NoteFileFault(FileFault::AccessDenied);
      return false;
    }
  }
  int fd = OpenRetrying(host->c_str(), flags);
  if (fd < 0) {
    NoteFileFault(FaultOf(errno));
    return false;
  }
  if (flags & O_CREAT) host::NoteEntryAdded(*host);
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // a directory is no file to open
    ::close(fd);
    NoteFileFault(FileFault::AccessDenied);
    return false;
  }
  fd_ = fd;
  NoteFileFault(FileFault::None);
  return true;
}

void File::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool File::IsOpen() const { return fd_ >= 0; }

std::size_t File::Read(void* buffer, std::size_t count) {
  if (fd_ < 0) return 0;
  auto* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd_, p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::size_t File::Write(const void* buffer, std::size_t count) {
  if (fd_ < 0) return 0;
  const auto* p = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd_, p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      NoteFileFault(n < 0 ? FaultOf(errno) : FileFault::DiskFull);
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool File::Seek(std::uint64_t position) {
  if (fd_ < 0 || position > static_cast<std::uint64_t>(INT64_MAX)) return false;
  return lseek(fd_, static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool File::SeekToEnd() { return fd_ >= 0 && lseek(fd_, 0, SEEK_END) >= 0; }

std::optional<std::uint64_t> File::Position() const {
  if (fd_ < 0) return std::nullopt;
  off_t pos = lseek(fd_, 0, SEEK_CUR);
  if (pos < 0) return std::nullopt;
  return static_cast<std::uint64_t>(pos);
}

std::optional<std::uint64_t> File::Size() const {
  struct stat st;
  if (fd_ < 0 || fstat(fd_, &st) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

bool File::Truncate() {
  auto pos = Position();
  if (!pos) return false;
  int rc;
  do rc = ftruncate(fd_, static_cast<off_t>(*pos));
  while (rc != 0 && errno == EINTR);
  return rc == 0;
}

bool File::Flush() { return fd_ >= 0 && fsync(fd_) == 0; }

bool FileExists(const std::string& path) {
  auto host = HostPath(path);
  auto st = host ? Stat(*host) : std::nullopt;
  return st && !S_ISDIR(st->st_mode);
}

bool DirectoryExists(const std::string& path) {
  auto host = HostPath(path);
  auto st = host ? Stat(*host) : std::nullopt;
  return st && S_ISDIR(st->st_mode);
}

bool IsLink(const std::string& path) {
  auto host = HostPath(path);
  struct stat st;
  return host && lstat(host->c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
  auto host = HostPath(path);
  auto st = host ? Stat(*host) : std::nullopt;
  if (!st || S_ISDIR(st->st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st->st_size);
}

bool CreateDir(const std::string& path) {
  if (RefuseLikeWindows(path, true)) return false;
  auto host = HostPath(path);
  if (!host) {
    NoteFileFault(FileFault::Missing);
    return false;
  }
  if (mkdir(host->c_str(), 0777) == 0) {
    host::NoteEntryAdded(*host);
    return true;
  }
  NoteFileFault(FaultOf(errno));
  return false;
}

bool RemoveDir(const std::string& path) {
  auto host = HostPath(path);
  if (!host) return false;
  // A link to a directory goes as a link; its target is never touched.
  host::NoteEntryRemoved(*host);
  struct stat st;
  if (lstat(host->c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return unlink(host->c_str()) == 0;
  return rmdir(host->c_str()) == 0;
}

bool DeleteFileAt(const std::string& path) {
  auto host = HostPath(path);
  struct stat st;
  if (!host || lstat(host->c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  if (S_ISREG(st.st_mode) && IsReadOnly(st)) chmod(host->c_str(), st.st_mode | S_IWUSR);
  host::NoteEntryRemoved(*host);
  return unlink(host->c_str()) == 0;
}

bool DeleteAtRestart(const std::string&) { return false; }
bool ReplaceAtRestart(const std::string&, const std::string&) { return false; }

bool RenameFile(const std::string& from, const std::string& to) {
  auto src = HostPath(from);
  auto dst = HostPath(to);
  if (!src || !dst) return false;
  host::NoteEntryRemoved(*src);
  host::NoteEntryRemoved(*dst);
  struct stat a, b;
  if (lstat(src->c_str(), &a) != 0) return false;
  if (RefuseLikeWindows(to, false)) return false;
  if (lstat(dst->c_str(), &b) == 0) {
    if (!SameFile(a, b)) return false;
    // The target is the source under another case: a change of case only, which Windows allows.
    std::string renamed = ParentOf(*dst) + "/" + LastComponent(to);
    if (renamed == *src) return true;
    return rename(src->c_str(), renamed.c_str()) == 0;
  }
  if (renameat2(AT_FDCWD, src->c_str(), AT_FDCWD, dst->c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != EXDEV) return false;
  return RenameNoReplaceFallback(*src, *dst);
}

bool CopyFileTo(const std::string& from, const std::string& to, bool fail_if_exists) {
  auto src = HostPath(from);
  auto dst = HostPath(to);
  if (!src || !dst || RefuseLikeWindows(to, false) || !CopyContents(*src, *dst, fail_if_exists)) return false;
  host::NoteEntryAdded(*dst);
  return true;
}

std::optional<std::string> ObjectIdentity(const std::string& path) {
  auto host = HostPath(path);
  auto st = host ? Stat(*host) : std::nullopt;
  if (!st) return std::nullopt;
  return std::to_string(st->st_dev) + ":" + std::to_string(st->st_ino);
}

std::optional<std::vector<DirEntry>> ListDir(const std::string& path) {
  auto host = HostPath(path);
  if (!host) return std::nullopt;
  DIR* d = opendir(host->c_str());
  if (d == nullptr) return std::nullopt;
  std::vector<DirEntry> out;
  while (const dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    bool is_dir = e->d_type == DT_DIR;
    bool is_link = e->d_type == DT_LNK;
    if (e->d_type == DT_UNKNOWN) {
      struct stat lst {};
      is_link = lstat((*host + "/" + name).c_str(), &lst) == 0 && S_ISLNK(lst.st_mode);
      is_dir = !is_link && S_ISDIR(lst.st_mode);
    }
    if (is_link) {
      auto st = Stat(*host + "/" + name);
      is_dir = st && S_ISDIR(st->st_mode);
    }
    out.push_back({std::move(name), is_dir, is_link});
  }
  closedir(d);
  return out;
}

bool MarkRunnable(const std::string& path) {
  auto host = HostPath(path);
  auto st = host ? Stat(*host) : std::nullopt;
  return st && chmod(host->c_str(), (st->st_mode | S_IXUSR | S_IXGRP | S_IXOTH) & 07777) == 0;
}

bool SetReadOnly(const std::string& path, bool read_only) {
  auto host = HostPath(path);
  auto st = host ? Stat(*host) : std::nullopt;
  if (!st) return false;
  mode_t mode = read_only ? (st->st_mode & ~kWriteBits) : (st->st_mode | S_IWUSR);
  return chmod(host->c_str(), mode & 07777) == 0;
}

std::string TempDir() { return "C:\\users\\" + host::UserName() + "\\Temp\\"; }

std::string ExecutablePath() {
  std::vector<char> buf(PATH_MAX);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buf.size())
      return WindowsPath(std::string(buf.data(), static_cast<std::size_t>(n)));
    buf.resize(buf.size() * 2);
  }
}

}  // namespace zq::platform
