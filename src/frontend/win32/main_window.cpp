#include "frontend/win32/main_window.h"

#include <commctrl.h>

#include "engine/setup_context.h"
#include "frontend/win32/verify_window.h"
#include "engine/macros.h"
#include "platform/process.h"
#include "platform/shell_link.h"
#include "platform/text.h"
#include "engine/setup_thread.h"
#include "engine/wizard.h"
#include "engine/uninstaller.h"

namespace zq {

namespace {

const wchar_t kMainClass[] = L"ZqSetupWizard";
const wchar_t kAreaClass[] = L"ZqPageArea";
constexpr int kClientWidth = 578;
constexpr int kClientHeight = 413;
constexpr UINT kWmDpiChanged = 0x02E0;  // Windows 8.1 and later
enum : int { kBackId = 101, kNextId = 102, kCancelId = 103, kLanguageId = 104, kMenuBase = 1000 };

std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

LRESULT CALLBACK MainProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    SetWindowLongPtrW(wnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  }
  auto* self = reinterpret_cast<TFrmMain*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  return self ? self->HandleMain(wnd, msg, wp, lp) : DefWindowProcW(wnd, msg, wp, lp);
}

LRESULT CALLBACK AreaProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    SetWindowLongPtrW(wnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  }
  auto* self = reinterpret_cast<TFrmMain*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  return self ? self->HandleArea(wnd, msg, wp, lp) : DefWindowProcW(wnd, msg, wp, lp);
}

// GetDpiForWindow is Windows 10's; earlier systems scale by the system's DPI.
int WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto get_dpi = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (get_dpi != nullptr) {
    if (const UINT dpi = get_dpi(window); dpi >= 48) return static_cast<int>(dpi);
  }
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi >= 48 ? dpi : 96;
}

// Its own state, whether or not the window is on screen yet.
bool Shown(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

void SetButton(HWND button, const ButtonState& state) {
  SetWindowTextW(button, W(state.Caption).c_str());
  EnableWindow(button, state.Enabled);
  ShowWindow(button, state.Visible ? SW_SHOWNA : SW_HIDE);
}

}  // namespace

TFrmMain::TFrmMain(SetupContext& ctx, EngineOptions options, std::string program_path)
    : ctx_(ctx), options_(std::move(options)), program_path_(std::move(program_path)) {
  dispatcher_ = std::make_unique<UiDispatcher>();
  verify_ = std::make_unique<TFrmVerify>();
}

TFrmMain::~TFrmMain() {
  worker_.reset();
  wizard_.reset();
  natives_.reset();
  if (window_) DestroyWindow(window_);
  if (font_) DeleteObject(font_);
}

int TFrmMain::Show(const std::u16string& text, const std::u16string& caption, unsigned flags) {
  int answer = kIdCancel;
  dispatcher_->Invoke(
      [&] { answer = MessageBoxW(window_, W(text).c_str(), W(caption).c_str(), flags | MB_SETFOREGROUND); });
  ctx_.Services.LogLine("message box \"" + platform::WideToUtf8(caption) + "\" -> " + std::to_string(answer));
  return answer;
}

void TFrmMain::VerifyBegin(std::size_t count) {
  if (verify_) verify_->Begin(count);
}
void TFrmMain::VerifyProgress(std::size_t done, std::size_t count) {
  if (verify_) verify_->Progress(done, count);
}
void TFrmMain::VerifyEnd() {
  if (verify_) verify_->End();
  verify_.reset();
}

void TFrmMain::CreateWindows() {
  InitCommonControlClasses(ICC_STANDARD_CLASSES);
  WNDCLASSW wc{};
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpfnWndProc = MainProc;
  wc.lpszClassName = kMainClass;
  RegisterClassW(&wc);
  wc.hIcon = nullptr;
  wc.hbrBackground = nullptr;
  wc.lpfnWndProc = AreaProc;
  wc.lpszClassName = kAreaClass;
  RegisterClassW(&wc);

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  window_ = CreateWindowExW(0, kMainClass, L" Setup Base", style, CW_USEDEFAULT, CW_USEDEFAULT, kClientWidth,
                            kClientHeight, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  dpi_ = WindowDpi(window_);
  // A control parent: Tab, the arrows and the letters reach the page's own controls.
  area_ = CreateWindowExW(WS_EX_CONTROLPARENT, kAreaClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0,
                          window_, nullptr, GetModuleHandleW(nullptr), this);
  rule_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ, 0, 0, 0, 0, window_, nullptr,
                          nullptr, nullptr);
  auto button = [&](int id, const wchar_t* text) {
    return CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, window_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  };
  back_ = button(kBackId, L"< Back");
  next_ = button(kNextId, L"Next >");
  cancel_ = button(kCancelId, L"Cancel");
  language_ = button(kLanguageId, L"English \x25BE");
  LayOut();
  RECT r{0, 0, Scaled(kClientWidth), Scaled(kClientHeight)};
  AdjustWindowRect(&r, style, FALSE);
  const int w = r.right - r.left, h = r.bottom - r.top;
  SetWindowPos(window_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h,
               SWP_NOZORDER | SWP_NOACTIVATE);
  natives_ = std::make_unique<NativeControls>(
      area_, NativeControls::Events{[this](Control& control, const std::u16string& text) {
                                      if (wizard_) wizard_->EditTyped(control, text);
                                    },
                                    [this](Control&, const std::string& path) {
                                      if (wizard_) wizard_->TreeFolderChosen(path);
                                    },
                                    [this](Control& control, bool checked) {
                                      if (wizard_) wizard_->ToggleClicked(control, checked);
                                    },
                                    [this](const Control&, const std::u16string& text) {
                                      ctx_.Services.LogLine("text cut at " + std::to_string(dpi_) +
                                                            " DPI: " + platform::WideToUtf8(text));
                                    }});
  natives_->SetDpi(dpi_);
}

void TFrmMain::LayOut() {
  HFONT old = font_;
  font_ = CreateFontW(-MulDiv(8, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg 2");
  const auto place = [this](HWND w, int x, int y, int width, int height) {
    SetWindowPos(w, nullptr, Scaled(x), Scaled(y), Scaled(width), Scaled(height), SWP_NOZORDER | SWP_NOACTIVATE);
  };
  place(area_, 0, 0, kClientWidth, 375);
  place(rule_, 0, 375, kClientWidth, 3);
  const struct {
    HWND button;
    int x, width;
  } buttons[] = {{back_, 344, 73}, {next_, 416, 73}, {cancel_, 496, 75}, {language_, 8, 89}};
  for (const auto& b : buttons) {
    place(b.button, b.x, 384, b.width, 25);
    SendMessageW(b.button, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  }
  if (old) DeleteObject(old);
}

int TFrmMain::RunWizard(SetupContext& ctx) {
  CreateWindows();
  wizard_ = std::make_unique<Wizard>(ctx, this);
  worker_ = std::make_unique<TSetupThread>(ctx);
  wizard_->RunScript = [this] { RunScriptProtocol(); };
  wizard_->SetPagesUp();
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  SetForegroundWindow(window_);
  FocusDefaultButton();
  MSG msg;
  while (!closed_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(window_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // Closing: the worker stops; an uninstaller on its finish page hands over to its finaliser.
  const bool finaliser = wizard_->ShouldStartFinaliser();
  worker_.reset();
  if (finaliser) StartFinaliser(ctx, program_path_);
  if (wizard_->ShouldRunAfter()) {
    const std::string program = ExpandMacrosAnsi(ctx, ctx.Setup.RunAfterProgram);
    const bool started = platform::StartAsDesktopUser(program, ExpandMacrosAnsi(ctx, ctx.Setup.RunAfterArguments),
                                                      ctx.Choices.InstallDir);
    ctx.Services.LogLine((started ? "started " : "could not start ") + program);
  }
  return wizard_->ExitCode();
}

void TFrmMain::RunScriptProtocol() {
  ctx_.Services.MakeUninstaller = [this](const RunScope& c) { return MakeUninstaller(c, program_path_); };
  // The window stays responsive: messages are handled (the worker's updates among them)
  // until the worker is done; it wakes this thread's message wait with a posted WM_NULL.
  const DWORD thread = GetCurrentThreadId();
  worker_->RunAndWait(
      [] {
        MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
        }
      },
      [thread] { PostThreadMessageW(thread, WM_NULL, 0, 0); });
  // A program the script started may have taken the foreground; the finish page wants the keys.
  SetForegroundWindow(window_);
}

void TFrmMain::ControlAdded(Control& control) {
  if (natives_) natives_->Add(control);
}

void TFrmMain::ControlChanged(const Control& control) {
  if (natives_) natives_->Update(control);
}

void TFrmMain::ZOrderChanged() {
  if (natives_ && wizard_) natives_->Restack(wizard_->Pages().Area());
}

void TFrmMain::ButtonsChanged(const WizardButtons& b) {
  SetButton(back_, b.Back);
  SetButton(next_, b.Next);
  SetButton(cancel_, b.Cancel);
  ButtonState language = b.Language;
  language.Caption += u" \x25BE";
  SetButton(language_, language);
  // The default button wears the heavier frame.
  const HWND default_button = DefaultButton();
  for (HWND button : {back_, next_, cancel_, language_}) {
    SendMessageW(button, BM_SETSTYLE, button == default_button ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  }
  FocusDefaultButton();
}

void TFrmMain::FocusDefaultButton() {
  // A focus lost to a button the page hid or disabled (the run, the finish page) leaves keys
  // with no window that takes them: Enter and the letters would do nothing.
  const HWND focus = GetFocus();
  const bool lost = focus == nullptr || focus == window_ || !IsWindowVisible(focus) || !IsWindowEnabled(focus);
  const HWND button = DefaultButton();
  if (!lost || !IsWindowVisible(window_)) return;
  if (button != nullptr && IsWindowEnabled(button)) {
    SetFocus(button);
  } else if (HWND first = GetNextDlgTabItem(window_, nullptr, FALSE)) {
    // Next waits for a choice on the page (the licence): the keys go to the page's first control.
    SetFocus(first);
  }
}

HWND TFrmMain::DefaultButton() const {
  if (Shown(next_)) return next_;
  // The finish page closes with Cancel, which reads "Finish" there.
  const bool finish = wizard_ && wizard_->Pages().PageCount() > 0 && wizard_->Pages().CurrentType() == ptFinish;
  return finish ? cancel_ : nullptr;
}

void TFrmMain::PressButton(HWND button) {
  if (button == nullptr || !Shown(button) || !IsWindowEnabled(button)) return;
  SendMessageW(window_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void TFrmMain::TitleChanged(const std::u16string&, const std::u16string& caption) {
  SetWindowTextW(window_, W(caption).c_str());
}

void TFrmMain::PageAreaColourChanged(std::uint32_t colour) {
  if (natives_) natives_->SetBackColour(static_cast<COLORREF>(colour));
}

void TFrmMain::LanguageMenuChanged(const std::vector<LanguageMenuItem>& items) { menu_items_ = items; }

void TFrmMain::SelectTreeFolder(const Control& tree, const std::string& folder, bool expand) {
  if (natives_) natives_->SelectFolder(tree, folder, expand);
}

void TFrmMain::CloseRequested() { PostMessageW(window_, WM_CLOSE, 0, 0); }

void TFrmMain::RepaintNow(const Control& control) {
  if (natives_ == nullptr) return;
  if (HWND w = natives_->WindowOf(control)) UpdateWindow(w);
}

void TFrmMain::RunOnWindowThread(const std::function<void()>& update) { dispatcher_->Invoke(update); }

void TFrmMain::ShowLanguageMenu() {
  HMENU menu = CreatePopupMenu();
  for (const auto& item : menu_items_) {
    AppendMenuW(menu, MF_STRING | (item.Checked ? MF_CHECKED : 0), kMenuBase + item.Tag, W(item.Caption).c_str());
  }
  RECT r;
  GetWindowRect(language_, &r);
  const int id =
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, r.left, r.bottom - 4, 0, window_, nullptr);
  DestroyMenu(menu);
  if (id >= kMenuBase && wizard_) wizard_->ChooseLanguage(id - kMenuBase);
}

LRESULT TFrmMain::HandleMain(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (wizard_ == nullptr) break;
      switch (LOWORD(wp)) {
        case IDOK: {  // Enter, from the dialog manager: the focused button, else the default one
          const HWND focus = GetFocus();
          const bool on_button = focus == back_ || focus == next_ || focus == cancel_ || focus == language_;
          PressButton(on_button && Shown(focus) && IsWindowEnabled(focus) ? focus : DefaultButton());
          return 0;
        }
        case IDCANCEL: PressButton(cancel_); return 0;  // Escape
        case kBackId: wizard_->Back(); return 0;
        case kNextId: wizard_->Next(); return 0;
        case kCancelId: wizard_->Cancel(); return 0;
        case kLanguageId: ShowLanguageMenu(); return 0;
        default: break;
      }
      break;
    case WM_ACTIVATE: {
      // Activation gives the focus to the window itself; it goes back to the control that had
      // it, or to the default button, so the keys keep working.
      if (LOWORD(wp) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        focus_before_ = focus != nullptr && IsChild(wnd, focus) ? focus : nullptr;
        break;
      }
      const LRESULT result = DefWindowProcW(wnd, msg, wp, lp);
      if (focus_before_ != nullptr && IsWindowVisible(focus_before_) && IsWindowEnabled(focus_before_)) {
        SetFocus(focus_before_);
      } else {
        FocusDefaultButton();
      }
      return result;
    }
    case kWmDpiChanged: {
      // Moved to a monitor of another DPI: the system's suggested rectangle keeps the window
      // where the user put it; everything inside follows the new scale.
      dpi_ = HIWORD(wp);
      const RECT* r = reinterpret_cast<const RECT*>(lp);
      SetWindowPos(wnd, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      LayOut();
      if (natives_) natives_->SetDpi(dpi_);
      return 0;
    }
    case WM_CLOSE:
      if (wizard_ == nullptr || wizard_->MayClose()) {
        closed_ = true;
        ShowWindow(wnd, SW_HIDE);
        PostMessageW(wnd, WM_NULL, 0, 0);
      }
      return 0;
    default: break;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

LRESULT TFrmMain::HandleArea(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (natives_ && natives_->HandleMessage(msg, wp, lp, result)) return result;
  if (msg == WM_ERASEBKGND) {
    RECT r;
    GetClientRect(wnd, &r);
    const std::uint32_t colour = wizard_ ? wizard_->Pages().BackColour : 0xFFFFFF;
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(colour));
    FillRect(reinterpret_cast<HDC>(wp), &r, brush);
    DeleteObject(brush);
    return 1;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace zq
