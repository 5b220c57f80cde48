#include "platform/machine_view.h"

#include "platform/registry.h"
#include "platform/text.h"

namespace zq::platform {

bool IsWindows64() {
  Registry reg;
  reg.SetRoot(kHkeyLocalMachine);
  if (!reg.OpenKey("SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", false)) return true;
  return LowerCase(reg.ReadString("PROCESSOR_ARCHITECTURE").value_or("")) != "x86";
}

bool Is64BitEngine() { return false; }

// One file system, one registry: nothing to turn off.
FileViewScope::FileViewScope() = default;
FileViewScope::~FileViewScope() = default;

}  // namespace zq::platform
