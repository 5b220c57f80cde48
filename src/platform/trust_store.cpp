#include "platform/trust_store.h"

#include "platform/files.h"
#include "platform/shell_folders.h"

namespace zq::platform {
namespace {

// A user profile may lack its local application data folder until a program first writes there.
bool MakeDirs(const std::string& path) {
  if (DirectoryExists(path)) return true;
  const std::size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return false;
  // Two made at once: the other's folder does as well as one's own.
  return (slash <= 2 || MakeDirs(path.substr(0, slash))) && (CreateDir(path) || DirectoryExists(path));
}

}  // namespace

TrustedFolder OpenTrustedFolder(TrustScope scope) {
  const auto base = SpecialFolderPath(scope == TrustScope::Machine ? kCsidlCommonAppData : kCsidlLocalAppData);
  if (!base) return {"", "the folder for the engine's own files is unknown"};
  if (!MakeDirs(*base)) return {*base + "\\zqsetup", *base + ": the folder cannot be made"};
  return OpenTrustedFolderAt(*base + "\\zqsetup", scope);
}

}  // namespace zq::platform
