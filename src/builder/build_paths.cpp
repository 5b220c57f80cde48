#include "builder/build_paths.h"

#include "platform/files.h"
#include "platform/text.h"

namespace zq::builder {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The host takes Windows paths ("Z:\...", "C:\...") and host paths ("/..." or relative);
// each keeps its own separator. win32 takes either separator.
char SeparatorFor(const std::string& dir) {
#ifdef _WIN32
  (void)dir;
  return '\\';
#else
  if (dir.size() >= 2 && dir[1] == ':') return '\\';
  return '/';
#endif
}

// The source tree's tables, for a tool run from its build tree.
std::string SourceTreeLanguages() {
#ifdef ZQ_SOURCE_LANGUAGES_DIR
  return ZQ_SOURCE_LANGUAGES_DIR;
#else
  std::string here = __FILE__;  // .../src/builder/build_paths.cpp
  std::string root = DirName(DirName(DirName(here)));
  return root.empty() ? std::string() : Join(root, "languages");
#endif
}

std::string SourceTreePages() {
#ifdef ZQ_SOURCE_PAGES_DIR
  return ZQ_SOURCE_PAGES_DIR;
#else
  std::string here = __FILE__;
  std::string root = DirName(DirName(DirName(here)));
  return root.empty() ? std::string() : Join(root, "pages");
#endif
}

}  // namespace

std::string DirName(const std::string& path) {
  std::size_t cut = path.find_last_of("/\\");
  if (cut == std::string::npos) return path.size() == 2 && path[1] == ':' ? path : std::string();
  if (cut == 0) return path.substr(0, 1);
  if (cut == 2 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, cut);
}

std::string BaseName(const std::string& path) {
  std::size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool IsAbsolute(const std::string& path) {
  if (!path.empty() && IsSeparator(path[0])) return true;
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

std::string Join(const std::string& dir, const std::string& relative) {
  if (IsAbsolute(relative)) return relative;
  const char sep = SeparatorFor(dir);
  std::string rel = relative;
  for (char& c : rel) {
    if (IsSeparator(c)) c = sep;
  }
  if (dir.empty()) return rel;
  if (IsSeparator(dir.back())) return dir + rel;
  return dir + sep + rel;
}

std::vector<std::string> StockLanguageDirs() {
  std::vector<std::string> dirs;
  const std::string exe_dir = DirName(platform::ExecutablePath());
  if (!exe_dir.empty()) {
    dirs.push_back(Join(exe_dir, "languages"));
    dirs.push_back(Join(DirName(exe_dir), "share\\zqsetup\\languages"));
  }
  if (std::string src = SourceTreeLanguages(); !src.empty()) dirs.push_back(src);
  return dirs;
}

std::vector<std::string> StockPageDirs() {
  std::vector<std::string> dirs;
  const std::string exe_dir = DirName(platform::ExecutablePath());
  if (!exe_dir.empty()) {
    dirs.push_back(Join(exe_dir, "pages"));
    dirs.push_back(Join(DirName(exe_dir), "share\\zqsetup\\pages"));
  }
  if (std::string src = SourceTreePages(); !src.empty()) dirs.push_back(src);
  return dirs;
}

std::string FindSiblingStub(bool x64) {
  const std::string exe_dir = DirName(platform::ExecutablePath());
  if (exe_dir.empty()) return {};
  for (const char* name : {x64 ? "zqsetup64.exe" : "zqsetup.exe", "zqsetup.exe", "zqsetup"}) {
    std::string candidate = Join(exe_dir, name);
    if (platform::FileExists(candidate)) return candidate;
  }
  return {};
}

std::string FinaliserOfStub(const std::string& stub) {
  const std::string name = platform::LowerCase(BaseName(stub));
  const char* finaliser = "zqfinalise";
  if (name == "zqsetup64.exe") {
    finaliser = "zqfinalise64.exe";
  } else if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0) {
    finaliser = "zqfinalise.exe";
  }
  return Join(DirName(stub), finaliser);
}

}  // namespace zq::builder
