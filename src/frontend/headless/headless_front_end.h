// The silent front end (/S, and always on the host): no windows; the wizard advances by
// itself, message boxes take their default answer, and progress goes to the log and, on a
// terminal, to a progress bar.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "engine/command_line.h"
#include "engine/front_end.h"

namespace zq {

class TWizard;

class THeadlessFrontEnd : public TFrontEnd, public TTextTarget, public TGaugeTarget {
 public:
  THeadlessFrontEnd(SetupContext& ctx, EngineOptions options, std::string program_path);

  // Without /S on Windows: the verification window counts up, and message boxes are shown
  // and answered by the user (both may be left unset).
  TVerifyView* VerifyView = nullptr;
  TMessageBoxes* UserBoxes = nullptr;

  int Show(const std::u16string& text, const std::u16string& caption, unsigned flags) override;
  void VerifyBegin(std::size_t count) override;
  void VerifyProgress(std::size_t done, std::size_t count) override;
  void VerifyEnd() override;
  int RunWizard(SetupContext& ctx) override;

  // The status line and the gauge of the progress page.
  void SetCaption(const std::u16string& text) override;
  void SetPosition(std::int32_t position) override;
  void SetGauge(std::int32_t position, std::int32_t max);

 private:
  // With pages: the wizard's page logic walks them, Next after Next, as a user would.
  int WalkPages(SetupContext& ctx);
  // Without pages: the installation-directory and confirmation checks, then the run.
  int Install(SetupContext& ctx);
  int RemoveInstallation(SetupContext& ctx);
  // The window's side of a run: the worker runs the script while this thread waits.
  void RunOnWorker(SetupContext& ctx);
  void DrawBar(std::int32_t position);

  SetupContext& ctx_;
  EngineOptions options_;
  std::string program_path_;
  std::int32_t gauge_max_ = 0;
  bool terminal_;
  std::mutex mutex_;
};

}  // namespace zq
