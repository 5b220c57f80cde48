#include "app/startup.h"

#include <exception>
#include <string_view>

#include "engine/front_end.h"
#include "container/entry_names.h"
#include "container/pak.h"
#include "container/verify_all.h"
#include "base/path_text.h"
#include "base/registry_roots.h"
#include "engine/setup_context.h"
#include "base/macro_folders.h"
#include "base/size_text.h"
#include "platform/files.h"
#include "platform/shell_folders.h"
#include "platform/system.h"
#include "platform/text.h"
#include "engine/commands/commands.h"
#include "script/group_flags.h"
#include "engine/wizard.h"
#include "ui/page_set_check.h"

namespace zq {

namespace {

constexpr char kRegistryKeyMissing[] = "Error: Registry Key Not Found. Please Install Software";

class Refusal {
 public:
  Refusal(std::u16string text, std::u16string caption) : text(std::move(text)), caption(std::move(caption)) {}
  std::u16string text, caption;
};

// An exception whose report is written already; start-up ends with the internal-error code.
struct Reported {};

std::u16string W(const std::string& s) { return platform::AnsiToWide(s); }

std::int64_t RequiredSpace(const SetupContext& ctx) {
  std::uint32_t total = 0;  // 32 bits, as the figure has always been kept
  for (const TPakEntry& e : ctx.Pak->Entries) {
    if (e.Group == 0 || e.Group >= ctx.GroupFlags.size()) continue;
    total += ctx.GroupFlags[e.Group] == 0 ? e.OrigSize : e.StoredSize();
  }
  return total;
}

void LoadLanguages(SetupContext& ctx, std::uint16_t lang_id) {
  TPak& pak = *ctx.Pak;
  for (std::size_t i = 0; i < pak.Entries.size(); ++i) {
    const TPakEntry& e = pak.Entries[i];
    const std::string head = e.Name.substr(0, std::string_view(kLanguagePrefix).size());
    if (e.Group != 0 || platform::AnsiUpperCase(head) != kLanguagePrefix) continue;
    auto data = pak.Extract(i);
    if (std::string problem; data && !ctx.Languages.AddLanguage(data->data(), data->size(), &problem)) {
      ctx.LogLine("damaged language table " + e.Name + ": " + problem);
      throw Refusal(u"Error: Language Table Damaged. Setup is corrupt\rFilename: " + W(e.Name), u"Verification Error");
    }
  }
  int current = ctx.Languages.FindLanguage(lang_id);
  ctx.Languages.Current = current < 0 ? 0 : current;
}

void ResolveInstallDir(SetupContext& ctx) {
  const TInstallDirRegKey& key = ctx.SetupInfo.InstallDirRegKey;
  if (!key.Key.empty()) {
    ctx.Registry.SetRoot(RootCodeToKey(key.HKEY));
    if (ctx.Registry.OpenKey(key.Path, false)) {
      std::string value = ctx.Registry.ReadString(key.Key).value_or("");
      if (!value.empty()) ctx.SetupInfo.InstallDir = value;
      ctx.Registry.CloseKey();
      if (ctx.SetupInfo.InstallDir.empty()) throw Refusal(W(kRegistryKeyMissing), u"Error");
      ctx.MeasureSpaceAvailable();
      return;
    }
    if (ctx.SetupInfo.InstallDir.empty()) throw Refusal(W(kRegistryKeyMissing), u"Error");
    return;
  }
  if (ctx.SetupInfo.InstallDir.empty()) throw Refusal(W(kRegistryKeyMissing), u"Error");
  ctx.MeasureSpaceAvailable();
}

// Steps 4 to 16 of start-up; a refusal ends them.
void PrepareRun(SetupContext& ctx, TFrontEnd& fe, const StartupEnvironment& env, const EngineOptions& options) {
  bool param_file_given = false;
  std::string container = env.program_path;
  if (options.container && platform::FileExists(*options.container)) {
    container = *options.container;
    param_file_given = true;
  }
  ctx.Pak = std::make_unique<TPak>(container, TPak::OpenFlags::Read);
  ctx.Pak->Messages = &fe;
  if (!ctx.Pak->HasValidHeader()) {
    if (!ctx.Pak->DirectoryProblem().empty()) ctx.LogLine("damaged package: " + ctx.Pak->DirectoryProblem());
    throw Refusal(u"Invalid Setup Header. No Contents or Corrupted Contents.", u"Error");
  }
  const std::size_t count = ctx.Pak->Entries.size();
  fe.VerifyBegin(count);
  VerifyResult verified;
  try {
    verified = VerifyAllEntries(*ctx.Pak, [&](std::size_t done) { fe.VerifyProgress(done, count); });
  } catch (const std::exception& e) {
    // A package that could not be checked (no memory) is not installed unchecked.
    fe.VerifyEnd();
    if (env.report_error) env.report_error(ctx, e.what(), "Verification Stage");
    throw Reported{};
  }
  fe.VerifyEnd();
  if (verified.first_failure || verified.could_not_read) {
    const std::size_t i = verified.first_failure.value_or(0);
    throw Refusal(u"Error: Verification Failed. Setup is corrupt.\rID: " + W(std::to_string(i)) + u" Filename: " +
                      W(i < count ? ctx.Pak->Entries[i].Name : ""),
                  u"Verification Error");
  }
  ctx.CDDrive = FindCDDrive();

  std::uint32_t size = 0;
  auto info = ctx.Pak->ExtractByName(kSetupInfoEntry, 0, size);
  if (std::string problem; !info || !ctx.SetupInfo.LoadFromBuffer(info->data(), info->size(), &problem)) {
    if (!problem.empty()) ctx.LogLine("damaged setup record: " + problem);
    throw Refusal(u"Error: Setup Information Missing. Setup is corrupt", u"Verification Error");
  }
  ctx.SpaceRequired = 0;
  if (ctx.SetupInfo.Mode == 1) {
    const std::string log = TUninstallList::LogPath(ctx.SetupInfo.InstallDir, ctx.SetupInfo.LogPrefix);
    if (!platform::FileExists(log)) throw Refusal(u"Error: install log is missing", u"Setup Error");
    if (std::string problem; !ctx.UninstallList.Load(ctx.SetupInfo.InstallDir, ctx.SetupInfo.LogPrefix, &problem)) {
      ctx.LogLine("damaged uninstall log " + log + ": " + problem);
      throw Refusal(u"Error: install log is missing", u"Setup Error");
    }
  } else if (ctx.SetupInfo.Mode == 0) {
    auto lines = ctx.Pak->ExtractByName(kCompiledLinesEntry, 0, size);
    if (!lines) throw Refusal(u"Error: Compiled Lines Missing. Setup is corrupt", u"Verification Error");
    std::string problem;
    if (!ctx.CompLines.LoadFromBuffer(lines->data(), lines->size(), &problem)) {
      ctx.LogLine("damaged compiled script: " + problem);
      throw Refusal(u"Error: Compiled Lines Damaged. Setup is corrupt", u"Verification Error");
    }
    RegisterCommands(ctx.CommandList);
    ctx.GroupFlags = BuildGroupFlags(ctx.CompLines);
    ctx.SpaceRequired = RequiredSpace(ctx);
  }
  ctx.SpaceRequiredText = SizeToText(ctx.SpaceRequired);
  ctx.ProgramFilesDir = GetShellFolder(platform::kCsidlProgramFiles);
  ctx.StartMenuDir = GetShellFolder(platform::kCsidlPrograms);
  ctx.DesktopDir = GetShellFolder(platform::kCsidlDesktop);
  ctx.AppDataDir = GetShellFolder(platform::kCsidlAppData);

  if (!param_file_given && ctx.SetupInfo.Mode == 0) {
    const std::string running = ExtractFileName(env.program_path);
    const std::string expected = ExtractFileName(ctx.SetupInfo.SetupExeName);
    if (!SameSetupFileName(platform::AnsiLowerCase(running), platform::AnsiLowerCase(expected))) {
      throw Refusal(u"Error: Setup`s filename has been renamed\r\rExpected: \r" + W(ctx.SetupInfo.SetupExeName) +
                        u"\r\rFound: \r" + W(running),
                    u"Error");
    }
  }
  LoadLanguages(ctx, options.language.value_or(platform::SystemDefaultLangId()));
  // The wizard builds these pages once start-up is done; a layout it cannot build is refused
  // here, before anything is written, instead of ending in the error report.
  if (const std::string problem = PageSetProblem(ctx.Languages, ctx.LanguageStrings, PakEntryFetcher(*ctx.Pak));
      !problem.empty()) {
    ctx.LogLine("damaged page files: " + problem);
    throw Refusal(u"Error: Page Files Damaged. Setup is corrupt\r" + W(problem), u"Verification Error");
  }
  if (ctx.SetupInfo.Mode == 0) ResolveInstallDir(ctx);
}

}  // namespace

int RunEngine(SetupContext& ctx, TFrontEnd& front_end, const StartupEnvironment& env) {
  const EngineOptions options = ParseEngineCommandLine(env.arguments);
  for (const auto& p : options.problems) ctx.LogLine("command line: " + p);
  try {
    try {
      PrepareRun(ctx, front_end, env, options);
    } catch (const Refusal& refusal) {
      ctx.LogLine("refused: " + platform::WideToAnsi(refusal.text));
      front_end.Show(refusal.text, refusal.caption, kMbOk | kMbIconError);
      return kExitRefused;
    }
    if (ctx.SetupInfo.Mode != 0 && ctx.SetupInfo.Mode != 1) return kExitRefused;
    return front_end.RunWizard(ctx);
  } catch (const Reported&) {
    return kExitInternalError;
  } catch (const std::exception& e) {
    if (env.report_error) env.report_error(ctx, e.what(), "");
    return kExitInternalError;
  }
}

}  // namespace zq
