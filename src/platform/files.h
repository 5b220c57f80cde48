// Files and directories addressed by Windows paths ("C:\Program Files\Demo\x.dat").
// win32: the paths go to the system unchanged. Host: the path is mapped to the host's
// file system through the prefix (see host_prefix.h); a path that already starts with
// "/" is taken as a host path as it stands, so the tools accept ordinary host paths too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zq::platform {

enum class OpenMode {
  ReadShared,     // read; others may read, write and delete meanwhile
  ReadExclusive,  // read; others may read but not write
  ReadWrite,      // read and write an existing file
  Create,         // create, or truncate an existing file; read and write
  OpenOrCreate,   // read and write; created empty when missing
};

// An open file. Move-only; closes itself.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool Open(const std::string& path, OpenMode mode);
  void Close();
  bool IsOpen() const;

  // Number of bytes actually transferred; short on end of file or error.
  std::size_t Read(void* buffer, std::size_t count);
  std::size_t Write(const void* buffer, std::size_t count);
  bool Seek(std::uint64_t position);
  bool SeekToEnd();
  std::optional<std::uint64_t> Position() const;
  std::optional<std::uint64_t> Size() const;
  // Sets the end of the file at the current position.
  bool Truncate();
  // Forces written data to the disk.
  bool Flush();

 private:
#ifdef _WIN32
  void* handle_ = nullptr;  // HANDLE; INVALID_HANDLE_VALUE is never stored
#else
  int fd_ = -1;
#endif
};

// Why the calling thread's last failed open, write or folder creation failed, so a caller can
// tell the user; None after a successful open. Meaningful only right after a failure.
enum class FileFault {
  None,
  BadName,       // a name or character Windows refuses, or a device name
  TooLong,       // the path is longer than the system allows
  AccessDenied,  // no permission, read-only, or in use
  DiskFull,
  InUse,    // another program holds it (noted by the engine, which asks the system)
  Missing,  // the folder (or drive) it goes in does not exist
  Other,
};
FileFault LastFileFault();
// The fault in words a user can act on ("the disk is full"); "" for None.
const char* FileFaultText(FileFault fault);

struct DirEntry {
  std::string name;           // no path, never "." or ".."
  bool is_directory = false;  // for a link: whether it leads to a directory
  // A symbolic link, junction or other reparse point. Tree walks must never descend
  // through one: it may lead anywhere, up to the root of the disk.
  bool is_link = false;
};

bool FileExists(const std::string& path);  // an existing file, not a directory
bool DirectoryExists(const std::string& path);
// Whether the path itself is a symbolic link, junction or other reparse point, without following
// it; false when nothing is there.
bool IsLink(const std::string& path);
std::optional<std::uint64_t> FileSize(const std::string& path);
bool CreateDir(const std::string& path);     // one level; false when it exists or fails
bool RemoveDir(const std::string& path);     // only an empty directory, or a link to one (the link)
bool DeleteFileAt(const std::string& path);  // clears a read-only attribute first
bool RenameFile(const std::string& from, const std::string& to);
// Asks the system to delete the file (or empty folder) when the machine next starts, for one that
// another program holds now. False where it cannot be asked (the host, whose files are never held).
bool DeleteAtRestart(const std::string& path);
// Asks the system to put `from` in place of `to` when the machine next starts; false where it
// cannot be asked (the host).
bool ReplaceAtRestart(const std::string& from, const std::string& to);  // fails when `to` exists
bool CopyFileTo(const std::string& from, const std::string& to, bool fail_if_exists);
// Names the file or directory itself, whichever path reaches it (a mount, a second link): equal
// texts for the same object while it exists. nullopt when it cannot be asked.
std::optional<std::string> ObjectIdentity(const std::string& path);
// Entries directly inside the directory, in no particular order; nullopt when it cannot be listed.
std::optional<std::vector<DirEntry>> ListDir(const std::string& path);
bool SetReadOnly(const std::string& path, bool read_only);
// A program file written by the engine can be started like any program on Windows; the host
// needs its execute permission set for that. win32: nothing to do.
bool MarkRunnable(const std::string& path);
// Whether a full path lies on the machine's own disks, where an installation can own files.
// win32: always. Host: only inside the prefix, its folder resolved through links; the host's
// own files behind z: (and any drive mapped outside the prefix) are there to be read.
bool IsOnMachineDisk(const std::string& path);
// The temporary folder, with a trailing backslash.
std::string TempDir();
// Full path of the running program, as the engine would name it.
std::string ExecutablePath();

}  // namespace zq::platform
