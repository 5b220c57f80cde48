// The windowed front end: the wizard's main window with native controls mirroring the page
// model, the language menu, and the run kept responsive while the worker works.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/command_line.h"
#include "engine/front_end.h"
#include "frontend/win32/native_controls.h"
#include "frontend/win32/ui_dispatcher.h"
#include "platform/shell_link.h"
#include "engine/wizard_view.h"

namespace zq {

class Wizard;
class TSetupThread;

class TFrmMain : public FrontEnd, public WizardView {
 public:
  TFrmMain(SetupContext& ctx, EngineOptions options, std::string program_path);
  ~TFrmMain() override;

  // FrontEnd
  int Show(const std::u16string& text, const std::u16string& caption, unsigned flags) override;
  void VerifyBegin(std::size_t count) override;
  void VerifyProgress(std::size_t done, std::size_t count) override;
  void VerifyEnd() override;
  int RunWizard(SetupContext& ctx) override;

  // WizardView
  void ControlAdded(Control& control) override;
  void ControlChanged(const Control& control) override;
  void ZOrderChanged() override;
  void ButtonsChanged(const WizardButtons& buttons) override;
  void TitleChanged(const std::u16string& title, const std::u16string& caption) override;
  void PageAreaColourChanged(std::uint32_t colour) override;
  void LanguageMenuChanged(const std::vector<LanguageMenuItem>& items) override;
  void SelectTreeFolder(const Control& tree, const std::string& folder, bool expand) override;
  void CloseRequested() override;
  void RepaintNow(const Control& control) override;
  void RunOnWindowThread(const std::function<void()>& update) override;

  LRESULT HandleMain(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleArea(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  void CreateWindows();
  // Places the fixed parts (page area, rule, buttons) and makes the font for dpi_.
  void LayOut();
  int Scaled(int pixels) const { return MulDiv(pixels, dpi_, 96); }
  void RunScriptProtocol();
  void ShowLanguageMenu();
  // Enter presses it: Next (Install on a confirmation page), or Finish on a finish page.
  HWND DefaultButton() const;
  void PressButton(HWND button);
  void FocusDefaultButton();

  // Pictures are decoded through COM on this thread.
  platform::ComApartment com_;
  SetupContext& ctx_;
  EngineOptions options_;
  std::string program_path_;
  std::unique_ptr<VerifyView> verify_;
  std::unique_ptr<UiDispatcher> dispatcher_;
  std::unique_ptr<NativeControls> natives_;
  std::unique_ptr<Wizard> wizard_;
  std::unique_ptr<TSetupThread> worker_;
  std::vector<LanguageMenuItem> menu_items_;
  HWND window_ = nullptr;
  HWND area_ = nullptr;
  HWND back_ = nullptr, next_ = nullptr, cancel_ = nullptr, language_ = nullptr;
  HFONT font_ = nullptr;
  HWND rule_ = nullptr;
  // The monitor's DPI: every position, size, font and picture of the window is scaled by it
  // from the 96 DPI the layouts are written for.
  int dpi_ = 96;
  HWND focus_before_ = nullptr;  // the control that had the focus when the window was left
  bool closed_ = false;
};

}  // namespace zq
