#include "engine/uninstall_log_check.h"

#include "engine/setup_context.h"
#include "engine/uninstaller.h"
#include "platform/registry.h"
#include "platform/trust_store.h"

namespace zq {

std::optional<LogKey> UninstallLogKey(const LoadedSetup& setup, std::string* problem) {
  const platform::TrustedFolder folder = platform::OpenTrustedFolder(
      setup.Options.Scope == InstallScope::User ? platform::TrustScope::User : platform::TrustScope::Machine);
  if (!folder.ok()) {
    if (problem != nullptr) *problem = folder.problem;
    return std::nullopt;
  }
  return platform::TrustKey(folder, problem);
}

bool SaveUninstallLog(const RunScope& ctx, const std::string& directory, const std::string& prefix, bool sign) {
  std::optional<LogKey> key;
  if (sign) {
    std::string problem;
    key = UninstallLogKey(ctx.Setup, &problem);
    if (!key) ctx.Services.LogLine("the uninstall log is saved without its check: " + problem);
  }
  if (!ctx.Run.UninstallList.Save(directory, prefix, key ? &*key : nullptr)) return false;
  ctx.Run.UninstallLogCheck = key ? LogCheck::Verified : LogCheck::Absent;
  return true;
}

bool LoadUninstallLog(const RunScope& ctx, std::string* problem) {
  const std::string& dir = ctx.Choices.InstallDir;
  const std::string& prefix = ctx.Setup.SetupInfo.LogPrefix;
  std::string key_problem;
  const std::optional<LogKey> key = UninstallLogKey(ctx.Setup, &key_problem);
  LogCheck check = LogCheck::Absent;
  if (!ctx.Run.UninstallList.Load(dir, prefix, problem, key ? &*key : nullptr, &check)) return false;
  // The entry lies where only those who may uninstall can write: a log stripped of its check
  // is not taken for an older one.
  platform::Registry reg;
  const auto entry = ReadUninstallEntry(reg, UninstallEntryRoot(ctx.Setup), ctx.Setup.SetupInfo.ShortName);
  const bool entry_says_signed = entry && entry->LogSigned;
  const std::string log = TUninstallList::LogPath(dir, prefix);
  if (check == LogCheck::Absent && entry_says_signed) {
    check = LogCheck::Failed;
    ctx.Services.LogLine("the uninstall log " + log +
                         " fails its check: it has none, and its product's entry says it was signed");
  } else if (check == LogCheck::Failed) {
    ctx.Services.LogLine("the uninstall log " + log + " fails its check: " +
                         (key ? std::string("it has been changed since it was written")
                              : "the key cannot be read (" + key_problem + ")"));
  } else if (check == LogCheck::Absent) {
    ctx.Services.LogLine("the uninstall log " + log + " is not signed: outside " + dir + " only shortcuts are removed");
  }
  ctx.Run.UninstallLogCheck = check;
  return true;
}

}  // namespace zq
