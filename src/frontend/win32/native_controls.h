// Native Win32 controls that mirror the page model: one child window of the page area per
// control, kept in step as the model changes.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "frontend/win32/picture.h"
#include "ui/page_view.h"

namespace zq {

class NativeControls {
 public:
  // Edits report their text changes, the folder tree its selected folder.
  struct Events {
    std::function<void(Control&, const std::u16string& text)> EditChanged;
    std::function<void(Control&, const std::string& path)> FolderSelected;
    // A check box or radio button was clicked (or toggled with Space); `checked` is its state now.
    std::function<void(Control&, bool checked)> ToggleClicked;
    // A label's text does not fit its box at the window's DPI (once per label).
    std::function<void(const Control&, const std::u16string& text)> TextCut;
  };

  NativeControls(HWND page_area, Events events);
  ~NativeControls();
  NativeControls(const NativeControls&) = delete;
  NativeControls& operator=(const NativeControls&) = delete;

  void Add(Control& control);
  void Update(const Control& control);
  void Restack(const PageArea& area);
  // The page area forwards WM_COMMAND, WM_NOTIFY and WM_CTLCOLOR* of its children here; a
  // handled message gives its result.
  bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  void SetBackColour(COLORREF colour);
  // Selects the folder in a tree control; with expand, opens the nodes along its path.
  void SelectFolder(const Control& tree, const std::string& path, bool expand);

  HWND WindowOf(const Control& control) const;
  // Scales every control's position, size and font, and its picture, by dpi / 96; the fonts
  // are made again for the new size.
  void SetDpi(int dpi);

 private:
  struct Native;
  HFONT FontFor(const ControlFont& font);
  void ApplyText(Native& n, const Control& c);
  void CheckTextFits(Native& n, const Control& c, HFONT font);
  void FillRoots(HWND tree);
  void ExpandNode(HWND tree, HTREEITEM item);

  HWND area_;
  Events events_;
  COLORREF back_ = RGB(255, 255, 255);
  HBRUSH back_brush_ = nullptr;
  std::map<const Control*, std::unique_ptr<Native>> natives_;
  std::map<HWND, Native*> by_window_;
  std::map<std::string, HFONT> fonts_;
  bool updating_ = false;                // our own SetWindowText raises no change event
  const Control* last_added_ = nullptr;  // where a radio button's group may continue
  int dpi_ = 96;
  int Scaled(int pixels) const { return MulDiv(pixels, dpi_, 96); }
};

// InitCommonControlsEx, from the system's comctl32 (never imported: see platform/system_dlls.h).
void InitCommonControlClasses(DWORD classes);

}  // namespace zq
