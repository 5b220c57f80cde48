#include "engine/removal_guard.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <optional>
#include <vector>

#include "engine/setup_context.h"
#include "platform/files.h"
#include "platform/shell_folders.h"
#include "platform/text.h"

namespace zq {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A full path as its drive letter and its components, lower-cased; empty components (doubled
// separators, a trailing one) dropped, as the system drops them.
struct SplitPath {
  char drive = 0;
  std::vector<std::string> parts;

  bool StartsWith(const SplitPath& folder) const {
    if (folder.drive != drive || folder.parts.size() > parts.size()) return false;
    for (std::size_t i = 0; i < folder.parts.size(); ++i) {
      if (parts[i] != folder.parts[i]) return false;
    }
    return true;
  }
  bool Is(const SplitPath& folder) const { return parts.size() == folder.parts.size() && StartsWith(folder); }
};

std::optional<SplitPath> Split(const std::string& path) {
  if (path.size() < 3 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' || !IsSeparator(path[2]))
    return std::nullopt;
  SplitPath out;
  out.drive = static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
  std::string part;
  for (std::size_t i = 3; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      if (!part.empty()) out.parts.push_back(platform::LowerCase(part));
      part.clear();
    } else {
      part += path[i];
    }
  }
  return out;
}

std::optional<SplitPath> Folder(int csidl) {
  const auto path = platform::SpecialFolderPath(csidl);
  return path ? Split(*path) : std::nullopt;
}

// Windows trims trailing dots and blanks, so "..." and ". ." name what "." and ".." name.
bool IsDots(const std::string& part) { return part.find_first_not_of(". ") == std::string::npos; }

constexpr int kShortcutFolders[] = {platform::kCsidlPrograms, platform::kCsidlCommonPrograms, platform::kCsidlDesktop,
                                    platform::kCsidlCommonDesktop};

}  // namespace

std::string RemovalRefusal(const LoadedSetup& setup, const std::string& path, bool folder) {
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return "a network or device path";
  const auto split = Split(path);
  if (!split) return "not a full path";
  for (const std::string& part : split->parts) {
    if (IsDots(part)) return "a \".\" or \"..\" component";
  }
  if (split->parts.empty()) return "a drive root";
  if (split->parts.size() == 1 && !folder) return "a file directly in a drive root";
  if (const auto windows = Folder(platform::kCsidlWindows); windows && split->StartsWith(*windows)) {
    return "the Windows folder";
  }
  if (auto profile = Folder(platform::kCsidlProfile); profile && profile->parts.size() >= 2) {
    profile->parts.pop_back();  // the folder of all profiles
    if (split->Is(*profile) || (split->parts.size() == profile->parts.size() + 1 && split->StartsWith(*profile))) {
      return "a user profile folder";
    }
  }
  // Folders a script may name with a macro ("createdirectory $DESKTOP") and so record.
  for (const int csidl :
       {platform::kCsidlDesktop, platform::kCsidlAppData, platform::kCsidlPrograms, platform::kCsidlLocalAppData}) {
    if (const auto folder = Folder(csidl); folder && split->Is(*folder)) return "a folder of the user's own";
  }
  for (const int csidl :
       {platform::kCsidlCommonDesktop, platform::kCsidlCommonAppData, platform::kCsidlCommonPrograms}) {
    if (const auto folder = Folder(csidl); folder && split->Is(*folder)) return "a folder of all users";
  }
  for (const std::optional<SplitPath>& programs :
       {Split(setup.ProgramFilesDir), Split(setup.ProgramFiles32Dir), Split(setup.ProgramFiles64Dir),
        Folder(platform::kCsidlProgramFiles), Folder(platform::kFolderProgramFiles64)}) {
    if (programs && split->Is(*programs)) return "the program files folder";
  }
  if (!platform::IsOnMachineDisk(path)) return "not on the machine's own disks";
  return {};
}

bool PathWithin(const std::string& path, const std::string& folder) {
  const auto inner = Split(path);
  const auto outer = Split(folder);
  if (!inner || !outer) return false;
  for (const auto* split : {&*inner, &*outer}) {
    if (std::any_of(split->parts.begin(), split->parts.end(), IsDots)) return false;
  }
  return inner->StartsWith(*outer);
}

bool LinkGuard::ThroughLink(const std::string& path) {
  if (base_.empty() || !PathWithin(path, base_)) return false;
  const auto base = Split(base_);
  // From the base down to the folder that holds `path`.
  std::string folder = path;
  std::vector<std::string> on_the_way;
  while (true) {
    const std::size_t cut = folder.find_last_of("\\/");
    if (cut == std::string::npos || cut < 3) break;
    folder.resize(cut);
    const auto split = Split(folder);
    if (!split || !split->StartsWith(*base)) break;
    on_the_way.push_back(folder);
  }
  bool link = false;
  for (auto f = on_the_way.rbegin(); f != on_the_way.rend() && !link; ++f) {
    const std::string key = platform::LowerCase(*f);
    const auto known = folders_.find(key);
    link = known != folders_.end() ? known->second : platform::IsLink(*f);
    folders_[key] = link;
  }
  return link;
}

bool IsShortcutPlace(const std::string& path, bool folder) {
  const auto split = Split(path);
  if (!split || split->parts.empty() || std::any_of(split->parts.begin(), split->parts.end(), IsDots)) return false;
  const auto below = [&](int csidl) {
    const auto place = Folder(csidl);
    return place && split->parts.size() > place->parts.size() && split->StartsWith(*place);
  };
  if (folder) return below(platform::kCsidlPrograms) || below(platform::kCsidlCommonPrograms);
  const std::string& name = split->parts.back();
  const std::size_t dot = name.rfind('.');
  const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  if (extension != ".lnk" && extension != ".url" && extension != ".pif") return false;
  return std::any_of(std::begin(kShortcutFolders), std::end(kShortcutFolders), below);
}

bool MayRemove(const LoadedSetup& setup, const RunServices& services, const std::string& path, bool folder) {
  const std::string refusal = RemovalRefusal(setup, path, folder);
  if (refusal.empty()) return true;
  services.LogLine("refused to delete " + path + ": " + refusal);
  return false;
}

}  // namespace zq
