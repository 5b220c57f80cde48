// What the uninstaller may delete: only what an installation can own. The log is a file beside
// the installation that anyone may have rewritten; a damaged or crafted one must not reach the
// system, the user's profile, another product, or (on the host) the host outside the prefix.
#pragma once

#include <string>
#include <unordered_map>
#include <utility>

namespace zq {

struct LoadedSetup;
struct RunServices;

// Empty when the uninstaller may delete the file (or, with `folder`, the empty folder) at `path`
// (macros expanded); otherwise why not. Refused: anything but a full "X:\..." path (UNC and
// relative paths), a "." or ".." component, a drive root or a file directly in it, the Windows
// folder and all in it, a profile folder or the folder of profiles, the program files folder
// itself, and a path off the machine's own disks (the host's z:). A folder directly in a drive
// root ("C:\Game") is an installation's own.
std::string RemovalRefusal(const LoadedSetup& setup, const std::string& path, bool folder);

// True when `path` is `folder` or lies in it, names compared without regard to case; false for
// anything but full "X:\..." paths and for a "." or ".." component in either.
bool PathWithin(const std::string& path, const std::string& folder);

// Whether a folder on the way from `base` (itself included) to a path in it is a link or
// junction: one put there by someone who may write the installation folder would take a
// deletion or a restore meant for the installation's own file anywhere on the machine. Paths
// outside `base` are not asked about. What each folder is, is asked once.
class LinkGuard {
 public:
  explicit LinkGuard(std::string base) : base_(std::move(base)) {}
  bool ThroughLink(const std::string& path);

 private:
  std::string base_;
  std::unordered_map<std::string, bool> folders_;  // lower-cased folder: a link itself or above
};

// A shortcut file (.lnk, .url, .pif) in the Start menu's programs or on the desktop, the user's
// or all users'; with `folder`, a folder below those Start menu folders (a program group). What
// an unsigned log is believed to have made outside its installation folder.
bool IsShortcutPlace(const std::string& path, bool folder);

// RemovalRefusal as the uninstaller uses it: a refusal is written to the run log.
bool MayRemove(const LoadedSetup& setup, const RunServices& services, const std::string& path, bool folder);

}  // namespace zq
