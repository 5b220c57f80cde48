#include "frontend/win32/verify_window.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "base/size_text.h"
#include "frontend/win32/native_controls.h"

namespace zq {

namespace {

constexpr int kClientWidth = 321;
constexpr int kClientHeight = 70;
const wchar_t kClassName[] = L"ZqVerifyWindow";

HWND H(void* p) { return static_cast<HWND>(p); }

std::wstring Files(std::size_t count) {
  const std::string text = CountText(static_cast<std::int64_t>(count), "file", "files");
  return std::wstring(text.begin(), text.end());
}

// Through std::to_string: std::to_wstring formats with the wide printf, 12 KB of the engine.
std::wstring Number(std::size_t n) {
  const std::string text = std::to_string(n);
  return std::wstring(text.begin(), text.end());
}

void RegisterClassOnce() {
  static bool done = false;
  if (done) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  RegisterClassW(&wc);
  done = true;
}

}  // namespace

TFrmVerify::TFrmVerify() {
  InitCommonControlClasses(ICC_PROGRESS_CLASS);
  RegisterClassOnce();
  const DWORD style = WS_POPUP | WS_CAPTION;  // a caption, no border icons
  const DWORD ex_style = WS_EX_TOOLWINDOW;
  // Short-lived and centred on the primary monitor: scaled by the system's DPI.
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY) >= 48 ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  ReleaseDC(nullptr, screen);
  const auto scaled = [dpi](int pixels) { return MulDiv(pixels, dpi, 96); };
  RECT r{0, 0, scaled(kClientWidth), scaled(kClientHeight)};
  AdjustWindowRectEx(&r, style, FALSE, ex_style);
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  HWND wnd = CreateWindowExW(ex_style, kClassName, L"Verifying Contents", style, x, y, w, h, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  window_ = wnd;
  if (wnd == nullptr) return;
  font_ = CreateFontW(-scaled(11), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg 2");
  HWND label = CreateWindowExW(0, L"STATIC", L"Verifying contents, please wait...", WS_CHILD | WS_VISIBLE, scaled(8),
                               scaled(8), scaled(305), scaled(16), wnd, nullptr, nullptr, nullptr);
  HWND status = CreateWindowExW(0, L"STATIC", L"Loading Header", WS_CHILD | WS_VISIBLE, scaled(8), scaled(32),
                                scaled(305), scaled(14), wnd, nullptr, nullptr, nullptr);
  HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE | PBS_SMOOTH, scaled(8), scaled(48),
                             scaled(305), scaled(16), wnd, nullptr, nullptr, nullptr);
  for (HWND c : {label, status}) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  SendMessageW(bar, PBM_SETRANGE32, 0, 100);
  status_ = status;
  bar_ = bar;
  ShowWindow(wnd, SW_SHOWNOACTIVATE);
  UpdateWindow(wnd);
}

TFrmVerify::~TFrmVerify() {
  if (window_ != nullptr) DestroyWindow(H(window_));
  if (font_ != nullptr) DeleteObject(static_cast<HFONT>(font_));
}

void TFrmVerify::SetStatus(const wchar_t* text) {
  if (status_ == nullptr) return;
  SetWindowTextW(H(status_), text);
  UpdateWindow(H(window_));
}

void TFrmVerify::Begin(std::size_t count) {
  const std::wstring text = L"Status: 0 out of " + Files(count) + L" verified";
  SetStatus(text.c_str());
  if (bar_ != nullptr) {
    SendMessageW(H(bar_), PBM_SETRANGE32, 0, static_cast<LPARAM>(count));
    SendMessageW(H(bar_), PBM_SETPOS, 0, 0);
  }
}

void TFrmVerify::Progress(std::size_t done, std::size_t count) {
  const std::wstring text = L"Status: " + Number(done) + L" out of " + Files(count) + L" verified";
  if (bar_ != nullptr) SendMessageW(H(bar_), PBM_SETPOS, static_cast<WPARAM>(done), 0);
  SetStatus(text.c_str());
}

void TFrmVerify::End() {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 500) Sleep(10);
  if (window_ != nullptr) {
    DestroyWindow(H(window_));
    window_ = nullptr;
  }
}

int Win32MessageBoxes::Show(const std::u16string& text, const std::u16string& caption, unsigned flags) {
  const std::wstring t(text.begin(), text.end()), c(caption.begin(), caption.end());
  return MessageBoxW(nullptr, t.c_str(), c.c_str(), flags | MB_SETFOREGROUND);
}

}  // namespace zq
