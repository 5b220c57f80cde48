#include "platform/trust_store.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/host_paths.h"
#include "platform/host_prefix.h"

namespace zq::platform {
namespace {

// Why the entry at `st` may not be trusted; "" when it may. The owner alone may reach it: the
// host's stand-in for a folder only SYSTEM, the administrators and the user can open.
std::string Distrust(const struct stat& st, bool directory) {
  if (S_ISLNK(st.st_mode)) return "it is a link";
  if (directory && !S_ISDIR(st.st_mode)) return "it is not a folder";
  if (!directory && !S_ISREG(st.st_mode)) return "it is not a file";
  if (st.st_uid != geteuid()) return "another account owns it";
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "other accounts may write it";
  if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0) return "other accounts may read it";
  return "";
}

int OpenKey(const std::string& path) {
  int fd;
  do fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  return fd;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Written whole under a name of its own, then linked to "key", which never replaces one: of two
// runs at once, the second keeps the first's key. 0, or why not (an errno).
int MakeKey(const std::string& folder, const std::string& key) {
  SecretKey secret;
  if (!RandomBytes(secret.data(), secret.size())) return errno;
  std::string temp = folder + "/key.XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);  // mode 0600
  if (fd < 0) return errno;
  errno = EIO;  // a write that stops short says nothing itself
  int error = WriteAll(fd, secret.data(), secret.size()) && fsync(fd) == 0 ? 0 : errno;
  close(fd);
  if (error == 0 && link(temp.c_str(), key.c_str()) != 0 && errno != EEXIST) error = errno;
  unlink(temp.c_str());
  if (error == 0) host::NoteEntryAdded(key);
  return error;
}

}  // namespace

TrustedFolder OpenTrustedFolderAt(const std::string& path, TrustScope) {
  const auto host = HostPath(path);
  if (!host) return {path, path + ": the folder is not on this machine"};
  if (mkdir(host->c_str(), 0700) == 0) {
    host::NoteEntryAdded(*host);
  } else if (errno != EEXIST) {
    return {path, path + ": the folder cannot be made (" + strerror(errno) + ")"};
  }
  struct stat st;
  if (lstat(host->c_str(), &st) != 0) return {path, path + ": the folder cannot be read (" + strerror(errno) + ")"};
  const std::string why = Distrust(st, true);
  return {path, why.empty() ? "" : path + ": " + why};
}

std::optional<SecretKey> TrustKey(const TrustedFolder& folder, std::string* problem) {
  const std::string name = folder.path + "\\key";
  auto fail = [&](const std::string& why) {
    if (problem != nullptr) *problem = name + ": " + why;
    return std::nullopt;
  };
  if (!folder.ok()) {
    if (problem != nullptr) *problem = folder.problem;
    return std::nullopt;
  }
  const auto host_folder = HostPath(folder.path);
  if (!host_folder) return fail("the folder is not on this machine");
  const std::string key = *host_folder + "/key";
  int fd = OpenKey(key);
  if (fd < 0 && errno == ENOENT) {
    if (const int error = MakeKey(*host_folder, key); error != 0) {
      return fail(std::string("the key cannot be made (") + strerror(error) + ")");
    }
    fd = OpenKey(key);
  }
  if (fd < 0) return fail(errno == ELOOP ? "it is a link" : std::string("it cannot be read (") + strerror(errno) + ")");
  struct stat st;
  std::string why = fstat(fd, &st) == 0 ? Distrust(st, false) : "it cannot be read";
  SecretKey secret;
  std::uint8_t extra;
  if (why.empty() &&
      (read(fd, secret.data(), secret.size()) != static_cast<ssize_t>(secret.size()) || read(fd, &extra, 1) != 0)) {
    why = "it does not hold a key of 32 bytes";
  }
  close(fd);
  if (!why.empty()) return fail(why);
  return secret;
}

bool RandomBytes(void* out, std::size_t size) {
  auto* at = static_cast<std::uint8_t*>(out);
  while (size > 0) {
    const ssize_t n = getrandom(at, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace zq::platform
