#include "app/startup.h"

#include <exception>
#include <string_view>

#include "engine/front_end.h"
#include "container/entry_names.h"
#include "container/pak.h"
#include "container/verify_all.h"
#include "base/path_text.h"
#include "base/registry_roots.h"
#include "container/version_text.h"
#include "engine/uninstall_log_check.h"
#include "engine/uninstaller.h"
#include "engine/run_changes.h"
#include "engine/selection.h"
#include "engine/setup_context.h"
#include "base/macro_folders.h"
#include "base/size_text.h"
#include "container/run_options.h"
#include "platform/files.h"
#include "platform/machine_view.h"
#include "platform/run_lock.h"
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
  Refusal(std::u16string text, std::u16string caption, int code = kExitRefused)
      : text(std::move(text)), caption(std::move(caption)), code(code) {}
  std::u16string text, caption;
  int code;
};

// An exception whose report is written already; start-up ends with the internal-error code.
struct Reported {};

std::u16string W(const std::string& s) { return platform::Utf8ToWide(s); }

void LoadLanguages(SetupContext& ctx, std::uint16_t lang_id) {
  LoadedSetup& setup = ctx.SetupToLoad();
  TPak& pak = *setup.Pak;
  for (std::size_t i = 0; i < pak.Entries().size(); ++i) {
    const TPakEntry& e = pak.Entries()[i];
    const std::string head = e.Name.substr(0, std::string_view(kLanguagePrefix).size());
    if (e.Group != 0 || platform::UpperCase(head) != kLanguagePrefix) continue;
    auto data = pak.Extract(i);
    if (std::string problem; data && !setup.Languages.AddLanguage(data->data(), data->size(), &problem)) {
      ctx.Services.LogLine("damaged language table " + e.Name + ": " + problem);
      throw Refusal(u"Error: Language Table Damaged. Setup is corrupt\rFilename: " + W(e.Name), u"Verification Error");
    }
    if (data) setup.LanguageNames.push_back(e.Name.substr(head.size()));
  }
  int current = setup.Languages.FindLanguage(lang_id);
  // The tables' own choice is the default the user starts from.
  setup.Languages.Current = current < 0 ? 0 : current;
  ctx.Choices.Language = setup.Languages.Current;
}

// What the script offers the user beyond its lines: components, licences, a program to run.
void ReadChoicesOffered(LoadedSetup& setup) {
  setup.Components = ComponentsOf(setup.CompLines);
  setup.GroupComponent = GroupComponents(setup.CompLines, setup.Components);
  for (const TCompLine& line : setup.CompLines.Lines) {
    auto arg = [&line](std::size_t n) { return n <= line.Args.size() ? line.Args[n - 1] : std::string(); };
    if (line.CommandIndex == CommandIndexOf("license")) {
      setup.Licenses.push_back({arg(2), arg(1)});
    } else if (line.CommandIndex == CommandIndexOf("runafter")) {
      setup.RunAfterProgram = arg(1);
      setup.RunAfterArguments = arg(2);
    }
  }
}

// The folder of an earlier installation, when the setup names a registry value holding it,
// overrides the record's; either way it is the user's to change from here on. A folder given
// with /D= is the one the front end takes, so a script without installdir starts with it.
void ResolveInstallDir(SetupContext& ctx, const std::optional<std::string>& given) {
  if (given && ctx.Choices.InstallDir.empty()) {
    ctx.Choices.InstallDir = *given;
    ctx.Choices.MeasureSpaceAvailable();
    return;
  }
  const RegKeyRef& key = ctx.Setup.SetupInfo.InstallDirRegKey;
  if (!key.Key.empty()) {
    platform::Registry reg;
    reg.SetRoot(RootCodeToKey(key.HKEY));
    if (reg.OpenKey(key.Path, false)) {
      std::string value = reg.ReadString(key.Key).value_or("");
      if (!value.empty()) ctx.Choices.InstallDir = value;
      reg.CloseKey();
      if (ctx.Choices.InstallDir.empty()) throw Refusal(W(kRegistryKeyMissing), u"Error");
      ctx.Choices.MeasureSpaceAvailable();
      return;
    }
    if (ctx.Choices.InstallDir.empty()) throw Refusal(W(kRegistryKeyMissing), u"Error");
    return;
  }
  if (ctx.Choices.InstallDir.empty()) throw Refusal(W(kRegistryKeyMissing), u"Error");
  ctx.Choices.MeasureSpaceAvailable();
}

// The options come first: an x64 setup reads and writes nothing of the machine through the
// 32-bit view, its recovery of an interrupted run included. The uninstaller carries its setup's.
// The 64-bit engine has no other view to take.
void TakeMachineView(LoadedSetup& setup) {
  platform::UseNativeView(platform::Is64BitEngine());
  if (auto options = setup.Pak->ExtractByName(kRunOptionsEntry, 0)) setup.Options = ParseRunOptions(*options);
  if (const std::string need = UnknownNeed(setup.Options); !need.empty()) {
    throw Refusal(
        u"This setup needs a newer zqsetup: its script uses \"" + W(need) + u"\", which this one does not know.",
        u"Setup Error");
  }
  if (setup.Options.Arch != Architecture::X64 || platform::Is64BitEngine()) return;
  if (!platform::IsWindows64()) {
    throw Refusal(u"This setup is for 64-bit Windows (x64) and cannot run on this 32-bit Windows.", u"Setup Error");
  }
  platform::UseNativeView(true);
}

void FindMachineFolders(LoadedSetup& setup) {
  setup.ProgramFiles32Dir = GetShellFolder(platform::kCsidlProgramFiles);
  setup.ProgramFiles64Dir = GetShellFolder(platform::kFolderProgramFiles64);
  const bool native = setup.Options.Arch == Architecture::X64 || platform::Is64BitEngine();
  setup.ProgramFilesDir = native ? setup.ProgramFiles64Dir : setup.ProgramFiles32Dir;
  setup.StartMenuDir = GetShellFolder(platform::kCsidlPrograms);
  setup.DesktopDir = GetShellFolder(platform::kCsidlDesktop);
  setup.AppDataDir = GetShellFolder(platform::kCsidlAppData);
  setup.LocalAppDataDir = GetShellFolder(platform::kCsidlLocalAppData);
  setup.CommonStartMenuDir = GetShellFolder(platform::kCsidlCommonPrograms);
  setup.CommonDesktopDir = GetShellFolder(platform::kCsidlCommonDesktop);
  setup.CommonAppDataDir = GetShellFolder(platform::kCsidlCommonAppData);
}

// Held until the process ends, so a second setup or uninstaller of the product waits its turn
// instead of racing this one over the same files, log and registration.
void HoldProductRunLock(SetupContext& ctx) {
  const TSetupInfoFile& info = ctx.Setup.SetupInfo;
  const std::string& product = info.ShortName.empty() ? info.SetupName : info.ShortName;
  const platform::RunLock lock = platform::HoldRunLock(product);
  if (lock == platform::RunLock::Unavailable) {
    ctx.Services.LogLine("the run lock could not be made; going on without it");
  }
  if (lock == platform::RunLock::Busy) {
    throw Refusal(u"Another setup or uninstall of " + W(product) + u" is running.\rTry again when it has ended.",
                  u"Setup", kExitAnotherRun);
  }
}

// An installation of the product that is newer than this setup stays, unless the script allows
// going back. A setup or an installation without a version is never refused.
void RefuseDowngrade(SetupContext& ctx) {
  const LoadedSetup& setup = ctx.Setup;
  if (setup.Options.Version.empty()) return;
  platform::Registry reg;
  // Where this setup registers: a per-user installation is found in HKCU.
  const auto earlier = ReadUninstallEntry(reg, UninstallEntryRoot(setup), setup.SetupInfo.ShortName);
  if (!earlier || earlier->Version.empty()) return;
  const int order = CompareVersions(earlier->Version, setup.Options.Version);
  ctx.Services.LogLine("installed version " + earlier->Version + ", this setup's " + setup.Options.Version);
  if (order <= 0) return;
  if (setup.Options.AllowDowngrade) {
    ctx.Services.LogLine("going back to an older version: the script allows it");
    return;
  }
  throw Refusal(u"A newer version of " + W(setup.SetupInfo.ShortName) + u" (" + W(earlier->Version) +
                    u") is installed than this setup's (" + W(setup.Options.Version) +
                    u").\rUninstall it first to install this version.",
                u"Setup");
}

// Steps 4 to 16 of start-up; a refusal ends them.
void PrepareRun(SetupContext& ctx, FrontEnd& fe, const StartupEnvironment& env, const EngineOptions& options) {
  LoadedSetup& setup = ctx.SetupToLoad();
  bool param_file_given = false;
  std::string container = env.program_path;
  if (options.container && platform::FileExists(*options.container)) {
    container = *options.container;
    param_file_given = true;
  }
  setup.Pak = std::make_unique<TPak>(container, &fe);
  if (!setup.Pak->HasValidHeader()) {
    if (!setup.Pak->DirectoryProblem().empty())
      ctx.Services.LogLine("damaged package: " + setup.Pak->DirectoryProblem());
    throw Refusal(u"Invalid Setup Header. No Contents or Corrupted Contents.", u"Error");
  }
  const std::size_t count = setup.Pak->Entries().size();
  fe.VerifyBegin(count);
  VerifyResult verified;
  try {
    verified = VerifyAllEntries(*setup.Pak, [&](std::size_t done) { fe.VerifyProgress(done, count); });
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
                      W(i < count ? setup.Pak->Entries()[i].Name : ""),
                  u"Verification Error");
  }
  setup.CDDrive = FindCDDrive();

  auto info = setup.Pak->ExtractByName(kSetupInfoEntry, 0);
  if (std::string problem; !info || !setup.SetupInfo.LoadFromBuffer(info->data(), info->size(), &problem)) {
    if (!problem.empty()) ctx.Services.LogLine("damaged setup record: " + problem);
    throw Refusal(u"Error: Setup Information Missing. Setup is corrupt", u"Verification Error");
  }
  const auto utf8 = [&pak = *setup.Pak](const std::string& stored) { return pak.Utf8Text(stored); };
  if (!setup.Pak->TextIsUtf8()) setup.SetupInfo.MapText(utf8);
  TakeMachineView(setup);
  HoldProductRunLock(ctx);
  ctx.Choices.InstallDir = setup.SetupInfo.InstallDir;
  // An uninstaller made (and signed) at build time could not know the folder: it is the one
  // it was written to, beside its log.
  if (setup.IsUninstaller() && ctx.Choices.InstallDir.empty()) ctx.Choices.InstallDir = ExtractFileDir(container);
  FindMachineFolders(setup);
  if (setup.IsUninstaller()) {
    // A run killed in this folder is finished before its log is read: an upgrade's is undone, so
    // the log read is the one of the installation that stands.
    RecoverInterruptedRun(ctx);
    const std::string log = TUninstallList::LogPath(ctx.Choices.InstallDir, setup.SetupInfo.LogPrefix);
    if (!platform::FileExists(log)) throw Refusal(u"Error: install log is missing", u"Setup Error");
    // Its keyed check decides how far it is believed (Uninstall).
    if (std::string problem; !LoadUninstallLog(ctx, &problem)) {
      ctx.Services.LogLine("damaged uninstall log " + log + ": " + problem);
      throw Refusal(u"Error: install log is missing", u"Setup Error");
    }
  } else if (setup.SetupInfo.Mode == SetupMode::Setup) {
    auto lines = setup.Pak->ExtractByName(kCompiledLinesEntry, 0);
    if (!lines) throw Refusal(u"Error: Compiled Lines Missing. Setup is corrupt", u"Verification Error");
    std::string problem;
    if (!setup.CompLines.LoadFromBuffer(lines->data(), lines->size(), &problem)) {
      ctx.Services.LogLine("damaged compiled script: " + problem);
      throw Refusal(u"Error: Compiled Lines Damaged. Setup is corrupt", u"Verification Error");
    }
    if (!setup.Pak->TextIsUtf8()) setup.CompLines.MapText(utf8);
    RefuseDowngrade(ctx);
    RegisterCommands(setup.CommandList);
    setup.GroupFlags = BuildGroupFlags(setup.CompLines);
    ReadChoicesOffered(setup);
    DefaultComponents(setup, ctx.Choices);
    if (options.components) {
      if (const std::string problem = ChooseComponents(setup, ctx.Choices, *options.components); !problem.empty()) {
        throw Refusal(u"/COMPONENTS=: " + W(problem) + u".", u"Setup");
      }
    }
  }

  if (!param_file_given && setup.SetupInfo.Mode == SetupMode::Setup) {
    const std::string running = ExtractFileName(env.program_path);
    const std::string expected = ExtractFileName(setup.SetupInfo.SetupExeName);
    if (!SameSetupFileName(platform::LowerCase(running), platform::LowerCase(expected))) {
      throw Refusal(u"Error: Setup`s filename has been renamed\r\rExpected: \r" + W(setup.SetupInfo.SetupExeName) +
                        u"\r\rFound: \r" + W(running),
                    u"Error");
    }
  }
  LoadLanguages(ctx, options.language.value_or(platform::SystemDefaultLangId()));
  // The wizard builds these pages once start-up is done; a layout it cannot build is refused
  // here, before anything is written, instead of ending in the error report.
  if (const std::string problem = PageSetProblem(setup.Languages, ctx.LanguageStrings, PakEntryFetcher(*setup.Pak));
      !problem.empty()) {
    ctx.Services.LogLine("damaged page files: " + problem);
    throw Refusal(u"Error: Page Files Damaged. Setup is corrupt\r" + W(problem), u"Verification Error");
  }
  if (setup.SetupInfo.Mode == SetupMode::Setup) ResolveInstallDir(ctx, options.install_dir);
  ctx.Choices.LicenseEntry = LicenseEntryFor(setup, ctx.Choices.Language);
  UpdateSpaceRequired(setup, ctx.Choices);
}

}  // namespace

int RunEngine(SetupContext& ctx, FrontEnd& front_end, const StartupEnvironment& env) {
  const EngineOptions options = ParseEngineCommandLine(env.arguments);
  for (const auto& p : options.problems) ctx.Services.LogLine("command line: " + p);
  try {
    try {
      PrepareRun(ctx, front_end, env, options);
    } catch (const Refusal& refusal) {
      ctx.Services.LogLine("refused: " + platform::WideToUtf8(refusal.text));
      front_end.Show(refusal.text, refusal.caption, kMbOk | kMbIconError);
      return refusal.code;
    }
    const SetupMode mode = ctx.Setup.SetupInfo.Mode;
    if (mode != SetupMode::Setup && mode != SetupMode::Uninstaller) return kExitRefused;
    return front_end.RunWizard(ctx);
  } catch (const Reported&) {
    return kExitInternalError;
  } catch (const std::exception& e) {
    if (env.report_error) env.report_error(ctx, e.what(), "");
    return kExitInternalError;
  }
}

}  // namespace zq
