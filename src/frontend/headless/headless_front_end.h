// The silent front end (/S, and always on the host): no windows; the wizard advances by
// itself, message boxes take their default answer, and progress goes to the log and, on a
// terminal, to a progress bar.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "engine/command_line.h"
#include "engine/front_end.h"
#include "engine/wizard_view.h"

namespace zq {

class TSetupThread;
class Wizard;

class HeadlessFrontEnd : public FrontEnd, public WizardView {
 public:
  HeadlessFrontEnd(SetupContext& ctx, EngineOptions options, std::string program_path);
  ~HeadlessFrontEnd() override;

  // FrontEnd
  int Show(const std::u16string& text, const std::u16string& caption, unsigned flags) override;
  void VerifyBegin(std::size_t count) override;
  void VerifyEnd() override;
  // The window's wizard, walked with Wizard::WalkUnattended; a page that keeps Next off is
  // a refusal (exit code 3) with a message that says why.
  int RunWizard(SetupContext& ctx) override;

  // WizardView: pages shown go to the log; the status line to the log, the gauge to the
  // terminal's bar. Calls come on the worker during a run; this front end's own thread only
  // waits then.
  void PageShown(int index) override;
  void ControlChanged(const Control& control) override;

 private:
  void SetCaption(const std::u16string& text);
  void DrawBar(std::int32_t position);

  SetupContext& ctx_;
  EngineOptions options_;
  std::string program_path_;
  std::unique_ptr<Wizard> wizard_;
  std::unique_ptr<TSetupThread> worker_;
  std::int32_t gauge_max_ = 0;
  bool terminal_;
  std::mutex mutex_;  // stderr: message boxes of the worker and the bar
};

}  // namespace zq
