#include "frontend/headless/headless_front_end.h"

#include <algorithm>
#include <cstdio>

#include "engine/setup_context.h"
#include "engine/setup_thread.h"
#include "engine/uninstaller.h"
#include "engine/wizard.h"
#include "platform/console.h"
#include "platform/text.h"

namespace zq {

namespace {

std::string Narrow(const std::u16string& s) { return platform::WideToUtf8(s); }

// A message's line breaks, with the blanks around them, become one space.
std::string OneLine(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] != '\r' && s[i] != '\n') {
      out += s[i++];
      continue;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    while (i < s.size() && (s[i] == '\r' || s[i] == '\n' || s[i] == ' ')) ++i;
    if (!out.empty() && i < s.size()) out += ' ';
  }
  return out;
}

}  // namespace

HeadlessFrontEnd::HeadlessFrontEnd(SetupContext& ctx, EngineOptions options, std::string program_path)
    : ctx_(ctx), options_(std::move(options)), program_path_(std::move(program_path)),
      terminal_(platform::StderrIsTerminal()) {}

HeadlessFrontEnd::~HeadlessFrontEnd() = default;

int HeadlessFrontEnd::Show(const std::u16string& text, const std::u16string& caption, unsigned flags) {
  const int answer = DefaultMessageBoxAnswer(flags);
  // The log keeps the text's line breaks; the one-line report on stderr does not.
  ctx_.Services.LogLine("message box \"" + OneLine(Narrow(caption)) + "\": " + Narrow(text) + " -> " +
                        (answer == kIdOk    ? "OK"
                         : answer == kIdYes ? "Yes"
                         : answer == kIdNo  ? "No"
                                            : "Cancel"));
  if ((flags & 0xF0) == kMbIconError) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Most error texts already begin with "Error:"; the caption is not said twice.
    const std::string head = OneLine(Narrow(caption));
    const std::string body = OneLine(Narrow(text));
    const bool said = body.compare(0, head.size() + 1, head + ":") == 0;
    std::fprintf(stderr, "%s%s%s%s\n", terminal_ ? "\r" : "", said ? "" : head.c_str(), said ? "" : ": ", body.c_str());
  }
  return answer;
}

void HeadlessFrontEnd::VerifyBegin(std::size_t count) {
  ctx_.Services.LogLine("verifying " + std::to_string(count) + " entries");
}

void HeadlessFrontEnd::VerifyEnd() { ctx_.Services.LogLine("verification done"); }

void HeadlessFrontEnd::PageShown(int index) { ctx_.Services.LogLine("page " + std::to_string(index)); }

void HeadlessFrontEnd::ControlChanged(const Control& control) {
  if (wizard_ == nullptr) return;
  if (&control == wizard_->StatusLabel() || &control == wizard_->DetailLabel()) {
    SetCaption(control.Caption);
  } else if (&control == wizard_->Gauge()) {
    gauge_max_ = control.Gauge.Max();
    DrawBar(control.Gauge.Progress());
  }
}

void HeadlessFrontEnd::SetCaption(const std::u16string& text) {
  const std::string line = Narrow(text);
  if (line.rfind("Status: ", 0) != 0) ctx_.Services.LogLine("status: " + line);
}

void HeadlessFrontEnd::DrawBar(std::int32_t position) {
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

int HeadlessFrontEnd::RunWizard(SetupContext& ctx) {
  if (options_.install_dir) ctx.Choices.InstallDir = *options_.install_dir;
  wizard_ = std::make_unique<Wizard>(ctx, this);
  Wizard& wizard = *wizard_;
  worker_ = std::make_unique<TSetupThread>(ctx);
  wizard.RunScript = [this, &ctx] {
    ctx.Services.MakeUninstaller = [this](const RunScope& c) { return MakeUninstaller(c, program_path_); };
    worker_->RunAndWait();
  };
  wizard.SetPagesUp({}, true);
  const bool uninstaller = ctx.Setup.IsUninstaller();
  ctx.Services.LogLine(std::string(uninstaller ? "uninstalling " : "installing ") + ctx.Setup.SetupInfo.SetupName +
                       (uninstaller ? " from " : " into ") + ctx.Choices.InstallDir);
  const Wizard::WalkEnd end = wizard.WalkUnattended();
  worker_.reset();
  switch (end) {
    case Wizard::WalkEnd::Finished: break;
    case Wizard::WalkEnd::UnusableDrive:
      if (IsUnusableDrive(ctx.Choices.InstallDir)) {
        Show(platform::Utf8ToWide("The folder " + ctx.Choices.InstallDir +
                                  " is not on a drive that can take an installation."),
             u"Setup", kMbOk | kMbIconError);
      } else {
        const std::string refusal = wizard.FolderRefusal(ctx.Choices.InstallDir);
        const bool per_user = ctx.Setup.Options.Scope == InstallScope::User &&
                              refusal.rfind("a per-user setup", 0) == 0;
        Show(platform::Utf8ToWide("The folder " + ctx.Choices.InstallDir + " cannot take an installation (" + refusal +
                                  (per_user ? ")." : "): its uninstaller could not remove it.")),
             u"Setup", kMbOk | kMbIconError);
      }
      return kExitRefused;
    case Wizard::WalkEnd::ShortSpace:
      Show(platform::Utf8ToWide("Not enough free space for " + ctx.Setup.SetupInfo.SetupName + ": " +
                                ctx.Choices.SpaceRequiredText + " needed, " + ctx.Choices.SpaceAvailableText +
                                " available."),
           u"Setup", kMbOk | kMbIconError);
      return kExitRefused;
    case Wizard::WalkEnd::Stuck:
      Show(u"The setup cannot go on from this page.", u"Setup", kMbOk | kMbIconError);
      return kExitRefused;
  }
  if (uninstaller) {
    ctx.Services.LogLine(ctx.Run.SetupAborted    ? "not uninstalled whole"
                         : ctx.Run.RestartNeeded ? "uninstalled; restart to finish"
                                                 : "uninstalled");
    if (wizard.ShouldStartFinaliser()) StartFinaliser(ctx, program_path_);
  } else if (ctx.Run.SetupAborted) {
    ctx.Services.LogLine("the setup failed: " + Narrow(ctx.Text(TextId::SetupFailed)));
  } else {
    ctx.Services.LogLine("installed");
  }
  return wizard.ExitCode();
}

}  // namespace zq
