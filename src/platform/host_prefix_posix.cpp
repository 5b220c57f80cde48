#include "platform/host_prefix.h"

#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/host_paths.h"
#include "platform/text.h"

namespace zq::platform {
namespace {

struct PrefixState {
  std::mutex mutex;
  std::string dir;  // empty until chosen
  std::string user;
  bool ready = false;
};

PrefixState& State() {
  static PrefixState state;
  return state;
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string CurrentDir() {
  std::vector<char> buf(PATH_MAX);
  while (getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE) return "/";
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

std::vector<std::string> SplitComponents(const std::string& path, bool backslash_too) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '/' || (backslash_too && c == '\\')) {
      if (!current.empty()) parts.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(std::move(current));
  return parts;
}

// Lexical "." and "..": the top (drive root or "/") cannot be left, as on Windows.
std::vector<std::string> ResolveDots(const std::vector<std::string>& parts) {
  std::vector<std::string> out;
  for (const auto& p : parts) {
    if (p == ".") continue;
    if (p == "..") {
      if (!out.empty()) out.pop_back();
      continue;
    }
    out.push_back(p);
  }
  return out;
}

std::string Join(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& part : parts) out += "/" + part;
  return out.empty() ? "/" : out;
}

// Absolute and lexically clean host path.
std::string Absolute(const std::string& path) {
  std::string full = !path.empty() && path[0] == '/' ? path : CurrentDir() + "/" + path;
  return Join(ResolveDots(SplitComponents(full, false)));
}

std::string DefaultPrefix() {
  if (std::string p = Env("ZQ_PREFIX"); !p.empty()) return p;
  if (std::string p = Env("XDG_DATA_HOME"); !p.empty() && p[0] == '/') return p + "/zqsetup";
  std::string home = Env("HOME");
  if (home.empty()) {
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) home = pw->pw_dir;
  }
  if (home.empty()) home = "/tmp";
  return home + "/.local/share/zqsetup";
}

std::string DefaultUser() {
  std::string user = Env("USER");
  // The name becomes one path component.
  if (user.empty() || user == "." || user == ".." || user.find('/') != std::string::npos) return "user";
  return user;
}

bool MakeDirs(const std::string& path) {
  for (std::size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    std::string part = path.substr(0, pos);
    if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EnsureLink(const std::string& target, const std::string& link) {
  struct stat st;
  if (lstat(link.c_str(), &st) == 0) return true;
  return symlink(target.c_str(), link.c_str()) == 0 || errno == EEXIST;
}

bool MakeLayout(const std::string& prefix, const std::string& user) {
  const std::string profile = prefix + "/drive_c/users/" + user;
  bool ok = MakeDirs(prefix + "/dosdevices") && MakeDirs(prefix + "/drive_c/Program Files") &&
            MakeDirs(prefix + "/drive_c/windows") && MakeDirs(profile + "/Temp") && MakeDirs(profile + "/Desktop") &&
            MakeDirs(profile + "/AppData/Roaming/Microsoft/Windows/Start Menu/Programs");
  return ok && EnsureLink("../drive_c", prefix + "/dosdevices/c:") && EnsureLink("/", prefix + "/dosdevices/z:");
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// Names are UTF-8 and equal without regard to case by Unicode's rules, as on Windows.
std::string FoldCase(const std::string& text) { return LowerCase(text); }

// A folder's names by their folded text, so that each new file costs one lookup and not a
// scan of the folder. The stamp is the folder's state when it was read (or last changed
// through the file layer); any other change moves its modification time.
struct FolderNames {
  dev_t dev = 0;
  ino_t ino = 0;
  timespec mtime{};
  std::unordered_map<std::string, std::string> names;  // folded -> first name read
};

struct NameCache {
  std::mutex mutex;
  std::unordered_map<std::string, FolderNames> folders;
};

NameCache& Names() {
  static NameCache cache;
  return cache;
}

constexpr std::size_t kMaxCachedFolders = 256;
// A payload of tens of thousands of files would otherwise keep every name it wrote; the cache
// starts over instead, and a folder asked about again is read again.
constexpr std::size_t kMaxCachedNames = 16384;

std::size_t CachedNames(const NameCache& cache) {
  std::size_t n = 0;
  for (const auto& [dir, f] : cache.folders) n += f.names.size();
  return n;
}

bool SameStamp(const FolderNames& f, const struct stat& st) {
  return f.dev == st.st_dev && f.ino == st.st_ino && f.mtime.tv_sec == st.st_mtim.tv_sec &&
         f.mtime.tv_nsec == st.st_mtim.tv_nsec;
}

void SetStamp(FolderNames& f, const struct stat& st) {
  f.dev = st.st_dev;
  f.ino = st.st_ino;
  f.mtime = st.st_mtim;
}

std::string ParentOf(const std::string& host_path) {
  auto slash = host_path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : host_path.substr(0, slash);
}

// The name of an entry of `dir` equal to `name` without regard to case.
std::optional<std::string> FindNoCase(const std::string& dir, const std::string& name) {
  struct stat st;
  if (stat(dir.c_str(), &st) != 0) return std::nullopt;
  auto& cache = Names();
  std::lock_guard lock(cache.mutex);
  auto it = cache.folders.find(dir);
  if (it == cache.folders.end() || !SameStamp(it->second, st)) {
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return std::nullopt;
    if (cache.folders.size() >= kMaxCachedFolders || CachedNames(cache) >= kMaxCachedNames) cache.folders.clear();
    FolderNames& f = cache.folders[dir];
    f.names.clear();
    SetStamp(f, st);
    while (const dirent* e = readdir(d)) {
      // readdir's order decides between names equal but for case, as the scan did.
      f.names.try_emplace(FoldCase(e->d_name), e->d_name);
    }
    closedir(d);
    it = cache.folders.find(dir);
  }
  auto hit = it->second.names.find(FoldCase(name));
  if (hit == it->second.names.end()) return std::nullopt;
  return hit->second;
}

std::string MatchCase(std::string base, const std::vector<std::string>& parts) {
  bool parent_exists = true;
  for (const auto& part : parts) {
    std::string exact = base + "/" + part;
    if (parent_exists && !Exists(exact)) {
      if (auto found = FindNoCase(base.empty() ? "/" : base, part)) {
        base += "/" + *found;
        continue;
      }
      parent_exists = false;  // nothing below a missing directory needs a scan
    }
    base = std::move(exact);
  }
  return base.empty() ? "/" : base;
}

// Canonical form of a path whose tail may not exist yet.
std::string Canonical(const std::string& abs) {
  if (char* real = realpath(abs.c_str(), nullptr)) {
    std::string out = real;
    free(real);
    return out;
  }
  auto slash = abs.rfind('/');
  if (slash == std::string::npos || abs == "/") return abs;
  std::string parent = Canonical(slash == 0 ? "/" : abs.substr(0, slash));
  return (parent == "/" ? "" : parent) + abs.substr(slash);
}

std::string ToWindows(char letter, const std::string& rest) {
  std::string out(1, static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
  out += ":\\";
  std::string tail = rest;
  while (!tail.empty() && tail.front() == '/') tail.erase(0, 1);
  std::replace(tail.begin(), tail.end(), '/', '\\');
  return out + tail;
}

bool IsUnder(const std::string& path, const std::string& dir) {
  if (dir == "/") return true;
  return path.compare(0, dir.size(), dir) == 0 && (path.size() == dir.size() || path[dir.size()] == '/');
}

}  // namespace

namespace host {

void NoteEntryAdded(const std::string& host_path) {
  const std::string dir = ParentOf(host_path);
  auto& cache = Names();
  std::lock_guard lock(cache.mutex);
  auto it = cache.folders.find(dir);
  if (it == cache.folders.end()) return;
  struct stat st;
  if (stat(dir.c_str(), &st) != 0) {
    cache.folders.erase(it);
    return;
  }
  it->second.names.try_emplace(FoldCase(host_path.substr(host_path.rfind('/') + 1)),
                               host_path.substr(host_path.rfind('/') + 1));
  SetStamp(it->second, st);
}

void NoteEntryRemoved(const std::string& host_path) {
  auto& cache = Names();
  std::lock_guard lock(cache.mutex);
  cache.folders.erase(ParentOf(host_path));
}

std::string ReadyPrefix() {
  auto& s = State();
  std::lock_guard lock(s.mutex);
  if (s.dir.empty()) s.dir = Absolute(DefaultPrefix());
  if (!s.ready) {
    s.user = DefaultUser();
    s.ready = MakeLayout(s.dir, s.user);
  }
  return s.dir;
}

std::string UserName() {
  ReadyPrefix();
  auto& s = State();
  std::lock_guard lock(s.mutex);
  return s.user;
}

std::optional<char> DriveLetterOf(const std::string& path) {
  if (path.size() < 2 || path[1] != ':' || !std::isalpha(static_cast<unsigned char>(path[0]))) return std::nullopt;
  if (path.size() > 2 && path[2] != '\\' && path[2] != '/') return std::nullopt;
  return static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
}

std::optional<std::string> DriveLink(char letter) {
  if (!std::isalpha(static_cast<unsigned char>(letter))) return std::nullopt;
  return ReadyPrefix() + "/dosdevices/" + static_cast<char>(std::tolower(static_cast<unsigned char>(letter))) + ":";
}

}  // namespace host

void SetPrefix(const std::string& host_dir) {
  {
    auto& s = State();
    std::lock_guard lock(s.mutex);
    s.dir = Absolute(host_dir);
    s.ready = false;
  }
  host::ReadyPrefix();
}

std::string Prefix() { return host::ReadyPrefix(); }

std::optional<std::string> HostPath(const std::string& windows_path) {
  const std::string& p = windows_path;
  // The system would see only the text before a NUL: another file than the one named.
  if (p.empty() || p.find('\0') != std::string::npos) return std::nullopt;
  if (p[0] == '/') return p;
  if (p.size() >= 2 && (p[0] == '\\') && (p[1] == '\\' || p[1] == '/')) return std::nullopt;  // UNC or device

  std::string rest;
  std::optional<char> letter;
  if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
    letter = static_cast<char>(std::tolower(static_cast<unsigned char>(p[0])));
    rest = p.substr(2);  // "X:name" is taken from the root: there is no per-drive directory here
  } else if (p[0] == '\\') {
    // Rooted without a drive: the current directory's drive.
    letter = host::DriveLetterOf(WindowsPath(CurrentDir()));
    rest = p;
  } else {
    // Relative: from the current directory, with ".." free to climb above it.
    auto parts = SplitComponents(CurrentDir(), false);
    auto more = SplitComponents(p, true);
    parts.insert(parts.end(), more.begin(), more.end());
    return MatchCase("", ResolveDots(parts));
  }
  if (!letter) return std::nullopt;
  auto link = host::DriveLink(*letter);
  if (!link || !Exists(*link)) return std::nullopt;
  return MatchCase(*link, ResolveDots(SplitComponents(rest, true)));
}

std::string WindowsPath(const std::string& host_path) {
  const std::string path = Absolute(host_path);
  const std::string devices = host::ReadyPrefix() + "/dosdevices/";
  if (path.compare(0, devices.size(), devices) == 0) {
    std::string tail = path.substr(devices.size());
    if (tail.size() >= 2 && tail[1] == ':' && std::isalpha(static_cast<unsigned char>(tail[0])) &&
        (tail.size() == 2 || tail[2] == '/'))
      return ToWindows(tail[0], tail.substr(2));
  }

  const std::string canonical = Canonical(path);
  std::optional<char> best;
  std::string best_dir;
  std::vector<std::string> names;
  if (DIR* d = opendir(devices.c_str())) {
    while (const dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name.size() == 2 && name[1] == ':' && std::islower(static_cast<unsigned char>(name[0])))
        names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  for (const auto& name : names) {
    char* real = realpath((devices + name).c_str(), nullptr);
    if (real == nullptr) continue;
    std::string dir = real;
    free(real);
    if (IsUnder(canonical, dir) && (!best || dir.size() > best_dir.size())) {
      best = name[0];
      best_dir = dir;
    }
  }
  if (!best) return ToWindows('z', canonical);
  return ToWindows(*best, best_dir == "/" ? canonical : canonical.substr(best_dir.size()));
}

bool IsOnMachineDisk(const std::string& path) {
  const auto letter = host::DriveLetterOf(path);
  const auto host = HostPath(path);
  if (!letter || !host) return false;
  const std::string prefix = Canonical(Absolute(host::ReadyPrefix()));
  auto inside = [&prefix](const std::string& dir) { return dir != prefix && IsUnder(dir, prefix); };
  // The drive must be one of the prefix's own, and the folder must lie in it through every
  // link on the way; the last component may itself be a link, which is removed as itself.
  const auto slash = host->rfind('/');
  return inside(Canonical(*host::DriveLink(*letter))) && inside(Canonical(slash == 0 ? "/" : host->substr(0, slash)));
}

bool MapDrive(char letter, const std::string& host_dir) {
  auto link = host::DriveLink(letter);
  if (!link || host_dir.empty()) return false;
  const std::string target = host_dir[0] == '/' ? host_dir : Absolute(host_dir);
  static std::atomic<unsigned> serial{0};
  const std::string temp = *link + ".new" + std::to_string(getpid()) + "-" + std::to_string(serial++);
  unlink(temp.c_str());
  if (symlink(target.c_str(), temp.c_str()) != 0) return false;
  // rename replaces the old link in one step, so readers never see the drive missing.
  if (rename(temp.c_str(), link->c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  return true;
}

bool SetDriveType(char letter, DriveType type) {
  if (!std::isalpha(static_cast<unsigned char>(letter))) return false;
  auto db = host::Db::Open();
  if (!db) return false;
  host::Stmt st(*db,
                "INSERT INTO drives(letter, type) VALUES(?1, ?2) "
                "ON CONFLICT(letter) DO UPDATE SET type = excluded.type");
  return st.ok() &&
         st.Bind(1, std::toupper(static_cast<unsigned char>(letter))).Bind(2, static_cast<std::int64_t>(type)).Run();
}

}  // namespace zq::platform
