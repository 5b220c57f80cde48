// What a front end is told while the pages are built and shown, and the wizard's buttons.
#pragma once

#include <string>

#include "ui/control.h"

namespace zq {

struct ButtonState {
  std::u16string Caption;
  bool Visible = true;
  bool Enabled = true;
};

// The navigation buttons under the page area and the language button.
struct WizardButtons {
  ButtonState Back{u"< Back"};
  ButtonState Next{u"Next >"};
  ButtonState Cancel{u"Cancel"};
  ButtonState Language{u"English"};
};

// Every method has an empty default, so a front end without widgets implements nothing.
// Calls come on the window's thread, except where WizardView says otherwise.
class PageView {
 public:
  virtual ~PageView() = default;
  // A control was built from its layout block, all its properties applied.
  virtual void ControlAdded(Control& /*control*/) {}
  // Any field of the control changed (caption, text, visibility, enabled state, gauge).
  virtual void ControlChanged(const Control& /*control*/) {}
  // PageArea::ZOrder changed (a main layout was sent behind the others).
  virtual void ZOrderChanged() {}
  virtual void ButtonsChanged(const WizardButtons& /*buttons*/) {}
  // After the controls of the page (and the main layout) were made visible.
  virtual void PageShown(int /*index*/) {}
};

}  // namespace zq
