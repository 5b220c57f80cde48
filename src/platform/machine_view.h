// 64-bit Windows and the view a setup takes of it. A 32-bit program on 64-bit Windows is shown
// a 32-bit machine: System32 is SysWOW64, HKLM\Software is HKLM\Software\WOW6432Node. A setup
// for x64 turns that off for the whole process, once, at start-up.
#pragma once

namespace zq::platform {

// win32: the process runs under WOW64. Host: the prefix's registry names no 32-bit processor
// (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment, PROCESSOR_ARCHITECTURE
// other than "x86"), so a prefix stands for 64-bit Windows unless a test says otherwise.
bool IsWindows64();

// The engine is a 64-bit program: its view of the machine is the machine's own, whatever the
// setup's architecture. The host engine stands for the 32-bit one.
bool Is64BitEngine();

// From here on every file and registry access of the process takes the machine's own view.
// Set before the run's threads start; read by the file and registry layers. The host has one
// view, so it only remembers the choice.
void UseNativeView(bool on);
bool NativeView();

// win32: while alive, file-system redirection is off on this thread when NativeView() is on
// (the system keeps the switch per thread). Held around single file calls only: a DLL loaded
// meanwhile would come from the wrong System32.
class FileViewScope {
 public:
  FileViewScope();
  ~FileViewScope();
  FileViewScope(const FileViewScope&) = delete;
  FileViewScope& operator=(const FileViewScope&) = delete;

 private:
  [[maybe_unused]] void* old_ = nullptr;
  [[maybe_unused]] bool off_ = false;
};

}  // namespace zq::platform
