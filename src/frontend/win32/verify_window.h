// The "Verifying Contents" window: a small tool window that counts up while start-up checks
// the package. It repaints itself at once, since verification does not pump messages.
#pragma once

#include "engine/front_end.h"

namespace zq {

class TFrmVerify : public VerifyView {
 public:
  TFrmVerify();
  ~TFrmVerify() override;
  TFrmVerify(const TFrmVerify&) = delete;
  TFrmVerify& operator=(const TFrmVerify&) = delete;

  void Begin(std::size_t count) override;
  void Progress(std::size_t done, std::size_t count) override;
  // Keeps the window on screen until half a second has passed since the count ended.
  void End() override;

 private:
  void SetStatus(const wchar_t* text);

  void* window_ = nullptr;  // HWND
  void* status_ = nullptr;
  void* bar_ = nullptr;
  void* font_ = nullptr;  // HFONT
};

// Message boxes without an owner window, answered by the user.
class Win32MessageBoxes : public MessageBoxes {
 public:
  int Show(const std::u16string& text, const std::u16string& caption, unsigned flags) override;
};

}  // namespace zq
