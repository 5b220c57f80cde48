// Hands work from the script worker to the window's thread, in the order it was asked for:
// status texts, gauge steps and message boxes reach the controls only on the thread that
// owns them.
#pragma once

#include <functional>

namespace zq {

class UiDispatcher {
 public:
  // Call on the window's thread.
  UiDispatcher();
  ~UiDispatcher();
  UiDispatcher(const UiDispatcher&) = delete;
  UiDispatcher& operator=(const UiDispatcher&) = delete;

  // Runs `work` on the window's thread and waits for it; on that thread it runs at once.
  // The window's thread must keep dispatching messages while a worker may call this.
  void Invoke(const std::function<void()>& work);

 private:
  void* window_ = nullptr;  // a message-only window of the window's thread
  unsigned long thread_id_ = 0;
};

}  // namespace zq
