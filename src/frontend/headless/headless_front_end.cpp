#include "frontend/headless/headless_front_end.h"

#include <cstdio>

#include "container/entry_names.h"
#include "container/pak.h"
#include "engine/macros.h"
#include "engine/progress.h"
#include "engine/setup_context.h"
#include "base/size_text.h"
#include "platform/console.h"
#include "platform/drives.h"
#include "platform/system.h"
#include "platform/text.h"
#include "engine/setup_thread.h"
#include "engine/wizard.h"
#include "engine/uninstaller.h"

namespace zq {

namespace {

std::string Narrow(const std::u16string& s) { return platform::WideToAnsi(s); }

std::string OneLine(std::string s) {
  for (char& c : s) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return s;
}

// A folder path without its trailing backslash (a drive root keeps it).
std::string TrimFolder(std::string dir) {
  while (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
  return dir;
}

}  // namespace

THeadlessFrontEnd::THeadlessFrontEnd(SetupContext& ctx, EngineOptions options, std::string program_path)
    : ctx_(ctx), options_(std::move(options)), program_path_(std::move(program_path)),
      terminal_(platform::StderrIsTerminal()) {}

int THeadlessFrontEnd::Show(const std::u16string& text, const std::u16string& caption, unsigned flags) {
  const int answer = UserBoxes != nullptr ? UserBoxes->Show(text, caption, flags) : DefaultMessageBoxAnswer(flags);
  ctx_.LogLine("message box \"" + OneLine(Narrow(caption)) + "\": " + OneLine(Narrow(text)) + " -> " +
               (answer == kIdOk ? "OK" : answer == kIdYes ? "Yes" : answer == kIdNo ? "No" : "Cancel"));
  if ((flags & 0xF0) == kMbIconError) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::fprintf(stderr, "%s%s: %s\n", terminal_ ? "\r" : "", OneLine(Narrow(caption)).c_str(),
                 OneLine(Narrow(text)).c_str());
  }
  return answer;
}

void THeadlessFrontEnd::VerifyBegin(std::size_t count) {
  ctx_.LogLine("verifying " + std::to_string(count) + " entries");
  if (VerifyView != nullptr) VerifyView->Begin(count);
}

void THeadlessFrontEnd::VerifyProgress(std::size_t done, std::size_t count) {
  if (VerifyView != nullptr) VerifyView->Progress(done, count);
}

void THeadlessFrontEnd::VerifyEnd() {
  if (VerifyView != nullptr) VerifyView->End();
  ctx_.LogLine("verification done");
}

void THeadlessFrontEnd::SetCaption(const std::u16string& text) {
  const std::string line = Narrow(text);
  if (line.rfind("Status: ", 0) != 0) ctx_.LogLine("status: " + line);
}

void THeadlessFrontEnd::SetPosition(std::int32_t position) { DrawBar(position); }

void THeadlessFrontEnd::DrawBar(std::int32_t position) {
  if (!terminal_ || gauge_max_ <= 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  const int width = 40;
  const int percent = static_cast<int>(std::min<std::int64_t>(100, std::int64_t{position} * 100 / gauge_max_));
  const int filled = width * percent / 100;
  std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(), std::string(width - filled, '.').c_str(),
               percent);
  if (position >= gauge_max_) std::fprintf(stderr, "\n");
  std::fflush(stderr);
}

int THeadlessFrontEnd::RunWizard(SetupContext& ctx) {
  ctx.StatusLabel = this;
  ctx.Gauge = this;
  ctx.DetailLabel = this;
  if (options_.install_dir) ctx.SetupInfo.InstallDir = *options_.install_dir;
  std::uint32_t size = 0;
  if (ctx.Pak->ExtractByName(kPageListEntry, 0, size)) return WalkPages(ctx);
  return ctx.SetupInfo.Mode == 1 ? RemoveInstallation(ctx) : Install(ctx);
}

namespace {

// Follows the wizard without widgets: the status line and the gauge go to the log and the
// terminal; pages shown are logged.
class THeadlessView : public TWizardView {
 public:
  THeadlessView(SetupContext& ctx, THeadlessFrontEnd& front_end) : ctx_(ctx), front_end_(front_end) {}
  TWizard* wizard = nullptr;
  void PageShown(int index) override { ctx_.LogLine("page " + std::to_string(index)); }
  void ControlChanged(const TControl& control) override {
    if (wizard == nullptr) return;
    if (&control == wizard->StatusLabel() || &control == wizard->DetailLabel()) {
      front_end_.SetCaption(control.Caption);
    } else if (&control == wizard->Gauge()) {
      front_end_.SetGauge(control.Gauge.Progress(), control.Gauge.Max());
    }
  }

 private:
  SetupContext& ctx_;
  THeadlessFrontEnd& front_end_;
};

}  // namespace

void THeadlessFrontEnd::SetGauge(std::int32_t position, std::int32_t max) {
  gauge_max_ = max;
  DrawBar(position);
}

int THeadlessFrontEnd::WalkPages(SetupContext& ctx) {
  THeadlessView view(ctx, *this);
  TWizard wizard(ctx, &view);
  view.wizard = &wizard;
  wizard.RunScript = [this, &ctx] { RunOnWorker(ctx); };
  wizard.RunUninstall = [&ctx] { Uninstall(ctx); };
  wizard.SetPagesUp();
  TSEPageControl& pages = wizard.Pages();
  if (pages.PageCount() == 0) return ctx.SetupInfo.Mode == 1 ? RemoveInstallation(ctx) : Install(ctx);
  ctx.LogLine(std::string(ctx.SetupInfo.Mode == 1 ? "uninstalling " : "installing ") + ctx.SetupInfo.SetupName +
              (ctx.SetupInfo.Mode == 1 ? " from " : " into ") + ctx.SetupInfo.InstallDir);
  // Every page is visited at most once on the way forward; the bound only guards a page set
  // whose Next never moves on.
  for (int step = 0; step <= pages.PageCount(); ++step) {
    const auto type = pages.CurrentType();
    if (type == ptFinish) break;
    if (!pages.Buttons().Next.Enabled || !pages.Buttons().Next.Visible) {
      if (type == ptInstallDir) {
        Show(platform::AnsiToWide("The folder " + ctx.SetupInfo.InstallDir +
                                  " is not on a drive that can take an installation."),
             u"Setup", kMbOk | kMbIconError);
      } else if (type == ptPatch) {
        Show(platform::AnsiToWide("Not enough free space for " + ctx.SetupInfo.SetupName + ": " +
                                  ctx.SpaceRequiredText + " needed, " + ctx.SpaceAvailableText + " available."),
             u"Setup", kMbOk | kMbIconError);
      } else {
        Show(u"The setup cannot go on from this page.", u"Setup", kMbOk | kMbIconError);
      }
      return kExitRefused;
    }
    const int before = pages.Current();
    wizard.NextButtonClick();
    if (pages.Current() == before && pages.CurrentType() != ptFinish) break;  // the last page
  }
  if (ctx.SetupInfo.Mode == 1) {
    ctx.LogLine("uninstalled");
    if (wizard.ShouldStartFinaliser()) StartFinaliser(ctx, program_path_);
    return kExitInstalled;
  }
  if (ctx.SetupAborted) {
    ctx.LogLine("the setup failed: " + Narrow(ctx.Languages.GetText(23)));
    return kExitScriptFailed;
  }
  ctx.LogLine("installed");
  return kExitInstalled;
}

void THeadlessFrontEnd::RunOnWorker(SetupContext& ctx) {
  ctx.MakeUninstaller = [this](SetupContext& c) { MakeUninstaller(c, program_path_); };
  ctx.CurrentLine = -1;
  TSetupThread worker(ctx);
  worker.RunRequested = true;
  while (worker.RunRequested) platform::SleepMs(1);
}

int THeadlessFrontEnd::Install(SetupContext& ctx) {
  ctx.SetupInfo.InstallDir = TrimFolder(ExpandMacrosAnsi(ctx, ctx.SetupInfo.InstallDir));
  const std::string& dir = ctx.SetupInfo.InstallDir;
  ctx.LogLine("installing " + ctx.SetupInfo.SetupName + " into " + dir);

  // The installation-directory page: a drive that cannot take an installation stops here.
  const platform::DriveType type = platform::GetDriveType(dir.substr(0, 3));
  if (dir.size() < 3 || dir[1] != ':' || type == platform::DriveType::Unknown ||
      type == platform::DriveType::NoRootDir || type == platform::DriveType::CdRom ||
      type == platform::DriveType::RamDisk) {
    Show(platform::AnsiToWide("The folder " + dir + " is not on a drive that can take an installation."), u"Setup",
         kMbOk | kMbIconError);
    return kExitRefused;
  }
  // The confirmation page: too little room keeps Next disabled.
  const std::string upper = platform::AnsiUpperCase(dir);
  if (auto free = platform::FreeBytes(upper[0] - 'A' + 1)) {
    ctx.SpaceAvailable = *free;
    ctx.SpaceAvailableText = SizeToText(*free);
  }
  if (ctx.SpaceAvailable < ctx.SpaceRequired) {
    Show(platform::AnsiToWide("Not enough free space on the drive of " + dir + ": " + ctx.SpaceRequiredText +
                              " needed, " + ctx.SpaceAvailableText + " available."),
         u"Setup", kMbOk | kMbIconError);
    return kExitRefused;
  }

  // The progress page: the window's side of a run.
  const std::size_t n = ctx.Pak->CountGroupedEntries();
  gauge_max_ = static_cast<std::int32_t>(n);
  SetStatusText(ctx, u"Status: 0 of " + platform::AnsiToWide(std::to_string(n)) + u" files extracted");
  ctx.ProgressPosition = 0;
  ctx.UninstallList.AddDir(dir);
  RunOnWorker(ctx);
  if (ctx.SetupAborted) {
    ctx.LogLine("the setup failed: " + Narrow(ctx.Languages.GetText(23)));
    return kExitScriptFailed;
  }
  ctx.LogLine("installed");
  return kExitInstalled;
}

int THeadlessFrontEnd::RemoveInstallation(SetupContext& ctx) {
  ctx.LogLine("uninstalling " + ctx.SetupInfo.ShortName + " from " + ctx.SetupInfo.InstallDir);
  gauge_max_ = static_cast<std::int32_t>(ctx.UninstallList.Files.size() + ctx.UninstallList.Dirs.size() +
                                         ctx.UninstallList.RegValues.size());
  Uninstall(ctx);
  ctx.LogLine("uninstalled");
  // Closing on the finish page of an uninstaller hands over to the finaliser.
  StartFinaliser(ctx, program_path_);
  return kExitInstalled;
}

}  // namespace zq
