// What a front end implements to mirror the wizard: the page events of PageView, plus the
// window's own (title, language menu, folder tree, working state, closing, thread hand-over).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/page_view.h"

namespace zq {

struct LanguageMenuItem {
  std::u16string Caption;  // the table's language name
  int Tag = 0;             // table index, given back to Wizard::English1Click
  bool Checked = false;
};

class WizardView : public PageView {
 public:
  // The application title and the window caption (" " + title).
  virtual void TitleChanged(const std::u16string& /*title*/, const std::u16string& /*caption*/) {}
  virtual void PageAreaColourChanged(std::uint32_t /*colour*/) {}
  virtual void LanguageMenuChanged(const std::vector<LanguageMenuItem>& /*items*/) {}
  // Select `folder` (an existing folder, with a trailing backslash) in the folder tree; with
  // `expand`, also open the nodes along its path.
  virtual void SelectTreeFolder(const Control& /*tree*/, const std::string& /*folder*/, bool /*expand*/) {}
  // A run or an uninstall began (true) or ended (false).
  virtual void WorkingChanged(bool /*working*/) {}
  // Cancel, or Next on a finish page: the window should close (after Wizard::FormCloseQuery).
  virtual void CloseRequested() {}
  // A control's text changed while the window's thread is busy (the uninstall): paint it now.
  virtual void RepaintNow(const Control& /*control*/) {}
  // Status texts and gauge steps of a run come from the worker thread: the view runs
  // `update` on the window's thread, in the order of the calls, and returns when it ran
  // (the update calls ControlChanged). The default runs it on the calling thread, which is
  // right only for a view whose own thread just waits during a run (TSetupThread::RunAndWait).
  virtual void RunOnWindowThread(const std::function<void()>& update) { update(); }
};

}  // namespace zq
