#include "frontend/win32/ui_dispatcher.h"

#include <windows.h>

namespace zq {

namespace {

constexpr UINT kInvoke = WM_APP + 1;
const wchar_t kClassName[] = L"ZqUiDispatcher";

LRESULT CALLBACK DispatchProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kInvoke) {
    (*reinterpret_cast<const std::function<void()>*>(lp))();
    return 0;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace

UiDispatcher::UiDispatcher() : thread_id_(GetCurrentThreadId()) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DispatchProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassW(&wc);  // a second registration fails harmlessly
  window_ =
      CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
}

UiDispatcher::~UiDispatcher() {
  if (window_ != nullptr) DestroyWindow(static_cast<HWND>(window_));
}

void UiDispatcher::Invoke(const std::function<void()>& work) {
  if (GetCurrentThreadId() == thread_id_ || window_ == nullptr) {
    work();
    return;
  }
  // SendMessage blocks until the window's thread has run it, which keeps the order.
  SendMessageW(static_cast<HWND>(window_), kInvoke, 0, reinterpret_cast<LPARAM>(&work));
}

}  // namespace zq
