// Shell links (shortcuts). win32: shell link objects through COM. Host: a small text file at
// the link path holding the same fields.
#pragma once

#include <optional>
#include <string>

namespace zq::platform {

struct ShellLink {
  std::string target;
  std::string arguments;
  std::string working_directory;
  int show_command = 1;   // normal window
  std::string icon_file;  // empty: no icon location is set
  int icon_index = 0;
};

// Saves the link to `link_file` (not remembered as the object's current file).
bool CreateShellLink(const ShellLink& link, const std::string& link_file);
// Reads a link back (for checks and tools); nullopt when it is not one.
std::optional<ShellLink> ReadShellLink(const std::string& link_file);

// COM for the calling thread while the object lives (no-op on the host). One made with
// `FirstUse` enters COM only when a call on its thread needs it (EnterDeferred: the shell
// functions here and ShellExecuteProcess call it): under Wine the first apartment of a
// process starts the desktop's process, which a run without shortcuts would wait for in vain.
class ComApartment {
 public:
  enum class When { Now, FirstUse };
  explicit ComApartment(When when = When::Now);
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  // Enters the calling thread's deferred apartment, once; nothing without one.
  static void EnterDeferred();

 private:
  bool initialised_ = false;
  ComApartment* outer_ = nullptr;  // the thread's deferred apartment before this one
};

}  // namespace zq::platform
